#include "flow/guides.h"

// Empty at start; see guides.h for who changes it.
std::vector<GuideSegment> guideSegments;
