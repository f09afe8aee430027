#pragma once
// The tool mode, chosen by the held keys, and the default tool's gestures on
// the guide list: draw a guide, move an endpoint, delete a guide.

#include <cstdint>

#include "edit/history.h"
#include "edit/view.h"
#include "flow/grid.h"

// Values of ToolMode.
enum : std::int32_t {
    toolNone = 0,        // before the first frame with the left button up
    toolPan = 3,         // Space held: a left drag pans
    toolEditGuides = 5,  // the default: draw, move and delete guides
    toolPaintMask = 6,   // X held: the brush paints the mask towards 255
    toolClearMask = 7,   // C held: the brush paints the mask towards 0
};

// The current tool, process-wide; toolNone at start.
extern std::int32_t ToolMode;

// Pick radii in viewport pixels; divided by the view's scale they become
// picture units, so they look the same at every zoom.
constexpr float grabRadiusPixels = 14.0f;
constexpr float deleteRadiusPixels = 32.0f;

// Whether an endpoint `distance` picture units from the cursor is one that a
// left press grabs (within 14 viewport pixels, the radius included) and one
// whose guide a right click deletes (closer than 32 viewport pixels).
bool withinGrabReach(float distance, const View& view);
bool withinDeleteReach(float distance, const View& view);

// The endpoint of guideSegments nearest to point (picture units). Writes each
// output that is not nullptr: segment index and endpoint index (0 or 1), or -1
// for both with an empty list; the distance, or the largest finite float.
// Ties go to the earlier segment, and within a segment to endpoint 0.
void pickNearestEndpoint(Vec2 point, int* segment, int* endpoint, float* distance);

// Once a frame: picks the tool from the held keys (Space beats C beats X,
// otherwise toolEditGuides). Leaves ToolMode alone while the left button went
// down this frame or is held, so a gesture keeps the tool it began with.
void updateToolMode();

// Once a frame, acts only in toolEditGuides. cursorPosition is the mouse in
// picture units; view.scale turns the viewport-pixel pick radii into picture
// units. A left press grabs the endpoint within 14 viewport pixels or starts a
// new guide, a drag moves the grabbed endpoint, a left release sets flowDirty,
// and a right click within 32 viewport pixels (left button up) deletes that
// guide and sets flowDirty. Every finished edit becomes one step of
// `history`: a new guide and an endpoint move at the left release (in
// whatever tool the release is seen; a move that ends where it began is no
// step), a deletion at once.
void updateGuideEditing(Vec2 cursorPosition, const View& view, bool& flowDirty, EditHistory& history);
