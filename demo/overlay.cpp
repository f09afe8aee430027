#include "demo/overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "demo/noise.h"
#include "demo/scene_layout.h"

namespace demo {

namespace {

struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

Point bezierPoint(Point p0, Point p1, Point p2, float t) {
    const float s = 1.0f - t;
    return Point{s * s * p0.x + 2.0f * s * t * p1.x + t * t * p2.x, s * s * p0.y + 2.0f * s * t * p1.y + t * t * p2.y};
}

// Distance from p to the segment a-b, and where along it the nearest point lies.
float segmentDistance(Point p, Point a, Point b, float* along) {
    const float abx = b.x - a.x;
    const float aby = b.y - a.y;
    const float lengthSq = abx * abx + aby * aby;
    float t = lengthSq > 0.0f ? ((p.x - a.x) * abx + (p.y - a.y) * aby) / lengthSq : 0.0f;
    t = clamp01(t);
    const float dx = p.x - (a.x + abx * t);
    const float dy = p.y - (a.y + aby * t);
    *along = t;
    return std::sqrt(dx * dx + dy * dy);
}

// A tapering curved stroke (a branch, a twig, a blade of grass) along a
// quadratic Bezier curve, from width startWidth at p0 to endWidth at p2. The
// stroke's coverage is the maximum over its pieces, so the overlapping joints
// don't double up at the soft edges.
void strokeCurve(OverlayCanvas& canvas, Point p0, Point p1, Point p2, float startWidth, float endWidth,
                        Color base, Color tip) {
    constexpr int kPieces = 16;  // enough that the polyline reads as a smooth curve
    Point points[kPieces + 1];
    for (int i = 0; i <= kPieces; ++i) points[i] = bezierPoint(p0, p1, p2, static_cast<float>(i) / kPieces);
    const float reach = std::max(startWidth, endWidth) * 0.5f + 2.0f;
    float left = points[0].x, right = points[0].x, top = points[0].y, bottom = points[0].y;
    for (const Point& p : points) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    const std::int32_t x0 = std::max(0, static_cast<std::int32_t>(std::floor(left - reach)));
    const std::int32_t x1 = std::min(canvas.width, static_cast<std::int32_t>(std::ceil(right + reach)) + 1);
    const std::int32_t y0 = std::max(0, static_cast<std::int32_t>(std::floor(top - reach)));
    const std::int32_t y1 = std::min(canvas.height, static_cast<std::int32_t>(std::ceil(bottom + reach)) + 1);
    for (std::int32_t y = y0; y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
            const Point p{static_cast<float>(x), static_cast<float>(y)};
            float coverage = 0.0f;
            float position = 0.0f;
            for (int i = 0; i < kPieces; ++i) {
                float along = 0.0f;
                const float d = segmentDistance(p, points[i], points[i + 1], &along);
                const float t = (static_cast<float>(i) + along) / kPieces;
                const float halfWidth = lerp(startWidth, endWidth, t) * 0.5f;
                const float c = clamp01(halfWidth - d + 0.5f);
                if (c > coverage) {
                    coverage = c;
                    position = t;
                }
            }
            canvas.over(x, y, mix(base, tip, position), coverage);
        }
    }
}

// A pointed leaf from its stem at `stem`, pointing along `angle` (radians,
// y down), with a width profile that closes at both ends.
void fillLeaf(OverlayCanvas& canvas, Point stem, float angle, float length, float width, Color dark,
                     Color light) {
    const float ux = std::cos(angle);
    const float uy = std::sin(angle);
    const float reach = length + 2.0f;
    const std::int32_t x0 = std::max(0, static_cast<std::int32_t>(std::floor(stem.x - reach)));
    const std::int32_t x1 = std::min(canvas.width, static_cast<std::int32_t>(std::ceil(stem.x + reach)) + 1);
    const std::int32_t y0 = std::max(0, static_cast<std::int32_t>(std::floor(stem.y - reach)));
    const std::int32_t y1 = std::min(canvas.height, static_cast<std::int32_t>(std::ceil(stem.y + reach)) + 1);
    for (std::int32_t y = y0; y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
            const float dx = static_cast<float>(x) - stem.x;
            const float dy = static_cast<float>(y) - stem.y;
            const float u = dx * ux + dy * uy;   // along the leaf
            const float v = -dx * uy + dy * ux;  // across it
            if (u < -1.0f || u > length + 1.0f) continue;
            const float t = clamp01(u / length);
            const float halfWidth = width * 0.5f * std::pow(std::sin(3.14159265f * t), 0.75f);
            const float coverage = clamp01(halfWidth - std::fabs(v) + 0.5f) * clamp01(u + 0.5f) *
                                   clamp01(length - u + 0.5f);
            if (coverage <= 0.0f) continue;
            // One half of the leaf a shade lighter: the fold along its midrib.
            const Color c = v > 0.0f ? light : mix(dark, light, 0.4f);
            canvas.over(x, y, c, coverage);
        }
    }
}

// ---- the parts of the frame -------------------------------------------------

void paintVignette(OverlayCanvas& canvas) {
    constexpr float kBorder = 34.0f;      // width of the darkened border, in pixels
    constexpr float kEdgeOpacity = 0.55f; // opacity right at the picture's edge
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const float toEdge = static_cast<float>(std::min(std::min(x, canvas.width - 1 - x),
                                                             std::min(y, canvas.height - 1 - y)));
            const float fade = 1.0f - clamp01(toEdge / kBorder);
            canvas.over(x, y, rgb8(6, 10, 8), kEdgeOpacity * fade * fade);
        }
    }
}

