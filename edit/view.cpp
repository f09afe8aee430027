#include "edit/view.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "edit/tools.h"
#include "platform/gui.h"

// The float and double choices below are deliberate: cos and sin are taken in
// double from the float angle and rounded to float, everything else is float
// arithmetic in the order written, so that picks, pans and zooms land on the
// same picture points from run to run.

namespace {

// Base of the wheel zoom, per notch of wheelNotch; the power is taken in
// double from this float value (1.100000023841858).
constexpr float wheelZoomBase = 1.1f;
// Wheel travel of one notch.
constexpr float wheelNotch = 120.0f;

// Pan anchor: the viewport position of the last left press and the view as
// it was then. Replaced at every left press, in any tool.
int pressX = 0;
int pressY = 0;
View savedView{0, 0, 0, 0, 0, 0};

float cosF(float angle) { return static_cast<float>(std::cos(static_cast<double>(angle))); }
float sinF(float angle) { return static_cast<float>(std::sin(static_cast<double>(angle))); }

Vec2 mousePoint() { return Vec2{static_cast<float>(mouseX()), static_cast<float>(mouseY())}; }

}  // namespace

Vec2 screenToPicture(const View& view, Vec2 viewportPoint) {
    const float dx = (viewportPoint.x - 0.5f * view.width) / view.scale;
    const float dy = (viewportPoint.y - 0.5f * view.height) / view.scale;
    const float cr = cosF(-view.rotation);
    const float sr = sinF(-view.rotation);
    return Vec2{cr * dx - sr * dy + view.centerX, sr * dx + cr * dy + view.centerY};
}

Vec2 pictureToScreen(const View& view, Vec2 picturePoint) {
    const float cp = cosF(view.rotation);
    const float sp = sinF(view.rotation);
    const float u = picturePoint.x - view.centerX;
    const float v = picturePoint.y - view.centerY;
    return Vec2{(cp * u - sp * v) * view.scale + 0.5f * view.width,
                (sp * u + cp * v) * view.scale + 0.5f * view.height};
}

View fitView(const View& view, std::int32_t pictureWidth, std::int32_t pictureHeight) {
    // An empty picture has no extent to fit, and dividing by it would leave an
    // infinite scale that turns every later mapping into inf or NaN.
    if (pictureWidth <= 0 || pictureHeight <= 0) return view;

    const float w = static_cast<float>(pictureWidth);
    const float h = static_cast<float>(pictureHeight);
    const float c = cosF(view.rotation);
    const float s = sinF(view.rotation);
    const Vec2 corners[4] = {{0.0f, 0.0f}, {w, 0.0f}, {0.0f, h}, {w, h}};

    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    for (const Vec2& corner : corners) {
        const float rx = corner.x * c - corner.y * s;
        const float ry = corner.x * s + corner.y * c;
        minX = std::min(minX, rx);
        maxX = std::max(maxX, rx);
        minY = std::min(minY, ry);
        maxY = std::max(maxY, ry);
    }

    const float scale = std::min(view.height / (maxY - minY), view.width / (maxX - minX));
    // A viewport without area (no widget yet) would give a zero scale, and
    // every mapping through it would divide by zero: keep the view instead.
    if (!(scale > 0.0f) || !std::isfinite(scale)) return view;

    View fitted = view;
    fitted.centerX = 0.5f * w;
    fitted.centerY = 0.5f * h;
    fitted.scale = scale;
    return fitted;
}

void updatePanZoom(View& view) {
    // 1. Pan: the picture point under the press stays under the cursor.
    if (mouseDown(MouseButton::Left)) {
        pressX = mouseX();
        pressY = mouseY();
        savedView = view;
    }
    if (ToolMode == toolPan && mousePressed(MouseButton::Left)) {
        const Vec2 pressed = Vec2{static_cast<float>(pressX), static_cast<float>(pressY)};
        const Vec2 s = screenToPicture(savedView, pressed);
        const Vec2 q = screenToPicture(savedView, mousePoint());
        view.centerX = s.x - q.x + savedView.centerX;
        view.centerY = s.y - q.y + savedView.centerY;
    }

    // 2. Wheel zoom about the cursor, in every tool and during drags.
    const int delta = mouseWheelDelta();
    if (delta == 0) return;
    const float exponent = static_cast<float>(delta) / wheelNotch;
    const float factor = static_cast<float>(
        std::pow(static_cast<double>(wheelZoomBase), static_cast<double>(exponent)));
    const Vec2 p = screenToPicture(view, mousePoint());
    const float newScale = factor * view.scale;
    const Vec2 m = pictureToScreen(view, p);
    const float cr = cosF(-view.rotation);
    const float sr = sinF(-view.rotation);
    const float a = m.x - 0.5f * view.width;
    const float b = m.y - 0.5f * view.height;
    view.centerX = p.x - (cr * a - sr * b) / newScale;
    view.centerY = p.y - (sr * a + cr * b) / newScale;
    view.scale = newScale;
}
