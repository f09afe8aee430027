#include "demo/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "demo/noise.h"
#include "demo/scene_layout.h"

namespace demo {

namespace {

// Pixel rows and columns of a box, clipped to the canvas.
struct PixelSpan {
    std::int32_t x0, y0, x1, y1;  // inclusive start, exclusive end
};
PixelSpan clipBox(const PaintCanvas& canvas, float left, float top, float right, float bottom) {
    PixelSpan s;
    s.x0 = std::max(0, static_cast<std::int32_t>(std::floor(left)));
    s.y0 = std::max(0, static_cast<std::int32_t>(std::floor(top)));
    s.x1 = std::min(canvas.width, static_cast<std::int32_t>(std::ceil(right)) + 1);
    s.y1 = std::min(canvas.height, static_cast<std::int32_t>(std::ceil(bottom)) + 1);
    return s;
}

// Colour of the air towards the horizon; distant things fade into it.
Color hazeColor() { return rgb8(176, 196, 212); }

// ---- sky and clouds ---------------------------------------------------------

// The sun sits high to the upper right; clouds and tree crowns are lit from it.
constexpr float kSunX = 1010.0f;
constexpr float kSunY = 70.0f;

void paintSky(PaintCanvas& canvas) {
    const Color zenith = rgb8(58, 104, 172);
    const Color middle = rgb8(112, 160, 212);
    const Color horizon = rgb8(206, 220, 228);
    const Color sunGlow = rgb8(255, 236, 200);
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        const float t = clamp01(static_cast<float>(y) / kHorizonY);
        const Color base = t < 0.55f ? mix(zenith, middle, smoothstep(0.0f, 0.55f, t))
                                     : mix(middle, horizon, smoothstep(0.55f, 1.0f, t));
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const float dx = (static_cast<float>(x) - kSunX) / 420.0f;
            const float dy = (static_cast<float>(y) - kSunY) / 300.0f;
            const float glow = std::exp(-(dx * dx + dy * dy) * 1.6f) * 0.55f;
            const float grain = (valueNoise(x * 0.7f, y * 0.7f, kSeedSky) - 0.5f) * 0.006f;
            Color c = mix(base, sunGlow, glow);
            c = add(c, Color{grain, grain, grain});
            canvas.pixels[canvas.index(x, y)] = c;
        }
    }
}

// Cloud density at a point: wide, flat banks of fractal noise that thin out
// towards the horizon and the zenith.
float cloudDensity(float x, float y) {
    const float n = fractalNoise(x * 0.0032f, y * 0.0105f, kSeedClouds, 6, 0.52f);
    const float band = std::exp(-std::pow((y - 120.0f) / 95.0f, 2.0f));
    return smoothstep(0.42f, 0.74f, n * (0.74f + 0.4f * band));
}

void paintClouds(PaintCanvas& canvas) {
    const Color lit = rgb8(252, 248, 240);
    const Color shade = rgb8(150, 166, 192);
    const std::int32_t bottom = static_cast<std::int32_t>(kHorizonY);
    for (std::int32_t y = 0; y < bottom; ++y) {
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const float fx = static_cast<float>(x);
            const float fy = static_cast<float>(y);
            const float density = cloudDensity(fx, fy);
            if (density <= 0.0f) continue;
            // Lit where the cloud thins towards the sun: compare with a point
            // a few pixels closer to it.
            const float toSunX = kSunX - fx;
            const float toSunY = kSunY - fy;
            const float len = std::sqrt(toSunX * toSunX + toSunY * toSunY) + 1.0f;
            const float towards = cloudDensity(fx + toSunX / len * 7.0f, fy + toSunY / len * 7.0f);
            const float light = clamp01(0.62f + (density - towards) * 2.2f - (fy - 60.0f) * 0.0012f);
            canvas.blend(x, y, mix(shade, lit, light), density * 0.92f, Region::Sky);
        }
    }
}

// ---- hills ------------------------------------------------------------------

float farRidgeAt(float x) {
    return 214.0f + (fractalNoise1(x * 0.0042f, kSeedHills, 5) - 0.5f) * 110.0f;
}
float nearRidgeAt(float x) {
    return 262.0f + (fractalNoise1(x * 0.0065f, kSeedHills + 3, 5) - 0.5f) * 80.0f;
}

