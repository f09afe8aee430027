#pragma once
// The edit history of the guide list: every finished edit is one step that
// can be undone and redone, for as long as the run lasts. The history also
// knows which step was saved last, so the window can say whether there are
// unsaved changes.

#include <cstddef>
#include <vector>

#include "flow/guides.h"

// One finished edit of the guide list: enough to undo and to redo it.
struct GuideEdit {
    enum class Kind {
        Add,     // `after` was inserted at `index` (a new guide, at its release)
        Move,    // the guide at `index` went from `before` to `after` (press to release)
        Delete,  // `before` was erased from `index`
    };
    Kind kind = Kind::Add;
    std::size_t index = 0;
    GuideSegment before;
    GuideSegment after;
};

struct EditHistory {
    std::vector<GuideEdit> steps;  // in the order they were made
    std::size_t applied = 0;       // steps[0, applied) are in effect; the rest can be redone
    // The number of applied steps when the document was last saved (or read);
    // false once that state can no longer be reached by undo or redo.
    std::size_t savedAt = 0;
    bool savedReachable = true;
};

// Appends a finished edit as the newest step; the steps that could have been
// redone are dropped.
void recordEdit(EditHistory& history, const GuideEdit& edit);

// Undoes the newest applied step, or redoes the next one, on `guides`.
// False, with nothing changed, when there is no such step or `guides` no
// longer has the guide the step names.
bool undoEdit(EditHistory& history, std::vector<GuideSegment>& guides);
bool redoEdit(EditHistory& history, std::vector<GuideSegment>& guides);

// The current state is what was saved.
void markSaved(EditHistory& history);
// Steps were made, undone or redone since the last save.
bool hasUnsavedSteps(const EditHistory& history);
