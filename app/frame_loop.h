#pragma once

#include <optional>

#include "app/app_state.h"
#include "gpu/passes.h"

// Runs frames back to back until the window is closed or Escape is held, and
// returns nothing then; or until an animation pass cannot draw: that frame
// ends at once, before anything of it reaches the screen, and the pass's
// failure is returned (its logs already printed) for the caller to decide.
std::optional<PassFailure> runFrameLoop(AppState& state);

// One frame, in the fixed order of the stages. Returns false when the loop
// must end: the frame saw a close request or Escape, right after the window
// began (nothing else of that frame runs then), or an animation pass could
// not draw, which `failure` then holds (nothing of that frame is shown).
bool runFrame(AppState& state, std::optional<PassFailure>& failure);