void paintHills(PaintCanvas& canvas) {
    const Color farTop = rgb8(128, 150, 180);
    const Color farFoot = rgb8(150, 170, 190);
    const Color nearTop = rgb8(72, 100, 104);
    const Color nearFoot = rgb8(96, 122, 118);
    for (std::int32_t x = 0; x < canvas.width; ++x) {
        const float fx = static_cast<float>(x);
        const float farRidge = farRidgeAt(fx);
        const float nearRidge = nearRidgeAt(fx);
        for (std::int32_t y = static_cast<std::int32_t>(farRidge) - 1; y < canvas.height; ++y) {
            const float fy = static_cast<float>(y);
            if (fy > kHorizonY + 40.0f) break;
            const float tex = fractalNoise(fx * 0.03f, fy * 0.05f, kSeedHills + 7, 4);
            const float farT = clamp01((fy - farRidge) / 90.0f);
            Color c = mix(farTop, farFoot, farT);
            c = scale(c, 0.94f + tex * 0.1f);
            canvas.blend(x, y, c, clamp01(fy - farRidge + 0.5f), Region::Hills);
            if (fy >= nearRidge - 1.0f) {
                // Forested nearer hills: speckled dark canopy, hazier at the foot.
                const float speck = valueNoise(fx * 0.28f, fy * 0.34f, kSeedHills + 11);
                const float nearT = clamp01((fy - nearRidge) / 70.0f);
                Color n = mix(nearTop, nearFoot, nearT);
                n = scale(n, 0.82f + speck * 0.22f + tex * 0.1f);
                canvas.blend(x, y, n, clamp01(fy - nearRidge + 0.5f), Region::Hills);
            }
        }
    }
}

// ---- cliff ------------------------------------------------------------------

// Height field of the rock face; its slopes shade the rock as if lit.
float rockHeight(float x, float y) {
    return fractalNoise(x * 0.013f, y * 0.017f, kSeedRock, 5) +
           0.45f * ridgedNoise(x * 0.006f, y * 0.022f, kSeedRock + 1, 4);
}

Color rockColor(float x, float y, float depthBelowTop) {
    const float tone = fractalNoise(x * 0.008f, y * 0.011f, kSeedRock + 2, 4);
    Color c = mix(rgb8(88, 80, 74), rgb8(140, 130, 116), tone);
    // Light from the upper right, from the slope of the height field.
    const float h = rockHeight(x, y);
    const float hx = rockHeight(x + 2.0f, y) - h;
    const float hy = rockHeight(x, y + 2.0f) - h;
    const float light = clamp01(0.78f + (-hx * 0.6f + hy * 0.9f) * 5.5f);
    c = scale(c, 0.55f + 0.6f * light);
    // Bedding planes: darker seams running across the face.
    const float seam = std::sin((y + fractalNoise(x * 0.004f, y * 0.01f, kSeedRock + 3, 3) * 60.0f) * 0.16f);
    c = scale(c, 1.0f - 0.16f * smoothstep(0.82f, 1.0f, seam));
    // Cracks: thin dark creases of a ridged field.
    const float crack = ridgedNoise(x * 0.018f, y * 0.006f, kSeedRock + 4, 3);
    c = scale(c, 1.0f - 0.22f * smoothstep(0.965f, 0.995f, crack));
    // Dark stains where seepage runs down the face.
    const float stain = fractalNoise(x * 0.045f, y * 0.0035f, kSeedRock + 8, 3);
    c = scale(c, 1.0f - 0.3f * smoothstep(0.55f, 0.75f, stain));
    // Moss on ledges and in the upper part of the face.
    const float moss = fractalNoise(x * 0.02f, y * 0.03f, kSeedRock + 6, 4);
    const float mossAmount = smoothstep(0.55f, 0.7f, moss) * (0.35f + 0.65f * std::exp(-depthBelowTop / 60.0f));
    c = mix(c, scale(rgb8(74, 102, 46), 0.7f + 0.5f * light), mossAmount * 0.8f);
    // Vertical jointing: the face breaks into tall columns.
    const float columns = fractalNoise(x * 0.03f, y * 0.004f, kSeedRock + 9, 3);
    c = scale(c, 0.82f + 0.32f * columns);
    // Grain.
    const float grain = valueNoise(x * 0.6f, y * 0.6f, kSeedRock + 7);
    return scale(c, 0.92f + 0.16f * grain);
}

