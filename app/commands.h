#pragma once
// The keyboard commands beside the mouse controls: saving the working state
// as the flow document, undo and redo of guide edits and mask strokes, and
// what the window draws besides the animation. Saving, undo and redo never
// act while the left button is held, so a gesture in progress is never saved
// or undone half-way.

#include "app/app_state.h"

// Once a frame, after the input stages: G, P and M toggle the guides, the
// particles and the mask tint (drawing only: the particles keep moving while
// hidden); F toggles the sharper picture filter of the video export; Ctrl+S
// saves; Ctrl+Z undoes the newest guide edit or mask
// stroke, Ctrl+Y or Ctrl+Shift+Z redoes it; an undo or redo of a guide edit
// raises flowDirty, so the flow follows as after any edit.
void runCommands(AppState& state);

// Writes the working state (the picture being animated, the mask, the guides
// in their order, flowScale and phaseSpacing) as the flow document in the
// working directory, replacing the old one only once the new one is
// complete. Prints one line: on standard output naming the file and the
// number of guides, or on standard error saying why nothing was saved. On
// success the current state counts as saved.
bool saveWorkingDocument(AppState& state);

// Whether guides or mask changed since the last save (or the start).
bool hasUnsavedChanges(const AppState& state);
