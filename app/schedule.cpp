#include "app/schedule.h"

#include <cstddef>
#include <utility>

namespace {

// One layer's passes of a frame: the identity pass if the plan resets it,
// then the advect pass from current into scratch, then the ping-pong swap.
std::optional<PassFailure> advanceLayer(const LayerPlan& plan, std::size_t i, RenderTargets& targets) {
    Texture& current = targets.current[i];
    if (plan.reset[i]) {
        if (std::optional<PassFailure> failure = identityPass(current)) return failure;
    }
    if (std::optional<PassFailure> failure = advectPass(current, targets.flow, targets.scratch[i], plan.step[i])) {
        return failure;
    }
    // Ping-pong by exchanging the names: no texture is copied.
    std::swap(current, targets.scratch[i]);
    return std::nullopt;
}

}  // namespace

std::optional<PassFailure> animateLayers(double t, float advectStep, float phaseSpacing,
                                         std::array<double, 3>& layerPhase, RenderTargets& targets,
                                         PictureFilter filter) {
    const LayerPlan plan = planLayers(t, advectStep, phaseSpacing, layerPhase);
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::optional<PassFailure> failure = advanceLayer(plan, i, targets)) return failure;
    }
    std::array<Texture, 3>& current = targets.current;
    return displacePass(targets.picture, current[0], current[1], current[2], plan.weight[0], plan.weight[1],
                        plan.weight[2], targets.output, filter);
}

std::optional<PassFailure> warmUpLayers(double t, float advectStep, float phaseSpacing,
                                        std::array<double, 3>& layerPhase, RenderTargets& targets,
                                        std::array<bool, 3>& everReset) {
    const LayerPlan plan = planLayers(t, advectStep, phaseSpacing, layerPhase);
    for (std::size_t i = 0; i < 3; ++i) {
        everReset[i] = everReset[i] || plan.reset[i];
        if (!everReset[i]) continue;
        if (std::optional<PassFailure> failure = advanceLayer(plan, i, targets)) return failure;
    }
    return std::nullopt;
}
