#include "app/motion_steps.h"

#include <algorithm>
#include <cmath>

#include "flow/document.h"

namespace {

// The flowScale of `steps` whole steps from the default, formed the same way
// every time, so that a step and its opposite meet the default again.
float flowScaleAtStep(long steps) {
    return static_cast<float>(static_cast<double>(kDefaultFlowScale) *
                              std::pow(static_cast<double>(kSpeedStepFactor), static_cast<double>(steps)));
}

// The size the next step gives: the next whole step when `size` is one,
// otherwise size times or divided by the factor.
float nextSize(float size, MotionStep step) {
    const int direction = step == MotionStep::Up ? 1 : -1;
    if (size > 0.0f && std::isfinite(size)) {
        const double steps = std::log(static_cast<double>(size) / static_cast<double>(kDefaultFlowScale)) /
                             std::log(static_cast<double>(kSpeedStepFactor));
        const long whole = std::lround(steps);
        if (std::abs(steps) < 1e6 && flowScaleAtStep(whole) == size) return flowScaleAtStep(whole + direction);
    }
    return step == MotionStep::Up ? size * kSpeedStepFactor : size / kSpeedStepFactor;
}

}  // namespace

float steppedFlowScale(float flowScale, MotionStep step) {
    if (std::isnan(flowScale)) return flowScale;
    const float lowest = kDefaultFlowScale / kSpeedRange;
    const float highest = kDefaultFlowScale * kSpeedRange;
    const float size = std::abs(flowScale);
    const float next = std::min(std::max(nextSize(size, step), lowest), highest);
    const bool moves = step == MotionStep::Up ? next > size : next < size;
    if (!moves) return flowScale;
    return std::signbit(flowScale) ? -next : next;
}

float steppedPhaseSpacing(float phaseSpacing, MotionStep step) {
    if (step == MotionStep::Up) {
        for (float length : loopLengthLadder) {
            if (length > phaseSpacing) return length;
        }
        return phaseSpacing;
    }
    for (std::size_t i = loopLengthSteps; i > 0; --i) {
        if (loopLengthLadder[i - 1] < phaseSpacing) return loopLengthLadder[i - 1];
    }
    return phaseSpacing;
}

double speedFactor(float flowScale) {
    return static_cast<double>(flowScale) / static_cast<double>(kDefaultFlowScale);
}
