#include "demo/scene_layout.h"

#include <algorithm>
#include <cmath>

#include "demo/noise.h"

namespace demo {

namespace {

// Top of the foreground banks in the lower corners at column x; below the
// picture's bottom edge in the middle, where the lake comes up to the viewer.
constexpr float kLeftBankReach = 470.0f;   // where the left bank meets the bottom edge
constexpr float kRightBankReach = 440.0f;  // the same, measured from the right edge

}  // namespace

float cliffTopAt(float x) {
    const float u = (x - kFallCenterX) / kNotchHalfWidth;
    const float notch = kNotchDepth * std::exp(-u * u * u * u);
    const float rim = (fractalNoise1(x * 0.02f, kSeedRock + 5, 4) - 0.5f) * 18.0f;
    // Outside the notch the rim rises towards the wooded sides.
    const float rise = std::fabs(x - kFallCenterX) * 0.05f;
    return kCliffTopY + notch + rim * (1.0f - std::exp(-u * u)) - rise;
}

float fallHalfWidthAt(float y) {
    const float t = clamp01((y - kFallLipY) / (kLakeY - kFallLipY));
    return lerp(kFallTopHalfWidth, kFallBottomHalfWidth, t);
}

float fallInsideAt(float x, float y) {
    const float ragged = (fractalNoise(y * 0.018f, x * 0.003f, kSeedFall + 9, 3) - 0.5f) * 12.0f;
    return fallHalfWidthAt(y) + ragged - std::fabs(x - kFallCenterX);
}

float bankTopAt(float x) {
    const float fromLeft = x / kLeftBankReach;
    const float fromRight = (static_cast<float>(kSceneWidth) - x) / kRightBankReach;
    // A smooth minimum keeps the shore rounded where the two banks' curves meet.
    const float u = -std::log(std::exp(-fromLeft * 4.0f) + std::exp(-fromRight * 4.0f)) / 4.0f;
    const float wobble = (fractalNoise1(x * 0.03f, kSeedFoliage + 4, 3) - 0.5f) * 10.0f;
    const float v = std::max(0.0f, u);
    return kLakeY - 12.0f + v * v * v * 220.0f + wobble;
}

}  // namespace demo
