#pragma once
// The demo scene's guides and animation parameters. The flow at a cell is
// the mean of all guide vectors weighted by the inverse square distance to
// each guide's first endpoint, times the flow scale; so every feature that
// should move gets guides of its own right on it, and everything that should
// stay still (rock, trees, hills) gets zero-length guides, which pull their
// surroundings towards no motion.
//
// Units: a guide's vector is its length in picture pixels; the motion it
// asks for is that length times kDemoFlowScale pixels per second.

#include <vector>

#include "demo/picture.h"
#include "flow/guides.h"

namespace demo {

// The program's default scale: a guide of 44 px asks for 90 px/s.
constexpr float kDemoFlowScale = 2.0454545f;
// Each UV layer lives 3 x 0.7 = 2.1 s: long enough that falling water shows
// long streaks, short enough that the stretch of one cycle stays modest.
constexpr float kDemoPhaseSpacing = 0.7f;

// Every guide of the demo document, placed on the painted scene.
std::vector<GuideSegment> layoutGuides(const PaintCanvas& canvas);

}  // namespace demo
