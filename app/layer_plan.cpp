#include "app/layer_plan.h"

#include <cmath>
#include <cstddef>

#include "flow/document.h"

namespace {

// Used in place of a spacing the animation cannot run with (zero, negative,
// not a number, too small or too large); the program's default.
constexpr float fallbackPhaseSpacing = kDefaultPhaseSpacing;

// 2*pi and 1/3 rounded to single precision, then used in double: the weights
// are formed from exactly these two factors.
constexpr double twoPi = 6.283185005187988;
constexpr double oneThird = 0.3333333432674408;

// Periods the catch-up adds one at a time before it jumps by a computed number
// of them. Ordinary stalls (over a day at the default period) stay on the exact
// repeated addition; the jump is for a period too small to move the phase.
constexpr int maxCatchUpSteps = 1 << 16;

// Moves `phase` forward by whole periods until phase < t <= phase + period.
// Needs t > phase + period and period > 0 on entry.
void catchUp(double t, double period, double& phase) {
    for (int step = 0; step < maxCatchUpSteps; ++step) {
        phase = phase + period;
        if (!(t > phase + period)) return;
    }
    // Jump to the last whole period that starts before t. Rounding can leave
    // it a period or so short; a period too small to move the phase at all
    // ends with the phase at t (age 0).
    const double periods = std::ceil((t - phase) / period) - 1.0;
    if (periods > 0.0) phase = phase + periods * period;
    for (int step = 0; step < 4 && t > phase + period; ++step) phase = phase + period;
    if (t > phase + period) phase = t;
}

// The spacing planLayers works with for `spacing`.
float effectiveSpacing(float spacing) {
    return isUsablePhaseSpacing(spacing) ? spacing : fallbackPhaseSpacing;
}

}  // namespace

float shownPhaseSpacing(float spacing) {
    if (spacing < kShortestShownPhaseSpacing) return kShortestShownPhaseSpacing;
    if (spacing > kLongestShownPhaseSpacing) return kLongestShownPhaseSpacing;
    return spacing;
}

LayerPlan planLayers(double t, float advectStep, float phaseSpacing,
                     std::array<double, 3>& layerPhase) {
    const float spacing = effectiveSpacing(phaseSpacing);
    // The reset test uses p widened first, the weights p * 3 formed in single
    // precision (layerWeight): the two differ in the last bits, deliberately
    // kept apart.
    const double period = static_cast<double>(spacing) * 3.0;

    LayerPlan plan{};
    for (std::size_t i = 0; i < 3; ++i) {
        if (t > layerPhase[i] + period) {
            plan.reset[i] = true;
            catchUp(t, period, layerPhase[i]);
            // A fresh layer is advanced by its whole age at once, so its mapping
            // is as old as its phase says.
            plan.step[i] = static_cast<float>(t - layerPhase[i]);
        } else {
            plan.reset[i] = false;
            plan.step[i] = advectStep;
        }
    }
    for (std::size_t i = 0; i < 3; ++i) plan.weight[i] = layerWeight(t - layerPhase[i], spacing);
    return plan;
}

float layerWeight(double age, float phaseSpacing) {
    const double weightPeriod = static_cast<double>(effectiveSpacing(phaseSpacing) * 3.0f);
    return static_cast<float>((1.0 - std::cos((age / weightPeriod) * twoPi)) * oneThird);
}

void rephaseLayers(double t, float oldSpacing, float newSpacing, std::array<double, 3>& layerPhase) {
    const double from = static_cast<double>(effectiveSpacing(oldSpacing));
    const double to = static_cast<double>(effectiveSpacing(newSpacing));
    if (from == to) return;
    // Layer 0's age scaled, then the others by whole new spacings from it, as
    // many as they were old spacings apart (rounded: repeated additions of a
    // period leave the old offsets a few ulps from whole).
    const double first = t - (t - layerPhase[0]) * (to / from);
    const std::array<double, 3> old = layerPhase;
    for (std::size_t i = 0; i < 3; ++i) {
        const double spacings = std::round((old[i] - old[0]) / from);
        layerPhase[i] = first + spacings * to;
    }
}
