#pragma once

#include "app/app_state.h"

// When the guides changed (flowDirty): prints "flow dirty %f\n" with the
// frame's time t, recomputes every cell of the flow grid from the guide list
// and flowScale, holds it still where the mask is painted while the freeze
// is on (freezeFlow), clears the flag and replaces the flow texture.
// Otherwise does nothing. The window and the export both synthesise here.
void synthesizeFlow(AppState& state, double t);

// The same synthesis without the line, for programs that render a scene
// without a console of their own: when flowDirty, recomputes the flow grid,
// clears the flag and replaces the flow texture.
void synthesizeFlowQuietly(AppState& state);

// Replaces the flow texture with the flow grid as the layers take it: the
// grid itself for picture-sized layers, resampled to the window's proxy in
// its texels per second otherwise (app/layer_proxy.h).
void uploadFlowForLayers(AppState& state);
