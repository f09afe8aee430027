#pragma once

#include "app/app_state.h"

// When the guides changed (flowDirty): prints "flow dirty %f\n" with the
// frame's time t, recomputes every cell of the flow grid from the guide list
// and flowScale, clears the flag and replaces the flow texture. Otherwise
// does nothing.
void synthesizeFlow(AppState& state, double t);
