#pragma once
// The window's animation at about the resolution it is shown at. When the
// view shows a big picture at half its size or less, the UV layers, the flow
// they are advected through and the displaced picture live at a reduced
// size (a proxy), and only the displace pass reads the picture itself, at
// full resolution, through them. The identity and advect passes see the
// proxy as a picture of its own size: its layers hold positions in proxy
// texels and the flow is resampled to it in proxy texels per second, so the
// shader files of any scene animate it unchanged; the displace pass turns a
// layer's position into picture texels by its "layerScale" (picture texels
// per layer texel), which is 1 when the layers are picture-sized. The video
// export never uses a proxy. Plain arithmetic, no GL.

#include <cstdint>

#include "edit/view.h"
#include "flow/grid.h"

// Pictures with fewer pixels than this are animated at full size in any
// view: they are cheap anyway, and the window shows them as it always did.
constexpr std::int64_t kMinimumProxyPicturePixels = std::int64_t{1} << 21;  // 2 megapixels

// The layer scale (picture texels per layer texel) for the picture shown
// under `view`, given the scale in use now. 1 unless the picture has at
// least kMinimumProxyPicturePixels, is larger than the viewport, and shows
// at half its size or less; then the level of 2, 2.83, 4, 5.66, ... (half
// octaves) nearest the picture pixels per viewport pixel, so that a layer
// texel is never much larger than a viewport pixel (1.19 of one at most).
// Zooming in past the current
// level goes finer at once; zooming out goes coarser only once a whole
// octave is to be gained, so that a zoom back and forth over a level does
// not re-create the layers on every notch.
float chooseLayerScale(std::int32_t pictureWidth, std::int32_t pictureHeight, const View& view, float current);

// The layers' size for a layer scale: the picture's size over the scale,
// rounded, at least 1 x 1.
struct LayerSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};
LayerSize layerSizeFor(std::int32_t pictureWidth, std::int32_t pictureHeight, float layerScale);

// The flow (picture pixels per second, picture-sized) as the advect pass
// needs it for layers of `size`: sampled bilinearly at each layer texel's
// centre and turned into layer texels per second. For picture-sized layers,
// the field itself.
FlowGrid flowForLayers(const FlowGrid& flow, LayerSize size);