void paintCliff(PaintCanvas& canvas) {
    const std::int32_t bottom = static_cast<std::int32_t>(kLakeY) + 4;
    for (std::int32_t x = 0; x < canvas.width; ++x) {
        const float fx = static_cast<float>(x);
        const float top = cliffTopAt(fx);
        for (std::int32_t y = std::max(0, static_cast<std::int32_t>(top) - 1); y < bottom; ++y) {
            const float fy = static_cast<float>(y);
            const float depth = fy - top;
            Color c = rockColor(fx, fy, depth);
            // A sunlit rim with grass along the top edge.
            c = mix(c, rgb8(118, 132, 70), 0.6f * smoothstep(5.0f, 0.0f, depth));
            // Spray keeps the rock near the fall dark and wet, and the foot
            // of the cliff lies in the shade of the lake's mist.
            // The spray also washes out the rock's detail beside the fall,
            // where the fall's pull on the flow can't be held off entirely.
            const float nearFall = std::fabs(fx - kFallCenterX) - fallHalfWidthAt(fy);
            const float wet = smoothstep(60.0f, 0.0f, nearFall);
            const float wash = fractalNoise(fx * 0.01f, fy * 0.004f, kSeedRock + 10, 3);
            c = mix(c, scale(rgb8(70, 74, 72), 0.8f + 0.4f * wash), 0.7f * wet);
            c = scale(c, 1.0f - 0.3f * wet);
            c = scale(c, 1.0f - 0.3f * smoothstep(kLakeY - 80.0f, kLakeY, fy));
            canvas.blend(x, y, c, clamp01(depth + 0.5f), Region::Rock);
        }
    }
}

// ---- river and fall ---------------------------------------------------------

// The river narrows with distance above the lip.
float riverHalfWidthAt(float y) {
    const float t = clamp01((kFallLipY - y) / (kFallLipY - kRiverTopY));
    return lerp(kFallTopHalfWidth - 3.0f, 30.0f, t);
}

void paintRiver(PaintCanvas& canvas) {
    const PixelSpan s = clipBox(canvas, kFallCenterX - 80.0f, kRiverTopY - 2.0f, kFallCenterX + 80.0f, kFallLipY + 2.0f);
    for (std::int32_t y = s.y0; y < s.y1; ++y) {
        const float fy = static_cast<float>(y);
        for (std::int32_t x = s.x0; x < s.x1; ++x) {
            const float fx = static_cast<float>(x);
            // The far end of the river bends out of sight behind the hills.
            const float across = (fx - kFallCenterX) / riverHalfWidthAt(fy);
            const float farEnd = kRiverTopY + across * across * 10.0f;
            const float inside = riverHalfWidthAt(fy) - std::fabs(fx - kFallCenterX);
            const float coverage = clamp01(inside + 0.5f) * smoothstep(farEnd, farEnd + 6.0f, fy) *
                                   clamp01(kFallLipY + 1.0f - fy);
            if (coverage <= 0.0f) continue;
            const float ripple = fractalNoise(fx * 0.05f, fy * 0.4f, kSeedFall + 1, 3);
            Color c = mix(rgb8(58, 96, 96), rgb8(150, 186, 190), smoothstep(0.45f, 0.8f, ripple));
            c = mix(c, hazeColor(), 0.35f * smoothstep(kRiverTopY + 12.0f, kRiverTopY, fy));
            // The water brightens and whitens where it curls over the lip.
            c = mix(c, rgb8(200, 222, 222), smoothstep(kFallLipY - 8.0f, kFallLipY, fy) * 0.6f);
            canvas.blend(x, y, c, coverage, Region::River);
        }
    }
}

