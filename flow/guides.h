#pragma once
// The guide segments the user draws: the one input of the flow synthesis.

#include <cstdint>
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

// The most guides a scene holds: what the editor lets a user draw and what a
// document may bring. Every cell of the flow weighs every guide, so the
// synthesis costs W * H * N: on a two-core machine where 100 000 guides over
// a 1280 x 720 picture froze the start for 23 s, 4096 take about a second
// (four under heavy load), the longest start (or edit) worth waiting for,
// while a scene drawn by hand holds tens to a few hundred (the demo 575).
constexpr std::int32_t kMostGuides = 4096;

// True when all four coordinates are finite numbers: a guide with an
// infinite or NaN endpoint has no place in the picture and would turn the
// whole flow field into NaN.
bool guideIsFinite(const GuideSegment& guide);

// The program-wide ordered guide list. The editing tools append, move and
// erase; a successful document read replaces it whole; synthesis reads it in
// list order.
extern std::vector<GuideSegment> guideSegments;
