#pragma once
// The edit history: every finished edit of the guide list, every mask
// brush stroke, and every change of a setting that directs the motion is one
// step that can be undone and redone, for as long as the run lasts. The history also knows which step was saved last, so the
// window can say whether there are unsaved changes.

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "flow/grid.h"
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

// One finished brush stroke: the smallest box of mask cells it changed, as
// they were before and after it (row-major, width * height bytes each).
struct MaskEdit {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;   // 0: the stroke changed nothing
    std::int32_t height = 0;
    std::vector<std::uint8_t> before;
    std::vector<std::uint8_t> after;
};

// The box in which two masks of one size differ, with both sides' cells.
MaskEdit maskEditBetween(const ByteMask& before, const ByteMask& after);

// The settings that direct the motion, each changed by its keys.
enum class Setting {
    Freeze,        // K: held still where the mask is painted (0 off, 1 on)
    BrushRadius,   // [ and ]: the mask brush's radius, picture pixels
    FlowScale,     // - and =: the factor on every synthesised vector
    PhaseSpacing,  // , and .: seconds between the layers' phases, the loop's length
};

// One change of a setting, from `before` to `after`.
struct SettingEdit {
    Setting setting = Setting::Freeze;
    float before = 0.0f;
    float after = 0.0f;
};

// A setting's value that an undo or redo puts back into effect.
struct SettingValue {
    Setting setting = Setting::Freeze;
    float value = 0.0f;
};

using EditStep = std::variant<GuideEdit, MaskEdit, SettingEdit>;

struct EditHistory {
    std::vector<EditStep> steps;  // in the order they were made
    std::size_t applied = 0;      // steps[0, applied) are in effect; the rest can be redone
    // The number of applied steps when the document was last saved (or read);
    // false once that state can no longer be reached by undo or redo.
    std::size_t savedAt = 0;
    bool savedReachable = true;
};

// Appends a finished edit as the newest step; the steps that could have been
// redone are dropped.
void recordEdit(EditHistory& history, EditStep step);

// What an undo or redo changed.
enum class StepTarget { None, Guides, Mask, Setting };

// Undoes the newest applied step, or redoes the next one, on `guides` or
// `mask`; a setting's step writes the value to put back into effect to
// `setting`, which the caller applies. None, with nothing changed, when there
// is no such step, its guide or cells are no longer there, or it is a
// setting's step and `setting` is not given.
StepTarget undoEdit(EditHistory& history, std::vector<GuideSegment>& guides, ByteMask& mask,
                    SettingValue* setting = nullptr);
StepTarget redoEdit(EditHistory& history, std::vector<GuideSegment>& guides, ByteMask& mask,
                    SettingValue* setting = nullptr);

// The current state is what was saved.
void markSaved(EditHistory& history);
// Steps were made, undone or redone since the last save.
bool hasUnsavedSteps(const EditHistory& history);