// A branch reaching in from outside the picture, with twigs and leaves
// hanging from it.
void paintHangingBranch(OverlayCanvas& canvas, SceneRandom& random, Point from, Point bend, Point to,
                               float thickness) {
    const Color bark = rgb8(20, 16, 12);
    const Color leafDark = rgb8(10, 20, 10);
    const Color leafLight = rgb8(30, 46, 22);
    strokeCurve(canvas, from, bend, to, thickness, thickness * 0.25f, bark, bark);
    constexpr int kTwigs = 13;
    for (int i = 0; i < kTwigs; ++i) {
        const float t = 0.2f + 0.8f * (static_cast<float>(i) + random.range(0.0f, 0.8f)) / kTwigs;
        const Point start = bezierPoint(from, bend, to, t);
        const float drop = random.range(50.0f, 130.0f) * (1.1f - 0.5f * t);
        const float sway = random.range(-30.0f, 30.0f);
        const Point end{start.x + sway, start.y + drop};
        const Point mid{start.x + sway * 0.2f + random.range(-10.0f, 10.0f), start.y + drop * 0.4f};
        strokeCurve(canvas, start, mid, end, thickness * 0.28f * (1.2f - t * 0.6f), 1.2f, bark, bark);
        // Leaves along the twig, hanging down and outwards.
        const int leaves = 12 + static_cast<int>(random.unit() * 8.0f);
        for (int k = 0; k < leaves; ++k) {
            const float s = 0.15f + 0.85f * static_cast<float>(k) / static_cast<float>(leaves);
            const Point at = bezierPoint(start, mid, end, s);
            const float side = (k % 2 == 0) ? 1.0f : -1.0f;
            const float angle = 1.5708f + side * random.range(0.35f, 1.0f);
            const float length = random.range(16.0f, 26.0f);
            fillLeaf(canvas, at, angle, length, length * random.range(0.34f, 0.45f), leafDark, leafLight);
        }
    }
    // A few leaves straight off the branch itself.
    for (int k = 0; k < 26; ++k) {
        const Point at = bezierPoint(from, bend, to, random.range(0.1f, 1.0f));
        const float angle = random.range(0.4f, 2.7f);
        const float length = random.range(18.0f, 28.0f);
        fillLeaf(canvas, at, angle, length, length * 0.4f, leafDark, leafLight);
    }
}

// A tuft of grass blades rising from below the bottom edge around baseX.
void paintGrassTuft(OverlayCanvas& canvas, SceneRandom& random, float baseX, float spread, float heightLow,
                           float heightHigh, int blades) {
    const Color root = rgb8(8, 14, 8);
    const Color tipDark = rgb8(28, 44, 20);
    const Color tipLight = rgb8(44, 62, 26);
    const float bottom = static_cast<float>(canvas.height) + 6.0f;
    for (int i = 0; i < blades; ++i) {
        const float x = baseX + random.range(-spread, spread);
        const float height = random.range(heightLow, heightHigh);
        const float lean = random.range(-0.45f, 0.45f) * height;
        const Point p0{x, bottom};
        const Point p2{x + lean, bottom - height};
        const Point p1{x + lean * 0.1f, bottom - height * 0.6f};
        const float width = random.range(3.5f, 7.0f);
        strokeCurve(canvas, p0, p1, p2, width, 0.6f, root, random.unit() < 0.5f ? tipDark : tipLight);
    }
}

}  // namespace

OverlayCanvas paintOverlay() {
    OverlayCanvas canvas(kSceneWidth, kSceneHeight);
    SceneRandom random(kSeedOverlay);
    const float w = static_cast<float>(kSceneWidth);
    paintVignette(canvas);
    // Branches over the top corners.
    paintHangingBranch(canvas, random, Point{-40.0f, 10.0f}, Point{150.0f, 70.0f}, Point{360.0f, 40.0f}, 22.0f);
    paintHangingBranch(canvas, random, Point{-20.0f, 120.0f}, Point{60.0f, 110.0f}, Point{170.0f, 150.0f}, 14.0f);
    paintHangingBranch(canvas, random, Point{w + 40.0f, 0.0f}, Point{w - 170.0f, 60.0f}, Point{w - 400.0f, 28.0f},
                       24.0f);
    paintHangingBranch(canvas, random, Point{w + 20.0f, 140.0f}, Point{w - 70.0f, 120.0f}, Point{w - 190.0f, 170.0f},
                       14.0f);
    // Tall grass in the bottom corners, short grass along the shore between.
    for (int i = 0; i < 5; ++i) paintGrassTuft(canvas, random, 30.0f + i * 55.0f, 40.0f, 60.0f, 190.0f - i * 22.0f, 26);
    for (int i = 0; i < 5; ++i) paintGrassTuft(canvas, random, w - 30.0f - i * 55.0f, 40.0f, 60.0f, 200.0f - i * 22.0f, 26);
    for (int i = 0; i < 9; ++i) paintGrassTuft(canvas, random, 330.0f + i * 78.0f, 30.0f, 12.0f, 38.0f, 8);
    return canvas;
}

ImageGrid overlayToImage(const OverlayCanvas& canvas) {
    ImageGrid image(canvas.width, canvas.height);
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) + static_cast<std::size_t>(x);
            const float a = canvas.alpha[i];
            Rgba8 px;
            if (a > 0.0f) {
                const Color c = scale(canvas.premultiplied[i], 1.0f / a);
                px = Rgba8{toByte(c.r), toByte(c.g), toByte(c.b), toByte(a)};
            }
            image.at(x, y) = px;
        }
    }
    return image;
}

}  // namespace demo
