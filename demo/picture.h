#pragma once
// The demo scene's working picture: a waterfall falling from a rock ledge
// into a lake, wooded banks on both sides, hills and a cloudy sky behind.
// Painted back to front into a float canvas that also records, per pixel,
// which feature ended up on top (the guide layout moves water and clouds and
// pins everything else).
//
// Sections: canvas, sky and clouds, hills, cliff, river and fall, trees,
// lake, foam and mist, foreground banks, the whole picture.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "demo/noise.h"
#include "demo/scene_layout.h"
#include "flow/grid.h"

namespace demo {

// ---- canvas -----------------------------------------------------------------

struct PaintCanvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Color> pixels;
    std::vector<Region> regions;

    PaintCanvas(std::int32_t w, std::int32_t h)
        : width(w), height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)),
          regions(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), Region::Sky) {}

    std::size_t index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    // Blend c over the pixel with the given coverage; the pixel belongs to
    // `region` once the new layer covers most of it.
    void blend(std::int32_t x, std::int32_t y, Color c, float coverage, Region region) {
        if (coverage <= 0.0f) return;
        const std::size_t i = index(x, y);
        pixels[i] = mix(pixels[i], c, clamp01(coverage));
        if (coverage > 0.5f) regions[i] = region;
    }
    // Nearest pixel with the position clamped into the canvas.
    Color sampleClamped(float x, float y) const {
        const std::int32_t ix = std::min(width - 1, std::max(0, static_cast<std::int32_t>(std::lround(x))));
        const std::int32_t iy = std::min(height - 1, std::max(0, static_cast<std::int32_t>(std::lround(y))));
        return pixels[index(ix, iy)];
    }
};

// ---- the whole picture ------------------------------------------------------

PaintCanvas paintScene();

// Opaque RGBA8 pixels of the canvas.
ImageGrid canvasToImage(const PaintCanvas& canvas);

}  // namespace demo
