#pragma once
// The keyboard commands beside the mouse controls: saving the working state
// as the flow document. None of them acts while the left button is held, so
// a gesture in progress is never saved half-way.

#include "app/app_state.h"

// Once a frame, after the input stages: Ctrl+S saves.
void runCommands(AppState& state);

// Writes the working state (the picture being animated, the mask, the guides
// in their order, flowScale and phaseSpacing) as the flow document in the
// working directory, replacing the old one only once the new one is
// complete. Prints one line: on standard output naming the file and the
// number of guides, or on standard error saying why nothing was saved.
bool saveWorkingDocument(const AppState& state);
