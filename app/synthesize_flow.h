#pragma once

#include "app/app_state.h"

// When the guides changed (flowDirty): prints "flow dirty %f\n" with the
// frame's time t, recomputes every cell of the flow grid from the guide list
// and flowScale, clears the flag and replaces the flow texture. Otherwise
// does nothing.
void synthesizeFlow(AppState& state, double t);

// The same synthesis without the line, for programs that render a scene
// without a console of their own: when flowDirty, recomputes the flow grid,
// clears the flag and replaces the flow texture.
void synthesizeFlowQuietly(AppState& state);
