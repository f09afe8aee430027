#pragma once
// Scheduling of the animation passes: runs the passes that planLayers
// (app/layer_plan.h) decides on, each frame.
//
// A pass that cannot draw stops the frame's passes where it is and comes
// back as the answer (its logs already printed); the caller decides what
// follows. No later pass of that frame runs and nothing is displaced.

#include <array>
#include <cstddef>
#include <optional>

#include "app/layer_plan.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"

// Runs the frame's passes: for each layer in order, the identity pass if it is
// due, the advect pass from current into scratch and a swap of the two
// handles; then the displace pass of the picture through the three current
// layers into the output, reading the picture with `filter`. Leaves the last
// pass's framebuffer and program bound.
[[nodiscard]] std::optional<PassFailure> animateLayers(double t, float advectStep, float phaseSpacing,
                                                       std::array<double, 3>& layerPhase, RenderTargets& targets,
                                                       PictureFilter filter);

// The passes of a plan made elsewhere (an export's loop schedule): the same
// identity and advect passes and swaps as animateLayers, then the displace
// pass with the layers bound in `displaceOrder`: uvs0 and w0 get layer
// displaceOrder[0], and so on. The sum is the same in any order but for its
// rounding, which an export keeps the same from period to period.
[[nodiscard]] std::optional<PassFailure> runPlannedPasses(const LayerPlan& plan, RenderTargets& targets,
                                                          PictureFilter filter,
                                                          const std::array<std::size_t, 3>& displaceOrder);

// The warm-up's passes of a plan made elsewhere, as warmUpLayers runs them,
// but none for the layers marked `copiedIn`, whose state the caller copies
// in from another layer (planWarmUpCopies in app/export_timing.h).
[[nodiscard]] std::optional<PassFailure> runPlannedWarmUp(const LayerPlan& plan, RenderTargets& targets,
                                                          std::array<bool, 3>& everReset,
                                                          const std::array<bool, 3>& copiedIn = {});

// The warm-up of a render that starts later than its layers (an export):
// the same plan and the same identity and advect passes as animateLayers, but
// only for the layers reset since `everReset` was cleared, which it marks as
// they reset; a layer not yet reset would be reset before it is ever seen,
// and nothing is displaced. Afterwards each reset layer holds exactly what
// animateLayers would have left in it.
[[nodiscard]] std::optional<PassFailure> warmUpLayers(double t, float advectStep, float phaseSpacing,
                                                      std::array<double, 3>& layerPhase, RenderTargets& targets,
                                                      std::array<bool, 3>& everReset);
