#pragma once
// What the guides look like on screen when they are shown: plain CPU
// geometry in picture units, so that it follows pan and zoom, with sizes
// fixed in viewport pixels, so that it reads the same at every zoom. The
// composition draws it (gpu/drawing.h's drawHaloedLines), in its colours.

#include <vector>

#include "edit/view.h"
#include "flow/grid.h"
#include "flow/guides.h"

// Sizes in viewport pixels.
constexpr float guideArrowHeadPixels = 10.0f;   // length of the two strokes of an arrow head
constexpr float guidePinRingPixels = 4.0f;      // radius of the ring that marks a zero-length guide
constexpr float grabRingPixels = 7.0f;          // radius of the ring around the endpoint a press grabs
constexpr int guideRingSegments = 16;

// Line segments as pairs of points, one list a style.
struct GuideMarks {
    std::vector<Vec2> guides;        // every guide: arrows, and rings for pins
    std::vector<Vec2> deleteTarget;  // the guide a right click would delete now, drawn over `guides`
    std::vector<Vec2> grabTarget;    // a ring around the endpoint a left press would grab now
};

// The marks of guideSegments under `view`. With `showTargets` (the edit
// tool, no drag going on) the endpoint nearest `cursor` is marked as the grab target
// when a left press there would grab it, and its guide as the delete target
// when a right click would delete it, by the same reach tests the editing
// uses.
GuideMarks buildGuideMarks(const View& view, Vec2 cursor, bool showTargets);
