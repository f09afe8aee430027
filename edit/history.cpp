#include "edit/history.h"

#include <algorithm>
#include <cstring>

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

bool applyStep(const MaskEdit& edit, bool forward, ByteMask& mask) {
    if (edit.width <= 0 || edit.x < 0 || edit.y < 0 || edit.x > mask.width - edit.width ||
        edit.y > mask.height - edit.height) {
        return false;
    }
    const std::vector<std::uint8_t>& cells = forward ? edit.after : edit.before;
    const std::size_t rowBytes = static_cast<std::size_t>(edit.width);
    for (std::int32_t row = 0; row < edit.height; ++row) {
        std::memcpy(&mask.at(edit.x, edit.y + row), cells.data() + static_cast<std::size_t>(row) * rowBytes,
                    rowBytes);
    }
    return true;
}

StepTarget applyStep(const EditStep& step, bool forward, std::vector<GuideSegment>& guides, ByteMask& mask,
                     SettingValue* setting) {
    if (const GuideEdit* edit = std::get_if<GuideEdit>(&step)) {
        return applyStep(*edit, forward, guides) ? StepTarget::Guides : StepTarget::None;
    }
    if (const SettingEdit* edit = std::get_if<SettingEdit>(&step)) {
        if (!setting) return StepTarget::None;
        *setting = SettingValue{edit->setting, forward ? edit->after : edit->before};
        return StepTarget::Setting;
    }
    return applyStep(std::get<MaskEdit>(step), forward, mask) ? StepTarget::Mask : StepTarget::None;
}

// The cells of `mask` in the box of `edit`, row by row.
std::vector<std::uint8_t> cellsIn(const ByteMask& mask, const MaskEdit& edit) {
    std::vector<std::uint8_t> cells;
    cells.reserve(static_cast<std::size_t>(edit.width) * static_cast<std::size_t>(edit.height));
    for (std::int32_t row = 0; row < edit.height; ++row) {
        const std::uint8_t* first = &mask.at(edit.x, edit.y + row);
        cells.insert(cells.end(), first, first + edit.width);
    }
    return cells;
}

}  // namespace

MaskEdit maskEditBetween(const ByteMask& before, const ByteMask& after) {
    MaskEdit edit;
    if (before.width != after.width || before.height != after.height) return edit;
    std::int32_t x0 = before.width, y0 = before.height, x1 = -1, y1 = -1;
    const std::size_t rowBytes = static_cast<std::size_t>(before.width);
    for (std::int32_t y = 0; y < before.height; ++y) {
        // A stroke touches few rows: skip the others whole.
        if (std::memcmp(&before.at(0, y), &after.at(0, y), rowBytes) == 0) continue;
        for (std::int32_t x = 0; x < before.width; ++x) {
            if (before.at(x, y) == after.at(x, y)) continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    if (x1 < 0) return edit;
    edit.x = x0;
    edit.y = y0;
    edit.width = x1 - x0 + 1;
    edit.height = y1 - y0 + 1;
    edit.before = cellsIn(before, edit);
    edit.after = cellsIn(after, edit);
    return edit;
}

void recordEdit(EditHistory& history, EditStep step) {
    history.steps.resize(history.applied);
    if (history.savedAt > history.applied) history.savedReachable = false;
    history.steps.push_back(std::move(step));
    history.applied = history.steps.size();
}

StepTarget undoEdit(EditHistory& history, std::vector<GuideSegment>& guides, ByteMask& mask,
                    SettingValue* setting) {
    if (history.applied == 0) return StepTarget::None;
    const StepTarget target = applyStep(history.steps[history.applied - 1], false, guides, mask, setting);
    if (target != StepTarget::None) --history.applied;
    return target;
}

StepTarget redoEdit(EditHistory& history, std::vector<GuideSegment>& guides, ByteMask& mask,
                    SettingValue* setting) {
    if (history.applied == history.steps.size()) return StepTarget::None;
    const StepTarget target = applyStep(history.steps[history.applied], true, guides, mask, setting);
    if (target != StepTarget::None) ++history.applied;
    return target;
}

void markSaved(EditHistory& history) {
    history.savedAt = history.applied;
    history.savedReachable = true;
}

bool hasUnsavedSteps(const EditHistory& history) {
    return !history.savedReachable || history.savedAt != history.applied;
}
