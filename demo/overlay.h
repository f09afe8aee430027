#pragma once
// The demo scene's overlay picture: a dark foreground frame drawn over the
// animation. Leafy branches hang from the top corners, grass grows along the
// bottom edge, and a thin soft vignette darkens the border. Everything else
// is fully transparent, so the animation shows through. Shapes are
// anti-aliased from their exact distances and composited in premultiplied
// alpha, which keeps the soft edges free of dark or bright fringes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "demo/noise.h"
#include "flow/grid.h"

namespace demo {

struct OverlayCanvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Color> premultiplied;
    std::vector<float> alpha;

    OverlayCanvas(std::int32_t w, std::int32_t h)
        : width(w), height(h),
          premultiplied(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)),
          alpha(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f) {}

    // Porter-Duff "over" of a straight colour with the given coverage.
    void over(std::int32_t x, std::int32_t y, Color c, float coverage) {
        if (coverage <= 0.0f) return;
        const float a = clamp01(coverage);
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
        premultiplied[i] = add(scale(c, a), scale(premultiplied[i], 1.0f - a));
        alpha[i] = a + alpha[i] * (1.0f - a);
    }
};

// ---- the whole overlay ------------------------------------------------------

OverlayCanvas paintOverlay();

// Straight-alpha RGBA8 pixels, as picture files store them.
ImageGrid overlayToImage(const OverlayCanvas& canvas);

}  // namespace demo