void paintFall(PaintCanvas& canvas) {
    const PixelSpan s = clipBox(canvas, kFallCenterX - kFallBottomHalfWidth - 12.0f, kFallLipY - 1.0f,
                                kFallCenterX + kFallBottomHalfWidth + 12.0f, kLakeY + 6.0f);
    const Color green = rgb8(96, 150, 140);
    const Color shadow = rgb8(112, 140, 152);
    const Color white = rgb8(238, 246, 250);
    for (std::int32_t y = s.y0; y < s.y1; ++y) {
        const float fy = static_cast<float>(y);
        const float fromLip = fy - kFallLipY;
        for (std::int32_t x = s.x0; x < s.x1; ++x) {
            const float fx = static_cast<float>(x);
            const float inside = fallInsideAt(fx, fy);
            if (inside < -1.0f) continue;
            // Long vertical streaks: the noise runs slowly down the fall and
            // quickly across it.
            const float coarse = fractalNoise(fx * 0.07f, fy * 0.0045f, kSeedFall, 4);
            const float fine = fractalNoise(fx * 0.22f, fy * 0.011f, kSeedFall + 2, 3);
            const float streak = clamp01(coarse * 0.6f + fine * 0.55f - 0.08f);
            // Green and glassy at the lip, broken into white water below.
            const float broken = smoothstep(0.0f, 70.0f, fromLip);
            Color c = mix(shadow, white, smoothstep(0.3f, 0.75f, streak));
            c = mix(mix(green, rgb8(170, 206, 200), streak), c, broken);
            // Rounder sheet: a little darker towards its edges.
            const float across = std::fabs(fx - kFallCenterX) / fallHalfWidthAt(fy);
            c = scale(c, 1.0f - 0.18f * across * across);
            // Thin water lets the wet rock show through between the streaks.
            const float opacity = clamp01(0.72f + 0.4f * streak) * smoothstep(-1.0f, 6.0f, inside);
            canvas.blend(x, y, c, opacity, Region::Fall);
            if (inside > 0.0f) canvas.regions[canvas.index(x, y)] = Region::Fall;
        }
    }
}

// ---- trees ------------------------------------------------------------------

struct Tree {
    float baseX = 0.0f;
    float baseY = 0.0f;
    float height = 0.0f;       // from the base to the crown centre
    float crownRadius = 0.0f;
    float lean = 0.0f;         // horizontal offset of the crown centre
    float haze = 0.0f;         // 0 near, towards 1 far
    Color dark;
    Color light;
    std::uint32_t seed = 0;
};

// A deterministic stand of trees along a bank: bases between (xStart,
// yStart) and (xEnd, yEnd).
std::vector<Tree> plantTreeRow(SceneRandom& random, int count, float xStart, float yStart, float xEnd,
                                      float yEnd, float heightLow, float heightHigh, float haze) {
    static const Color darks[] = {rgb8(18, 40, 22), rgb8(28, 48, 18), rgb8(16, 38, 32), rgb8(40, 50, 18)};
    static const Color lights[] = {rgb8(96, 134, 56), rgb8(124, 146, 60), rgb8(80, 126, 76), rgb8(156, 150, 64)};
    std::vector<Tree> trees;
    for (int i = 0; i < count; ++i) {
        const float t = (static_cast<float>(i) + random.range(0.15f, 0.85f)) / static_cast<float>(count);
        Tree tree;
        tree.baseX = lerp(xStart, xEnd, t);
        tree.baseY = lerp(yStart, yEnd, t) + random.range(-8.0f, 8.0f);
        tree.height = random.range(heightLow, heightHigh);
        tree.crownRadius = tree.height * random.range(0.6f, 0.75f);
        tree.lean = random.range(-0.08f, 0.08f) * tree.height;
        tree.haze = haze;
        const int palette = static_cast<int>(random.unit() * 4.0f) & 3;
        tree.dark = darks[palette];
        tree.light = lights[palette];
        tree.seed = static_cast<std::uint32_t>(random.nextBits());
        trees.push_back(tree);
    }
    return trees;
}

// One round clump of leaves, ragged at the rim, lit from the sun's side.
void paintLeafClump(PaintCanvas& canvas, const Tree& tree, float cx, float cy, float radius,
                           float brightness) {
    const PixelSpan s = clipBox(canvas, cx - radius * 1.2f, cy - radius * 1.2f, cx + radius * 1.2f, cy + radius * 1.2f);
    const float sunDx = kSunX - cx;
    const float sunDy = kSunY - cy;
    const float sunLen = std::sqrt(sunDx * sunDx + sunDy * sunDy) + 1.0f;
    const float lx = sunDx / sunLen;
    const float ly = sunDy / sunLen;
    const Color haze = hazeColor();
    for (std::int32_t y = s.y0; y < s.y1; ++y) {
        for (std::int32_t x = s.x0; x < s.x1; ++x) {
            const float fx = static_cast<float>(x);
            const float fy = static_cast<float>(y);
            const float dx = fx - cx;
            const float dy = fy - cy;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float leafy = fractalNoise(fx * 0.16f, fy * 0.16f, kSeedFoliage + tree.seed % 97u, 3);
            const float rim = radius * (0.82f + 0.34f * leafy);
            const float coverage = clamp01(rim - d + 0.5f);
            if (coverage <= 0.0f) continue;
            // Sphere-like shading towards the sun, broken up by leaf-sized noise.
            const float facing = (dx * lx + dy * ly) / radius;
            const float leaves = fractalNoise(fx * 0.2f, fy * 0.22f, kSeedFoliage + 1, 2, 0.6f);
            const float clusters = fractalNoise(fx * 0.07f, fy * 0.07f, kSeedFoliage + 2, 3);
            float light = clamp01(0.45f + 0.45f * facing + 0.35f * (clusters - 0.5f) + 0.3f * (leaves - 0.5f));
            light *= brightness;
            Color c = mix(tree.dark, tree.light, clamp01(light));
            // Gaps between leaf clusters fall into shadow.
            c = scale(c, 0.72f + 0.4f * leaves - 0.25f * smoothstep(0.35f, 0.2f, clusters));
            c = mix(c, haze, tree.haze);
            canvas.blend(x, y, c, coverage, Region::Foliage);
        }
    }
}

