#include "edit/history.h"

namespace {

// Applies one step in the direction given: forward redoes it, backward undoes it.
bool applyStep(const GuideEdit& edit, bool forward, std::vector<GuideSegment>& guides) {
    using Kind = GuideEdit::Kind;
    // Undoing an addition erases, as redoing a deletion does; the other way
    // round both insert.
    const bool inserts = (edit.kind == Kind::Add) == forward && edit.kind != Kind::Move;
    const bool erases = edit.kind != Kind::Move && !inserts;
    if (inserts) {
        if (edit.index > guides.size()) return false;
        guides.insert(guides.begin() + static_cast<std::ptrdiff_t>(edit.index),
                      edit.kind == Kind::Add ? edit.after : edit.before);
        return true;
    }
    if (edit.index >= guides.size()) return false;
    if (erases) {
        guides.erase(guides.begin() + static_cast<std::ptrdiff_t>(edit.index));
    } else {
        guides[edit.index] = forward ? edit.after : edit.before;
    }
    return true;
}

}  // namespace

void recordEdit(EditHistory& history, const GuideEdit& edit) {
    history.steps.resize(history.applied);
    if (history.savedAt > history.applied) history.savedReachable = false;
    history.steps.push_back(edit);
    history.applied = history.steps.size();
}

bool undoEdit(EditHistory& history, std::vector<GuideSegment>& guides) {
    if (history.applied == 0) return false;
    if (!applyStep(history.steps[history.applied - 1], false, guides)) return false;
    --history.applied;
    return true;
}

bool redoEdit(EditHistory& history, std::vector<GuideSegment>& guides) {
    if (history.applied == history.steps.size()) return false;
    if (!applyStep(history.steps[history.applied], true, guides)) return false;
    ++history.applied;
    return true;
}

void markSaved(EditHistory& history) {
    history.savedAt = history.applied;
    history.savedReachable = true;
}

bool hasUnsavedSteps(const EditHistory& history) {
    return !history.savedReachable || history.savedAt != history.applied;
}
