#include "app/layer_proxy.h"

#include <algorithm>
#include <cmath>

namespace {

// The proxy's levels: the powers of the square root of 2 from 2 on, each
// formed afresh (whole powers of 2 exactly), so that levels compare exactly.
constexpr int kFirstProxyLevel = 2;  // 2^(2/2)
constexpr int kLastProxyLevel = 40;  // 2^20: far beyond any picture
float proxyLevel(int k) { return std::ldexp(k % 2 != 0 ? 1.41421356f : 1.0f, k / 2); }

// A quarter octave: levels up to this much coarser than the view's own
// resolution still count as it (a layer texel of 1.19 viewport pixels at
// most), so that the level is the nearest one rather than always the finer.
constexpr float kLevelTolerance = 1.18920712f;  // 2^(1/4)

// The level nearest `picturePerViewport`; 1 below the first level.
float levelNear(float picturePerViewport) {
    if (!(picturePerViewport >= proxyLevel(kFirstProxyLevel))) return 1.0f;
    int k = kFirstProxyLevel;
    while (k < kLastProxyLevel && proxyLevel(k + 1) <= picturePerViewport * kLevelTolerance) ++k;
    return proxyLevel(k);
}

}  // namespace

float chooseLayerScale(std::int32_t pictureWidth, std::int32_t pictureHeight, const View& view, float current) {
    const std::int64_t pixels = std::int64_t{pictureWidth} * pictureHeight;
    const bool largerThanViewport = pictureWidth > view.width || pictureHeight > view.height;
    if (pixels < kMinimumProxyPicturePixels || !largerThanViewport || !(view.scale > 0.0f)) return 1.0f;
    const float wanted = levelNear(1.0f / view.scale);
    if (wanted < current || current <= 1.0f) return wanted;
    return wanted >= 2.0f * current ? wanted : current;
}

LayerSize layerSizeFor(std::int32_t pictureWidth, std::int32_t pictureHeight, float layerScale) {
    if (layerScale <= 1.0f) return {pictureWidth, pictureHeight};
    LayerSize size;
    size.width = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(pictureWidth / layerScale)));
    size.height = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(pictureHeight / layerScale)));
    return size;
}

FlowGrid flowForLayers(const FlowGrid& flow, LayerSize size) {
    if (size.width == flow.width && size.height == flow.height) return flow;
    FlowGrid layers(size.width, size.height);
    if (flow.empty()) return layers;
    // Each axis scaled on its own, so the proxy covers the picture exactly.
    const float scaleX = static_cast<float>(flow.width) / static_cast<float>(size.width);
    const float scaleY = static_cast<float>(flow.height) / static_cast<float>(size.height);
    for (std::int32_t y = 0; y < size.height; ++y) {
        // Layer texel centres in picture pixel positions (pixel i at i).
        const float py = std::clamp((y + 0.5f) * scaleY - 0.5f, 0.0f, static_cast<float>(flow.height - 1));
        const std::int32_t y0 = std::min(static_cast<std::int32_t>(py), flow.height - 2 < 0 ? 0 : flow.height - 2);
        const std::int32_t y1 = std::min(y0 + 1, flow.height - 1);
        const float fy = py - static_cast<float>(y0);
        for (std::int32_t x = 0; x < size.width; ++x) {
            const float px = std::clamp((x + 0.5f) * scaleX - 0.5f, 0.0f, static_cast<float>(flow.width - 1));
            const std::int32_t x0 = std::min(static_cast<std::int32_t>(px), flow.width - 2 < 0 ? 0 : flow.width - 2);
            const std::int32_t x1 = std::min(x0 + 1, flow.width - 1);
            const float fx = px - static_cast<float>(x0);
            const Vec2 a = flow.at(x0, y0), b = flow.at(x1, y0), c = flow.at(x0, y1), d = flow.at(x1, y1);
            const float vx = (a.x * (1 - fx) + b.x * fx) * (1 - fy) + (c.x * (1 - fx) + d.x * fx) * fy;
            const float vy = (a.y * (1 - fx) + b.y * fx) * (1 - fy) + (c.y * (1 - fx) + d.y * fx) * fy;
            layers.at(x, y) = Vec2{vx / scaleX, vy / scaleY};
        }
    }
    return layers;
}