void paintTrunk(PaintCanvas& canvas, const Tree& tree) {
    const float topX = tree.baseX + tree.lean;
    const float topY = tree.baseY - tree.height;
    const float width = 2.0f + tree.height * 0.025f;
    const PixelSpan s = clipBox(canvas, std::min(tree.baseX, topX) - width - 2.0f, topY,
                                std::max(tree.baseX, topX) + width + 2.0f, tree.baseY);
    const Color bark = mix(rgb8(58, 44, 36), hazeColor(), tree.haze);
    for (std::int32_t y = s.y0; y < s.y1; ++y) {
        const float fy = static_cast<float>(y);
        const float t = (tree.baseY - fy) / tree.height;
        const float centreX = lerp(tree.baseX, topX, t);
        const float halfWidth = width * (1.0f - 0.5f * t);
        for (std::int32_t x = s.x0; x < s.x1; ++x) {
            const float across = static_cast<float>(x) - centreX;
            const float coverage = clamp01(halfWidth - std::fabs(across) + 0.5f);
            if (coverage <= 0.0f) continue;
            const Color c = scale(bark, 0.75f + 0.5f * clamp01(0.5f + across / (2.0f * halfWidth)));
            canvas.blend(x, y, c, coverage, Region::Foliage);
        }
    }
}

void paintTree(PaintCanvas& canvas, const Tree& tree) {
    if (tree.height > tree.crownRadius) paintTrunk(canvas, tree);
    SceneRandom random(tree.seed);
    const float cx = tree.baseX + tree.lean;
    const float cy = tree.baseY - tree.height;
    // Lower clumps first and darker, so the crown reads as a rounded mass
    // with its lit top in front.
    const int clumps = 7;
    for (int i = 0; i < clumps; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(clumps - 1);
        const float angle = random.range(0.0f, 6.2831853f);
        const float reach = tree.crownRadius * random.range(0.2f, 0.55f);
        const float ox = std::cos(angle) * reach;
        const float oy = std::sin(angle) * reach * 0.8f + lerp(0.35f, -0.35f, t) * tree.crownRadius;
        const float radius = tree.crownRadius * random.range(0.48f, 0.66f);
        paintLeafClump(canvas, tree, cx + ox, cy + oy, radius, lerp(0.75f, 1.1f, t));
    }
}

// The stands of trees on both sides, far to near, and the bushes on the
// foreground banks. Bases follow the slopes, which fall from the picture's
// sides towards the lake.
struct Woods {
    std::vector<Tree> back;
    std::vector<Tree> middle;
    std::vector<Tree> bushes;
};

Woods plantWoods() {
    SceneRandom random(kSeedTrees);
    Woods woods;
    auto append = [](std::vector<Tree>& to, const std::vector<Tree>& from) {
        to.insert(to.end(), from.begin(), from.end());
    };
    append(woods.back, plantTreeRow(random, 13, -40.0f, 420.0f, 470.0f, 545.0f, 95.0f, 135.0f, 0.3f));
    append(woods.back, plantTreeRow(random, 12, 820.0f, 545.0f, 1320.0f, 410.0f, 95.0f, 135.0f, 0.3f));
    append(woods.middle, plantTreeRow(random, 7, -60.0f, 500.0f, 390.0f, 560.0f, 125.0f, 175.0f, 0.08f));
    append(woods.middle, plantTreeRow(random, 7, 900.0f, 560.0f, 1340.0f, 490.0f, 125.0f, 175.0f, 0.08f));
    for (Tree& tree : woods.middle) tree.crownRadius *= 1.15f;
    append(woods.bushes, plantTreeRow(random, 7, -30.0f, 0.0f, 330.0f, 0.0f, 0.0f, 0.0f, 0.0f));
    append(woods.bushes, plantTreeRow(random, 7, 960.0f, 0.0f, 1310.0f, 0.0f, 0.0f, 0.0f, 0.0f));
    // Bushes sit on the bank without a visible trunk.
    for (Tree& bush : woods.bushes) {
        bush.baseY = bankTopAt(bush.baseX) + 34.0f;
        bush.crownRadius = random.range(34.0f, 52.0f);
        bush.height = bush.crownRadius * 0.55f;
    }
    return woods;
}

