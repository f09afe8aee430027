#pragma once
// The mask brush: a soft round stamp, laid at even spacing along the cursor's
// path while the left button is held in the paint and clear tools.

#include <cstdint>

#include "edit/history.h"
#include "flow/grid.h"

// Picture units; every stamp of a stroke uses it, and the on-screen brush
// circle is drawn with it.
constexpr float brushRadius = 4.0f;

// Distance between successive stamps of a stroke, in picture units.
constexpr float brushStampSpacing = 4.0f;

// Blends value into the cells around centre: weight 1 within 0.7 * radius,
// falling off as exp(-(t/radius)^2) beyond, over a square box of 3 * radius
// either side, clipped to the mask. Each cell is truncated toward zero, so
// stays within 0..255. An empty mask is left alone.
void stampBrush(Vec2 centre, std::uint8_t value, float radius, ByteMask& mask);

// Once a frame, acts only in toolPaintMask (value 255) and toolClearMask
// (value 0): a stamp at the press, then stamps every brushStampSpacing along
// the path while the left button is held. Never touches the flow. At the
// left release (in whatever tool it is seen) the stroke becomes one step of
// `history`, unless it changed nothing. Returns whether it laid a stamp.
bool updateMaskBrush(Vec2 cursorPosition, ByteMask& mask, EditHistory& history);
