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

std::optional<PassFailure> runPlannedPasses(const LayerPlan& plan, RenderTargets& targets, PictureFilter filter,
                                            const std::array<std::size_t, 3>& displaceOrder) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::optional<PassFailure> failure = advanceLayer(plan, i, targets)) return failure;
    }
    std::array<Texture, 3>& current = targets.current;
    const std::size_t a = displaceOrder[0], b = displaceOrder[1], c = displaceOrder[2];
    return displacePass(targets.picture, current[a], current[b], current[c], plan.weight[a], plan.weight[b],
                        plan.weight[c], targets.output, filter);
}

std::optional<PassFailure> animateLayers(double t, float advectStep, float phaseSpacing,
                                         std::array<double, 3>& layerPhase, RenderTargets& targets,
                                         PictureFilter filter) {
    return runPlannedPasses(planLayers(t, advectStep, phaseSpacing, layerPhase), targets, filter, {0, 1, 2});
}

std::optional<PassFailure> warmUpLayers(double t, float advectStep, float phaseSpacing,
                                        std::array<double, 3>& layerPhase, RenderTargets& targets,
                                        std::array<bool, 3>& everReset) {
    return runPlannedWarmUp(planLayers(t, advectStep, phaseSpacing, layerPhase), targets, everReset);
}

std::optional<PassFailure> runPlannedWarmUp(const LayerPlan& plan, RenderTargets& targets,
                                            std::array<bool, 3>& everReset, const std::array<bool, 3>& copiedIn) {
    for (std::size_t i = 0; i < 3; ++i) {
        everReset[i] = everReset[i] || plan.reset[i];
        if (!everReset[i] || copiedIn[i]) continue;
        if (std::optional<PassFailure> failure = advanceLayer(plan, i, targets)) return failure;
    }
    return std::nullopt;
}
