#include "edit/brush.h"

#include <algorithm>
#include <cmath>

#include "edit/tools.h"
#include "flow/row_bands.h"
#include "platform/gui.h"

namespace {

// The stamp's box reaches this many radii either side of the centre.
constexpr float boxRadii = 3.0f;
// Within this fraction of the radius the weight is 1 and a cell takes the
// paint value exactly.
constexpr float solidCoreFraction = 0.7f;
// A stroke stops stepping once the cursor is no farther than half a spacing
// (2 at the default radius of 4).
constexpr float strokeStopFraction = 0.5f;

// Where the stroke laid its last stamp, picture units.
Vec2 lastStamp;

// The mask as it was when the stroke in progress began; a stroke is open
// from its press to its release.
bool strokeOpen = false;
ByteMask strokeBefore;

// Whether the stroke changed anything (and so became a step).
bool finishStroke(const ByteMask& mask, EditHistory& history) {
    strokeOpen = false;
    MaskEdit edit = maskEditBetween(strokeBefore, mask);
    strokeBefore = ByteMask();
    if (edit.width <= 0) return false;
    recordEdit(history, std::move(edit));
    return true;
}

// The inclusive cell range [first, last] that the interval [low, high] touches
// within 0 .. size - 1; first > last when it touches none. The bounds are taken
// in double and clamped before the conversion, so a centre far outside the
// mask (or not a number) cannot overflow the integer conversion.
void cellRange(float low, float high, std::int32_t size, std::int32_t& first, std::int32_t& last) {
    const double lo = std::floor(static_cast<double>(low));
    const double hi = std::ceil(static_cast<double>(high));
    if (!(lo <= hi) || hi < 0.0 || lo > static_cast<double>(size - 1)) {
        first = 0;
        last = -1;
        return;
    }
    first = static_cast<std::int32_t>(std::max(0.0, lo));
    last = static_cast<std::int32_t>(std::min(static_cast<double>(size - 1), hi));
}

}  // namespace

void stampBrush(Vec2 centre, std::uint8_t value, float radius, ByteMask& mask) {
    if (mask.empty()) return;
    const float reach = boxRadii * radius;
    std::int32_t x0, x1, y0, y1;
    cellRange(centre.x - reach, centre.x + reach, mask.width, x0, x1);
    cellRange(centre.y - reach, centre.y + reach, mask.height, y0, y1);

    // The precision of each step below is deliberate: the squares of t and r
    // as double powers rounded to float, exp in double, the blend in double
    // with v * w as a float product, and one rounding to float before the
    // truncation.
    const float radiusSquared = static_cast<float>(std::pow(static_cast<double>(radius), 2.0));
    const float paint = static_cast<float>(value);
    // Rows are independent: a wide brush shares them out over the threads.
    const std::int32_t rows = y1 - y0 + 1;
    const std::int64_t columns = static_cast<std::int64_t>(x1) - x0 + 1;
    forEachRowBand(rows, columns, [&](std::int32_t rowBegin, std::int32_t rowEnd) {
        for (std::int32_t y = y0 + rowBegin; y < y0 + rowEnd; ++y) {
            for (std::int32_t x = x0; x <= x1; ++x) {
                const float dx = static_cast<float>(x) - centre.x;
                const float dy = static_cast<float>(y) - centre.y;
                const float d = std::sqrt(dx * dx + dy * dy);
                const float t = std::max(0.0f, d - solidCoreFraction * radius);
                const float tSquared = static_cast<float>(std::pow(static_cast<double>(t), 2.0));
                const float exponent = -(tSquared / radiusSquared);
                // exp(0) is 1 exactly: the solid core needs no call.
                const float w =
                    exponent == 0.0f ? 1.0f : static_cast<float>(std::exp(static_cast<double>(exponent)));
                std::uint8_t& cell = mask.at(x, y);
                const float blended = static_cast<float>((1.0 - static_cast<double>(w)) * static_cast<double>(cell) +
                                                         static_cast<double>(paint * w));
                // The blend is a weighted mean of two bytes, so already within
                // 0..255; the clamp only keeps a NaN (from a NaN radius or
                // centre) from reaching the integer conversion.
                const float inRange = blended >= 0.0f ? std::min(blended, 255.0f) : 0.0f;
                cell = static_cast<std::uint8_t>(static_cast<int>(inRange));
            }
        }
    });
}

float steppedBrushRadius(float radius, RadiusStep step) {
    if (step == RadiusStep::Double) {
        if (!(radius < kLargestBrushRadius)) return radius;
        return std::min(std::max(radius * 2.0f, kSmallestBrushRadius), kLargestBrushRadius);
    }
    if (!(radius > kSmallestBrushRadius)) return radius;
    return std::max(std::min(radius * 0.5f, kLargestBrushRadius), kSmallestBrushRadius);
}

BrushActivity updateMaskBrush(Vec2 cursorPosition, float radius, ByteMask& mask, EditHistory& history) {
    BrushActivity activity;
    // The stroke begun by an earlier press ends at the release, also when the
    // tool key was let go first and the release counts in another tool.
    if (mouseUp(MouseButton::Left) && strokeOpen) activity.strokeRecorded = finishStroke(mask, history);
    if (ToolMode != toolPaintMask && ToolMode != toolClearMask) return activity;
    const std::uint8_t value = ToolMode == toolPaintMask ? 255 : 0;

    if (mouseDown(MouseButton::Left)) {
        strokeBefore = mask;
        strokeOpen = true;
        stampBrush(cursorPosition, value, radius, mask);
        lastStamp = cursorPosition;
        activity.stamped = true;
    }
    if (!mousePressed(MouseButton::Left)) return activity;

    const float spacing = brushStampSpacing(radius);
    const float stopDistance = strokeStopFraction * spacing;
    float dx = cursorPosition.x - lastStamp.x;
    float dy = cursorPosition.y - lastStamp.y;
    float length = std::sqrt(dx * dx + dy * dy);
    while (length > stopDistance) {
        const Vec2 next{lastStamp.x + spacing * dx / length, lastStamp.y + spacing * dy / length};
        const float nextDx = cursorPosition.x - next.x;
        const float nextDy = cursorPosition.y - next.y;
        const float nextLength = std::sqrt(nextDx * nextDx + nextDy * nextDy);
        // Far from the origin (the view zoomed far out) a small step can round
        // away to nothing, and the loop would never end: stop once a step no
        // longer brings the stamp closer. Elsewhere every step gets closer.
        if (!(nextLength < length)) break;
        lastStamp = next;
        stampBrush(lastStamp, value, radius, mask);
        activity.stamped = true;
        dx = nextDx;
        dy = nextDy;
        length = nextLength;
    }
    return activity;
}
