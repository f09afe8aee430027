#pragma once
// The mask brush: a soft round stamp, laid at even spacing along the cursor's
// path while the left button is held in the paint and clear tools.

#include <cstdint>

#include "edit/history.h"
#include "flow/document.h"
#include "flow/grid.h"

// Distance between successive stamps of a stroke with a brush of `radius`,
// in picture units: the radius itself (4 at the default radius of 4), so
// that strokes of every size overlap alike and a wide brush lays few stamps.
constexpr float brushStampSpacing(float radius) { return radius; }

// Which way [ and ] step the radius.
enum class RadiusStep { Halve, Double };

// The radius after one step: halved or doubled, kept within
// [kSmallestBrushRadius, kLargestBrushRadius]. The same radius when it
// cannot move further that way.
float steppedBrushRadius(float radius, RadiusStep step);

// Blends value into the cells around centre: weight 1 within 0.7 * radius,
// falling off as exp(-(t/radius)^2) beyond, over a square box of 3 * radius
// either side, clipped to the mask. Each cell is truncated toward zero, so
// stays within 0..255. An empty mask is left alone.
void stampBrush(Vec2 centre, std::uint8_t value, float radius, ByteMask& mask);

// What one frame of the brush did.
struct BrushActivity {
    bool stamped = false;         // the mask changed
    bool strokeRecorded = false;  // a stroke ended and became a step of the history
};

// Once a frame, acts only in toolPaintMask (value 255) and toolClearMask
// (value 0): a stamp of `radius` at the press, then stamps every
// brushStampSpacing(radius) along the path while the left button is held.
// Never touches the flow. At the left release (in whatever tool it is seen)
// the stroke becomes one step of `history`, unless it changed nothing.
BrushActivity updateMaskBrush(Vec2 cursorPosition, float radius, ByteMask& mask, EditHistory& history);
