#pragma once
// The keyboard commands beside the mouse controls: saving the working state
// as the flow document, undo and redo of guide edits, mask strokes and
// settings, the keys that direct the motion (app/motion.h), and what the
// window draws besides the animation. Saving, undo, redo and the motion
// keys never act while the left button is held, so a gesture in progress is
// never saved, undone or changed half-way.

#include "app/app_state.h"
#include "flow/document.h"

// Once a frame, after the input stages: G, P and M toggle the guides, the
// particles and the mask tint (drawing only: the particles keep moving while
// hidden); F toggles the sharper picture filter of the video export; K,
// [ ], - =, , and . direct the motion (app/motion.h); Tab hides and shows the
// panel; Ctrl+S saves; Ctrl+E exports; Ctrl+Z undoes the newest step (a guide
// edit, a mask stroke, a setting), Ctrl+Y or Ctrl+Shift+Z redoes it; an undo
// or redo of a guide edit, or of a mask stroke while the freeze is on,
// raises flowDirty, so the flow follows as after any edit. The panel's
// switches and buttons call the same functions.
void runCommands(AppState& state);

// G, P, M and F.
void toggleGuides(AppState& state);
void toggleParticles(AppState& state);
void toggleMaskTint(AppState& state);
// Switches between the fast and the sharp picture filter; a folder whose
// displace.frag has no sharp filter (or one that does not build) keeps the
// fast one, after one line on standard error saying why.
void togglePictureFilter(AppState& state);

// Starts an export of the scene as it stands (app/window_export.h); what
// stops it is the panel's message and one line on standard error.
void exportFromWindow(AppState& state);

// The working state as a flow document: the picture being animated, the
// mask, the guides in their order, flowScale and phaseSpacing, the freeze
// and the brush radius.
FlowDocument workingDocument(const AppState& state);

// Writes the working state (the picture being animated, the mask, the guides
// in their order, flowScale and phaseSpacing, the freeze and the brush
// radius) as the flow document in the
// working directory, replacing the old one only once the new one is
// complete. Prints one line: on standard output naming the file and the
// number of guides, or on standard error saying why nothing was saved. On
// success the current state counts as saved.
bool saveWorkingDocument(AppState& state);

// Ctrl+Z and Ctrl+Y: undo the newest step of the history, or redo the next
// one, and put what it changed into effect (the flow synthesised again after
// a guide edit, or a mask stroke while the freeze is on; a setting as its
// keys set it). None when there was nothing to undo or redo.
StepTarget undoLastStep(AppState& state);
StepTarget redoLastStep(AppState& state);

// Whether guides, mask or settings changed since the last save (or the start).
bool hasUnsavedChanges(const AppState& state);
