#include "flow/guides.h"

#include <cmath>

// Empty at start; see guides.h for who changes it.
std::vector<GuideSegment> guideSegments;

bool guideIsFinite(const GuideSegment& guide) {
    return std::isfinite(guide.x0) && std::isfinite(guide.y0) && std::isfinite(guide.x1) && std::isfinite(guide.y1);
}
