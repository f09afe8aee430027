#pragma once

#include "app/app_state.h"

// Runs frames back to back until the window is closed or Escape is held.
void runFrameLoop(AppState& state);

// One frame, in the fixed order of the stages. Returns false when the frame
// saw a close request or Escape, right after the window began; nothing else
// of that frame runs then.
bool runFrame(AppState& state);
