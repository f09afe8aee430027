#pragma once
// The guide segments the user draws: the one input of the flow synthesis.

#include <vector>

// One guide: drawn from (x0, y0) to (x1, y1), in picture pixels. The first
// endpoint is where the drag began; the vector (x1 - x0, y1 - y0) counts at
// full length.
struct GuideSegment {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
};
static_assert(sizeof(GuideSegment) == 16, "a guide is four packed floats, as in the .flw file");

// The program-wide ordered guide list. The editing tools append, move and
// erase; a successful document read replaces it whole; synthesis reads it in
// list order.
extern std::vector<GuideSegment> guideSegments;