// ---- lake -------------------------------------------------------------------

void paintLake(PaintCanvas& canvas) {
    const Color shallow = rgb8(44, 88, 98);
    const Color deep = rgb8(18, 46, 58);
    const Color glint = rgb8(196, 218, 232);
    const std::int32_t top = static_cast<std::int32_t>(kLakeY);
    for (std::int32_t y = top; y < canvas.height; ++y) {
        const float fy = static_cast<float>(y);
        const float near = clamp01((fy - kLakeY) / (static_cast<float>(canvas.height) - kLakeY));
        // Perspective: ripples look smaller and flatter the farther they are.
        const float perspective = (kLakeY - kHorizonY) / (fy - kHorizonY);
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const float fx = static_cast<float>(x);
            const float wave = fractalNoise(fx * 0.018f * perspective, fy * 0.2f * perspective, kSeedLake, 4);
            // The mirror image of what stands above the water, shaken by the waves.
            const float shakeX = (wave - 0.5f) * 10.0f * (0.4f + near);
            const float mirrorY = 2.0f * kLakeY - fy + (wave - 0.5f) * 8.0f;
            const Color reflected = canvas.sampleClamped(fx + shakeX, std::max(0.0f, mirrorY));
            Color c = mix(shallow, deep, near);
            c = mix(c, scale(reflected, 0.78f), 0.62f - 0.25f * near);
            // Crests catch the sky; troughs are darker.
            const float crest = smoothstep(0.58f, 0.72f, wave);
            const float trough = smoothstep(0.42f, 0.3f, wave);
            c = mix(c, glint, crest * 0.35f);
            c = scale(c, 1.0f - 0.22f * trough);
            // Distant water is a paler band where it meets the cliff.
            c = mix(c, hazeColor(), 0.16f * smoothstep(kLakeY + 30.0f, kLakeY, fy));
            canvas.blend(x, y, c, 1.0f, Region::Lake);
        }
    }
}

// ---- foam and mist ----------------------------------------------------------

// The heap of white water where the fall plunges in: its billowing top
// rises a little above the lake line and hides where the sheet meets the water.
constexpr float kFoamHalfWidth = 125.0f;
constexpr float kFoamRise = 12.0f;    // above the lake line at the middle
constexpr float kFoamDepth = 34.0f;   // below the lake line at the middle

