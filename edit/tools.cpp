#include "edit/tools.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "flow/guides.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"

std::int32_t ToolMode = toolNone;

namespace {

// Drag state. The grabbed endpoint is kept as indices into guideSegments, not
// as a pointer: the list grows (and may be replaced) between frames, which
// would leave a pointer dangling. Set at every left press in the edit tool and
// never cleared; it is only used while that press's button is held.
int grabbedSegment = -1;
int grabbedEndpoint = 0;
Vec2 grabStart;   // the grabbed endpoint's position at the press
Vec2 pressPoint;  // the cursor at the press, picture units

// The gesture that a left press in the edit tool began, until the release
// makes it one step of the history, in whatever tool the release is seen.
bool gestureOpen = false;
bool gestureAddsGuide = false;    // the press appended a new guide
GuideSegment gestureBefore;       // the grabbed guide at the press

bool sameGuide(const GuideSegment& a, const GuideSegment& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// At the left release: the gesture's guide as one step, unless it ended
// where it began.
void finishGesture(EditHistory& history) {
    gestureOpen = false;
    if (grabbedSegment < 0 || static_cast<std::size_t>(grabbedSegment) >= guideSegments.size()) return;
    const std::size_t index = static_cast<std::size_t>(grabbedSegment);
    const GuideSegment& now = guideSegments[index];
    if (gestureAddsGuide) {
        recordEdit(history, GuideEdit{GuideEdit::Kind::Add, index, GuideSegment{}, now});
    } else if (!sameGuide(gestureBefore, now)) {
        recordEdit(history, GuideEdit{GuideEdit::Kind::Move, index, gestureBefore, now});
    }
}

Vec2 endpointOf(const GuideSegment& segment, int endpoint) {
    return endpoint == 0 ? Vec2{segment.x0, segment.y0} : Vec2{segment.x1, segment.y1};
}

void setEndpoint(GuideSegment& segment, int endpoint, Vec2 position) {
    if (endpoint == 0) {
        segment.x0 = position.x;
        segment.y0 = position.y;
    } else {
        segment.x1 = position.x;
        segment.y1 = position.y;
    }
}

bool keyActive(Key key) { return keyDown(key) || keyPressed(key); }

}  // namespace

bool withinGrabReach(float distance, const View& view) { return !(distance > grabRadiusPixels / view.scale); }

bool withinDeleteReach(float distance, const View& view) { return distance < deleteRadiusPixels / view.scale; }

void pickNearestEndpoint(Vec2 point, int* segment, int* endpoint, float* distance) {
    float best = FLT_MAX;
    int bestSegment = -1;
    int bestEndpoint = -1;
    for (std::size_t i = 0; i < guideSegments.size(); ++i) {
        for (int e = 0; e < 2; ++e) {
            const Vec2 p = endpointOf(guideSegments[i], e);
            const float dy = point.y - p.y;
            const float dx = point.x - p.x;
            const float d = std::sqrt(dy * dy + dx * dx);
            // Strictly less: ties keep the earlier segment, and endpoint 0.
            if (d < best) {
                best = d;
                bestSegment = static_cast<int>(i);
                bestEndpoint = e;
            }
        }
    }
    if (segment) *segment = bestSegment;
    if (endpoint) *endpoint = bestEndpoint;
    if (distance) *distance = best;
}

void updateToolMode() {
    if (mouseDown(MouseButton::Left) || mousePressed(MouseButton::Left)) return;
    // Later tests win: Space beats C beats X.
    ToolMode = toolEditGuides;
    if (keyActive(Key::X)) ToolMode = toolPaintMask;
    if (keyActive(Key::C)) ToolMode = toolClearMask;
    if (keyActive(Key::Space)) ToolMode = toolPan;
}

void updateGuideEditing(Vec2 cursorPosition, const View& view, bool& flowDirty, EditHistory& history) {
    // 1. The gesture begun by an earlier press ends at the release, also when
    //    a tool key held by then makes the release count in another tool.
    if (mouseUp(MouseButton::Left) && gestureOpen) finishGesture(history);
    if (ToolMode != toolEditGuides) return;

    int pickedSegment = -1;
    int pickedEndpoint = -1;
    float pickedDistance = FLT_MAX;
    pickNearestEndpoint(cursorPosition, &pickedSegment, &pickedEndpoint, &pickedDistance);

    // 2. Press: grab the endpoint within reach, or start a new guide whose
    //    second endpoint follows the cursor. A distance exactly at the radius grabs.
    //    A scene already holding kMostGuides takes no more: a document with
    //    more would be refused at the next start.
    const bool startsNewGuide = pickedSegment < 0 || !withinGrabReach(pickedDistance, view);
    const bool sceneIsFull = guideSegments.size() >= static_cast<std::size_t>(kMostGuides);
    if (mouseDown(MouseButton::Left) && startsNewGuide && sceneIsFull) {
        grabbedSegment = -1;  // this press drags nothing
        reportProblem("the scene holds %d guides, the most it may have; delete one to draw another", kMostGuides);
    } else if (mouseDown(MouseButton::Left)) {
        pressPoint = cursorPosition;
        gestureAddsGuide = startsNewGuide;
        if (gestureAddsGuide) {
            guideSegments.push_back(GuideSegment{cursorPosition.x, cursorPosition.y,
                                                 cursorPosition.x, cursorPosition.y});
            pickedSegment = static_cast<int>(guideSegments.size()) - 1;
            pickedEndpoint = 1;
            pickedDistance = 0.0f;
        }
        grabbedSegment = pickedSegment;
        grabbedEndpoint = pickedEndpoint;
        grabStart = endpointOf(guideSegments[static_cast<std::size_t>(grabbedSegment)], grabbedEndpoint);
        gestureBefore = guideSegments[static_cast<std::size_t>(grabbedSegment)];
        gestureOpen = true;
    }

    // 3. Drag: keep the cursor's offset from the endpoint as it was at the press.
    const bool grabValid =
        grabbedSegment >= 0 && static_cast<std::size_t>(grabbedSegment) < guideSegments.size();
    if (mousePressed(MouseButton::Left) && grabValid) {
        const Vec2 moved{grabStart.x + (cursorPosition.x - pressPoint.x),
                         grabStart.y + (cursorPosition.y - pressPoint.y)};
        setEndpoint(guideSegments[static_cast<std::size_t>(grabbedSegment)], grabbedEndpoint, moved);
    }

    // 4. Release: the guides may have changed; synthesise again.
    if (mouseUp(MouseButton::Left)) flowDirty = true;

    // 5. Right click near an endpoint deletes its guide; never during a left drag,
    //    so the grabbed indices cannot shift under a drag.
    if (!mousePressed(MouseButton::Left) && mouseDown(MouseButton::Right) && pickedSegment >= 0 &&
        withinDeleteReach(pickedDistance, view)) {
        const std::size_t index = static_cast<std::size_t>(pickedSegment);
        recordEdit(history, GuideEdit{GuideEdit::Kind::Delete, index, guideSegments[index], GuideSegment{}});
        guideSegments.erase(guideSegments.begin() + pickedSegment);
        flowDirty = true;
    }
}
