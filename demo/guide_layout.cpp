#include "demo/guide_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "demo/noise.h"
#include "demo/scene_layout.h"

namespace demo {

namespace {

// Guide lengths, in picture pixels (times kDemoFlowScale for px/s).
constexpr float kFallLengthAtLip = 30.0f;     // 61 px/s asked for near the lip
constexpr float kFallLengthAtFoot = 100.0f;   // 205 px/s asked for where it hits the lake
constexpr float kCloudDriftLength = 4.5f;     // 9 px/s to the right

// Rings of outward drift around the plunge pool, innermost first: the water
// spreads from where the fall hits the lake and slows as it goes.
struct PoolRing {
    float radiusX, radiusY, length;
    int guides;
};
constexpr PoolRing kPoolRings[] = {
    {95.0f, 22.0f, 16.0f, 7},
    {210.0f, 55.0f, 11.0f, 9},
    {350.0f, 100.0f, 8.0f, 11},
    {520.0f, 160.0f, 6.0f, 13},
};
constexpr float kPoolCenterY = kLakeY + 12.0f;

GuideSegment guideFrom(float x, float y, float dx, float dy) {
    return GuideSegment{x, y, x + dx, y + dy};
}
GuideSegment pinAt(float x, float y) { return GuideSegment{x, y, x, y}; }

Region regionAt(const PaintCanvas& canvas, float x, float y) {
    const std::int32_t ix = std::min(canvas.width - 1, std::max(0, static_cast<std::int32_t>(x)));
    const std::int32_t iy = std::min(canvas.height - 1, std::max(0, static_cast<std::int32_t>(y)));
    return canvas.regions[canvas.index(ix, iy)];
}

// True when a pixel within `radius` of (x, y) shows something other than sky.
bool nearSolid(const PaintCanvas& canvas, float x, float y, float radius) {
    for (float dy = -radius; dy <= radius; dy += radius / 3.0f) {
        for (float dx = -radius; dx <= radius; dx += radius / 3.0f) {
            if (regionAt(canvas, x + dx, y + dy) != Region::Sky) return true;
        }
    }
    return false;
}

// Moving water has to start from standing water: the picture seen through a
// UV layer is fetched from upstream, so whatever lies upstream of a moving
// region slides into it. So the river above the lip stands still, and the
// fall starts from rest at the lip and speeds up on the way down; the top of
// the sheet then stretches the glassy water of the lip into streaks.
void addFallGuides(std::vector<GuideSegment>& guides) {
    // Few, long guides: every guide's pull reaches the whole picture, so the
    // fewer the water needs, the fewer still guides must hold the rest.
    constexpr float kRowStep = 40.0f;
    constexpr float kFirstRow = 24.0f;  // below the lip
    const float columns[] = {-0.7f, 0.0f, 0.7f};
    for (float y = kFallLipY + kFirstRow; y < kLakeY - 4.0f; y += kRowStep) {
        const float t = (y - kFallLipY) / (kLakeY - kFallLipY);
        const float length = lerp(kFallLengthAtLip, kFallLengthAtFoot, t);
        const float halfWidth = fallHalfWidthAt(y);
        for (float c : columns) {
            // The sheet fans out a little as it falls.
            guides.push_back(guideFrom(kFallCenterX + c * halfWidth, y, c * 4.0f * t, length));
        }
    }
}

// A row of still guides along the lip holds the river above it; the still
// guides placed later (see addStillGuides) hold the rest of the notch.
void addLipGuides(std::vector<GuideSegment>& guides) {
    constexpr float kLipPinSpacing = 15.0f;
    for (float dx = -3.0f * kLipPinSpacing; dx <= 3.0f * kLipPinSpacing; dx += kLipPinSpacing) {
        guides.push_back(pinAt(kFallCenterX + dx, kFallLipY - 2.0f));
    }
}

void addPoolGuides(std::vector<GuideSegment>& guides, const PaintCanvas& canvas) {
    for (const PoolRing& ring : kPoolRings) {
        for (int i = 0; i < ring.guides; ++i) {
            // Angles across the lower half of the ellipse: the lake lies
            // below and to the sides of the fall's foot.
            const float angle = 0.08f + (3.14159265f - 0.16f) * static_cast<float>(i) / static_cast<float>(ring.guides - 1);
            const float x = kFallCenterX + std::cos(angle) * ring.radiusX;
            const float y = kPoolCenterY + std::sin(angle) * ring.radiusY;
            if (regionAt(canvas, x, y) != Region::Lake) continue;
            // Outward, flattened by perspective, with a slight pull towards the viewer.
            float dx = std::cos(angle);
            float dy = std::sin(angle) * 0.45f + 0.15f;
            const float norm = std::sqrt(dx * dx + dy * dy);
            dx /= norm;
            dy /= norm;
            guides.push_back(guideFrom(x, y, dx * ring.length, dy * ring.length));
        }
    }
    // Where the fall plunges in, the water turns outwards instead of
    // carrying the fall on down into the lake.
    for (float dx : {-60.0f, -20.0f, 20.0f, 60.0f}) {
        guides.push_back(guideFrom(kFallCenterX + dx, kLakeY + 8.0f, dx * 0.12f, 2.0f));
    }
}

// Guides for everything that isn't water, placed greedily. Inverse-square
// weights never fall off fast enough to keep the water's pull local: a few
// dozen strong water guides drag the whole picture along unless still areas
// carry guides of their own, densest next to the water. So probes on a fine
// grid over rock, trees, hills and sky measure how far the flow misses what
// that place should do (stand still; sky: drift), and a guide asking for
// exactly that goes where it misses most, until every probe is close enough
// or the budget is spent.
constexpr float kProbeSpacing = 8.0f;        // probe grid, in pixels
constexpr float kWaterMargin = 12.0f;        // probes this close to water may move with it
constexpr float kMinGuideSpacing = 18.0f;    // keeps the still guides from piling up at one edge
constexpr float kStillTolerance = 2.0f;      // px/s of leftover motion that doesn't show on rock and leaves
constexpr float kSkyTolerance = 3.0f;        // soft clouds hide more
// Sky this close to hills or trees stands still, so the shear between
// drifting and still lies in open sky, where soft clouds hide it, and not on
// a sharp ridge line or a crown's edge.
constexpr float kStillSkyMargin = 45.0f;
constexpr std::size_t kMaxStillGuides = 520; // bounds the cost of one synthesis

struct FlowProbe {
    float x, y;
    float targetX, targetY;  // wanted flow, px/s
    float toleranceSq;       // squared miss that doesn't show here
    float sx, sy, sw;        // running inverse-square sums over the guides so far
    bool spent;              // a guide sits on it (it can't see that guide) or none may go here
};

// Water that moves; the river above the lip stands still like the rock.
bool isMovingWater(Region r) { return r == Region::Fall || r == Region::Lake; }

void addToProbe(FlowProbe& probe, const GuideSegment& g) {
    const float dx = probe.x - g.x0;
    const float dy = probe.y - g.y0;
    const float d2 = dx * dx + dy * dy;
    if (d2 <= 0.0f) {
        probe.spent = true;
        return;
    }
    const float w = 1.0f / d2;
    probe.sx += w * (g.x1 - g.x0);
    probe.sy += w * (g.y1 - g.y0);
    probe.sw += w;
}

float probeMissSquared(const FlowProbe& probe, float scale) {
    if (probe.sw <= 0.0f) return 0.0f;
    const float ex = probe.sx / probe.sw * scale - probe.targetX;
    const float ey = probe.sy / probe.sw * scale - probe.targetY;
    return ex * ex + ey * ey;
}

void addStillGuides(std::vector<GuideSegment>& guides, const PaintCanvas& canvas, float scale) {
    const float cloudDrift = kCloudDriftLength * scale;
    std::vector<FlowProbe> probes;
    for (float y = kProbeSpacing * 0.5f; y < static_cast<float>(canvas.height); y += kProbeSpacing) {
        for (float x = kProbeSpacing * 0.5f; x < static_cast<float>(canvas.width); x += kProbeSpacing) {
            const Region region = regionAt(canvas, x, y);
            if (isMovingWater(region)) continue;
            bool nearWater = false;
            for (float oy = -kWaterMargin; oy <= kWaterMargin && !nearWater; oy += kWaterMargin * 0.5f) {
                for (float ox = -kWaterMargin; ox <= kWaterMargin; ox += kWaterMargin * 0.5f) {
                    if (isMovingWater(regionAt(canvas, x + ox, y + oy))) nearWater = true;
                }
            }
            if (nearWater) continue;
            const bool drifts = region == Region::Sky && !nearSolid(canvas, x, y, kStillSkyMargin);
            const float tolerance = region == Region::Sky ? kSkyTolerance : kStillTolerance;
            FlowProbe probe{x, y, drifts ? cloudDrift : 0.0f, 0.0f, tolerance * tolerance, 0.0f, 0.0f, 0.0f, false};
            for (const GuideSegment& g : guides) addToProbe(probe, g);
            probes.push_back(probe);
        }
    }
    const float minSpacing = kMinGuideSpacing * kMinGuideSpacing;
    std::size_t added = 0;
    while (added < kMaxStillGuides) {
        FlowProbe* worst = nullptr;
        float worstMiss = 1.0f;  // in units of each probe's tolerance
        for (FlowProbe& probe : probes) {
            if (probe.spent) continue;
            const float miss = probeMissSquared(probe, scale) / probe.toleranceSq;
            if (miss > worstMiss) {
                worstMiss = miss;
                worst = &probe;
            }
        }
        if (!worst) break;
        worst->spent = true;
        bool crowded = false;
        for (const GuideSegment& g : guides) {
            const float dx = g.x0 - worst->x;
            const float dy = g.y0 - worst->y;
            if (dx * dx + dy * dy < minSpacing) {
                crowded = true;
                break;
            }
        }
        if (crowded) continue;
        // The guide asks for the target itself (zero length where things
        // stand still). One that pushed back against the pull it corrects
        // would push the pixels right around it too far, raising bumps on
        // ridge lines and crowns.
        const GuideSegment guide = guideFrom(worst->x, worst->y, worst->targetX / scale, worst->targetY / scale);
        guides.push_back(guide);
        ++added;
        for (FlowProbe& probe : probes) addToProbe(probe, guide);
    }
}

}  // namespace

std::vector<GuideSegment> layoutGuides(const PaintCanvas& canvas) {
    std::vector<GuideSegment> guides;
    addFallGuides(guides);
    addLipGuides(guides);
    addPoolGuides(guides, canvas);
    addStillGuides(guides, canvas, kDemoFlowScale);
    return guides;
}

}  // namespace demo