void paintFoamAndMist(PaintCanvas& canvas) {
    const Color foamLit = rgb8(240, 246, 248);
    const Color foamShade = rgb8(150, 176, 188);
    const PixelSpan s = clipBox(canvas, kFallCenterX - 300.0f, kLakeY - 140.0f, kFallCenterX + 300.0f,
                                static_cast<float>(canvas.height));
    for (std::int32_t y = s.y0; y < s.y1; ++y) {
        const float fy = static_cast<float>(y);
        for (std::int32_t x = s.x0; x < s.x1; ++x) {
            const float fx = static_cast<float>(x);
            const float across = (fx - kFallCenterX) / kFoamHalfWidth;
            const float shape = clamp01(1.0f - across * across);
            // Top and bottom of the heap: lumpy billows, thinning to the sides.
            const float billow = fractalNoise(fx * 0.045f, 3.7f, kSeedLake + 3, 3);
            const float top = kLakeY - (kFoamRise * shape + 10.0f * (billow - 0.5f)) * shape;
            const float bottom = kLakeY + kFoamDepth * std::sqrt(shape) * (0.7f + 0.6f * billow);
            const float heap = clamp01((fy - top) / 3.0f + 0.5f) * clamp01((bottom - fy) / 14.0f) * smoothstep(0.0f, 0.6f, shape);
            if (heap > 0.0f) {
                // Bubbly texture, lit from above and shaded underneath; no
                // holes, so the heap reads as one mass of foam.
                const float bubbles = fractalNoise(fx * 0.12f, fy * 0.16f, kSeedLake + 7, 4);
                const float height = clamp01((fy - top) / (bottom - top));
                Color c = mix(foamLit, foamShade, clamp01(height * 0.7f + (0.55f - bubbles) * 1.3f));
                canvas.blend(x, y, c, heap * (0.55f + 0.45f * smoothstep(0.3f, 0.6f, bubbles)), Region::Lake);
            }
            // Soft patches of foam drifting away across the lake, stretched
            // along the water.
            if (fy >= kLakeY) {
                const float ex = across;
                const float ey = (fy - kLakeY) / 40.0f;
                const float e = ex * ex + ey * ey;
                const float patches = fractalNoise(fx * 0.011f, fy * 0.07f, kSeedLake + 4, 4);
                const float lace = valueNoise(fx * 0.12f, fy * 0.5f, kSeedLake + 6);
                const float spread = smoothstep(0.6f, 0.76f, patches) * (0.55f + 0.45f * lace) *
                                     clamp01(1.4f - e * 0.12f) * 0.55f;
                if (spread > 0.0f) canvas.blend(x, y, foamLit, spread, Region::Lake);
            }
            // Mist rising from the plunge pool over the lower fall.
            const float mx = (fx - kFallCenterX) / 210.0f;
            const float my = (fy - (kLakeY - 6.0f)) / 75.0f;
            const float veil = fractalNoise(fx * 0.012f, fy * 0.02f, kSeedLake + 5, 4);
            const float mist = std::exp(-(mx * mx + my * my) * 2.2f) * (0.35f + 0.5f * veil);
            canvas.pixels[canvas.index(x, y)] = mix(canvas.pixels[canvas.index(x, y)], rgb8(226, 234, 238), mist * 0.45f);
        }
    }
}

// ---- foreground banks -------------------------------------------------------

void paintBanks(PaintCanvas& canvas) {
    const Color grass = rgb8(54, 74, 34);
    const Color earth = rgb8(66, 54, 40);
    const Color wet = rgb8(30, 32, 28);
    const std::int32_t top = static_cast<std::int32_t>(kLakeY) - 30;
    for (std::int32_t y = top; y < canvas.height; ++y) {
        const float fy = static_cast<float>(y);
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const float fx = static_cast<float>(x);
            const float depth = fy - bankTopAt(fx);
            const float coverage = clamp01(depth + 0.5f);
            if (coverage <= 0.0f) continue;
            const float patch = fractalNoise(fx * 0.03f, fy * 0.05f, kSeedFoliage + 5, 4);
            const float blades = valueNoise(fx * 0.9f, fy * 0.12f, kSeedFoliage + 6);
            Color c = mix(earth, grass, 0.55f + 0.45f * smoothstep(0.3f, 0.6f, patch));
            c = scale(c, 0.75f + 0.4f * blades);
            // The waterline: dark, wet soil just above the water.
            c = mix(c, wet, 0.8f * smoothstep(8.0f, 0.0f, depth));
            canvas.blend(x, y, c, coverage, Region::Foliage);
        }
    }
}

}  // namespace

PaintCanvas paintScene() {
    PaintCanvas canvas(kSceneWidth, kSceneHeight);
    paintSky(canvas);
    paintClouds(canvas);
    paintHills(canvas);
    paintCliff(canvas);
    paintRiver(canvas);
    paintFall(canvas);
    const Woods woods = plantWoods();
    for (const Tree& tree : woods.back) paintTree(canvas, tree);
    for (const Tree& tree : woods.middle) paintTree(canvas, tree);
    paintLake(canvas);
    paintFoamAndMist(canvas);
    paintBanks(canvas);
    for (const Tree& tree : woods.bushes) paintTree(canvas, tree);
    return canvas;
}

ImageGrid canvasToImage(const PaintCanvas& canvas) {
    ImageGrid image(canvas.width, canvas.height);
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        for (std::int32_t x = 0; x < canvas.width; ++x) {
            const Color c = canvas.pixels[canvas.index(x, y)];
            image.at(x, y) = Rgba8{toByte(c.r), toByte(c.g), toByte(c.b), 255};
        }
    }
    return image;
}

}  // namespace demo
