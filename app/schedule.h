#pragma once
// Scheduling of the animation passes: which UV layer is reset, by how much
// each layer is advected, and the blend weights of the displace pass.
//
// planLayers is the decision alone (no GL, testable on its own);
// animateLayers runs the passes it decides on.

#include <array>

#include "gpu/passes.h"
#include "gpu/render_targets.h"

struct LayerPlan {
    bool reset[3];     // the layer's cycle ended: reset it to the identity first
    float step[3];     // seconds to advect the layer by in this frame
    float weight[3];   // the layer's weight in the displace pass
};

// Decides this frame's passes for time t (seconds) and moves each due layer's
// phase forward by whole periods (3 * phaseSpacing) until
// phase < t <= phase + period. A phaseSpacing that isUsablePhaseSpacing
// refuses would make no usable period; the default 0.5 s is used instead.
// The catch-up adds one period at a time, as long as that stays short; beyond
// 65536 periods (a long stall, or a period too small to move the phase in
// double precision) it jumps by a computed number of them, so it always ends.
LayerPlan planLayers(double t, float advectStep, float phaseSpacing,
                     std::array<double, 3>& layerPhase);

// Runs the frame's passes: for each layer in order, the identity pass if it is
// due, the advect pass from current into scratch and a swap of the two
// handles; then the displace pass of the picture through the three current
// layers into the output, reading the picture with `filter`. Leaves the last
// pass's framebuffer and program bound.
void animateLayers(double t, float advectStep, float phaseSpacing,
                   std::array<double, 3>& layerPhase, RenderTargets& targets, PictureFilter filter);

// The warm-up of a render that starts later than its layers (an export):
// the same plan and the same identity and advect passes as animateLayers, but
// only for the layers reset since `everReset` was cleared, which it marks as
// they reset; a layer not yet reset would be reset before it is ever seen,
// and nothing is displaced. Afterwards each reset layer holds exactly what
// animateLayers would have left in it.
void warmUpLayers(double t, float advectStep, float phaseSpacing, std::array<double, 3>& layerPhase,
                  RenderTargets& targets, std::array<bool, 3>& everReset);
