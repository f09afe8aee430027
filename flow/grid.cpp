#include "flow/grid.h"

#include <algorithm>
#include <cassert>

FlowGrid makeIdentityGrid(std::int32_t width, std::int32_t height) {
    FlowGrid grid(width, height);
    if (grid.empty()) return grid;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            grid.at(x, y) = Vec2{static_cast<float>(x), static_cast<float>(y)};
        }
    }
    return grid;
}

namespace {

// From 2^24 on every float is a whole number, so a coordinate beyond it has
// no fraction and its corners are clamped to the edge anyway. Clamping the
// coordinate there first leaves every result unchanged while keeping the
// float-to-int conversion (and ix + 1) defined for infinities and huge values.
constexpr float kLargestExactCoordinate = 16777216.0f;

float clampCoordinate(float v) {
    if (v > kLargestExactCoordinate) return kLargestExactCoordinate;
    if (v < -kLargestExactCoordinate) return -kLargestExactCoordinate;
    return v;
}

// Truncation toward zero. NaN has no cell: it reads the corner cell 0 and,
// through its NaN fraction, still yields NaN.
std::int32_t truncateCoordinate(float v) {
    if (v != v) return 0;
    return static_cast<std::int32_t>(v);
}

}  // namespace

Vec2 sampleFlow(const FlowGrid& grid, Vec2 position) {
    assert(grid.width >= 3 && grid.height >= 3 && grid.data() &&
           "sampleFlow needs a grid of at least 3 x 3: refuse smaller pictures where they are loaded");

    // 1. Integer corner and fraction; for -1 < x < 0 the corner is 0 and the
    // fraction negative, which extrapolates from columns 0 and 1.
    const float x = clampCoordinate(position.x);
    const float y = clampCoordinate(position.y);
    const std::int32_t ix = truncateCoordinate(x);
    const std::int32_t iy = truncateCoordinate(y);
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);

    // 2. Clamp below at 0, then above at width - 3 / height - 3: the last two
    // columns and rows are deliberately never read.
    const std::int32_t lastColumn = grid.width - 3;
    const std::int32_t lastRow = grid.height - 3;
    const std::int32_t cx0 = std::min(lastColumn, std::max(0, ix));
    const std::int32_t cx1 = std::min(lastColumn, std::max(0, ix + 1));
    const std::int32_t cy0 = std::min(lastRow, std::max(0, iy));
    const std::int32_t cy1 = std::min(lastRow, std::max(0, iy + 1));

    // 3. Weights in float32.
    const float w00 = (1.0f - fx) * (1.0f - fy);
    const float w10 = fx * (1.0f - fy);
    const float w01 = (1.0f - fx) * fy;
    const float w11 = fx * fy;

    // 4. The sum is evaluated in exactly this order, in float32: the particles
    // and the tests depend on the bits.
    const Vec2 s00 = grid.at(cx0, cy0);
    const Vec2 s10 = grid.at(cx1, cy0);
    const Vec2 s01 = grid.at(cx0, cy1);
    const Vec2 s11 = grid.at(cx1, cy1);
    Vec2 result;
    result.x = ((w00 * s00.x + w10 * s10.x) + w01 * s01.x) + w11 * s11.x;
    result.y = ((w00 * s00.y + w10 * s10.y) + w01 * s01.y) + w11 * s11.y;
    return result;
}
