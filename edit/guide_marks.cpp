#include "edit/guide_marks.h"

#include <cfloat>
#include <cmath>
#include <cstddef>

#include "edit/tools.h"

namespace {

// Half the opening angle of an arrow head, in radians (25 degrees).
constexpr float arrowHeadHalfAngle = 0.43633232f;
// 2 pi as a float, for the rings.
constexpr float fullTurn = 6.2831853f;

void addLine(std::vector<Vec2>& lines, Vec2 a, Vec2 b) {
    lines.push_back(a);
    lines.push_back(b);
}

void addRing(std::vector<Vec2>& lines, Vec2 centre, float radius) {
    Vec2 previous{centre.x + radius, centre.y};
    for (int i = 1; i <= guideRingSegments; ++i) {
        const float angle = fullTurn * static_cast<float>(i) / static_cast<float>(guideRingSegments);
        const Vec2 next{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
        addLine(lines, previous, next);
        previous = next;
    }
}

// A guide as an arrow from its first endpoint to its second; a guide of zero
// length has no direction and is a ring.
void addGuide(std::vector<Vec2>& lines, const GuideSegment& guide, float pixel) {
    const Vec2 from{guide.x0, guide.y0};
    const Vec2 to{guide.x1, guide.y1};
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        addRing(lines, from, guidePinRingPixels * pixel);
        return;
    }
    addLine(lines, from, to);
    // The head never outgrows half the shaft, so a short guide still reads
    // as an arrow and not as a blob.
    const float head = std::fmin(guideArrowHeadPixels * pixel, 0.5f * length);
    const float ux = dx / length;
    const float uy = dy / length;
    for (const float side : {1.0f, -1.0f}) {
        const float c = std::cos(arrowHeadHalfAngle);
        const float s = side * std::sin(arrowHeadHalfAngle);
        // The shaft's direction turned by +-25 degrees, pointing back from the tip.
        const Vec2 back{-(ux * c - uy * s), -(ux * s + uy * c)};
        addLine(lines, to, Vec2{to.x + back.x * head, to.y + back.y * head});
    }
}

}  // namespace

GuideMarks buildGuideMarks(const View& view, Vec2 cursor, bool showTargets) {
    const std::vector<GuideSegment>& guides = guideSegments;
    GuideMarks marks;
    // One viewport pixel in picture units.
    const float pixel = 1.0f / view.scale;
    for (const GuideSegment& guide : guides) addGuide(marks.guides, guide, pixel);
    if (!showTargets) return marks;

    int segment = -1;
    int endpoint = -1;
    float distance = FLT_MAX;
    pickNearestEndpoint(cursor, &segment, &endpoint, &distance);
    if (segment < 0) return marks;
    const GuideSegment& picked = guides[static_cast<std::size_t>(segment)];
    if (withinDeleteReach(distance, view)) addGuide(marks.deleteTarget, picked, pixel);
    if (withinGrabReach(distance, view)) {
        const Vec2 end = endpoint == 0 ? Vec2{picked.x0, picked.y0} : Vec2{picked.x1, picked.y1};
        addRing(marks.grabTarget, end, grabRingPixels * pixel);
    }
    return marks;
}
