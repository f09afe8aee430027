#include "image/scaling.h"

#include <algorithm>
#include <cmath>

#include <stb_image_resize.h>

namespace {

constexpr int kRgbaChannels = 4;
constexpr int kAlphaChannel = 3;

}  // namespace

PictureSize fitWithinSide(std::int32_t width, std::int32_t height, std::int32_t maxSide, std::int32_t minimumSide) {
    const std::int32_t longer = std::max(width, height);
    if (maxSide <= 0 || longer <= maxSide) return PictureSize{width, height};
    // In double: the product of two 32-bit sides overflows int.
    const double factor = static_cast<double>(maxSide) / static_cast<double>(longer);
    auto scaled = [&](std::int32_t side) {
        if (side == longer) return maxSide;
        const auto rounded = static_cast<std::int32_t>(std::lround(side * factor));
        return std::max(rounded, std::min(minimumSide, side));
    };
    return PictureSize{scaled(width), scaled(height)};
}

ImageGrid resizeImage(const ImageGrid& picture, PictureSize size) {
    ImageGrid result;
    if (picture.empty() || !result.tryCreate(size.width, size.height) || result.empty()) return ImageGrid();
    // The stride arguments are ints; a row of an ImageGrid is at most
    // INT32_MAX / 4 pixels wide before that overflows, far beyond any GL
    // texture.
    const int ok = stbir_resize_uint8_srgb_edgemode(
        reinterpret_cast<const unsigned char*>(picture.data()), picture.width, picture.height,
        picture.width * kRgbaChannels, reinterpret_cast<unsigned char*>(result.data()), size.width, size.height,
        size.width * kRgbaChannels, kRgbaChannels, kAlphaChannel, 0, STBIR_EDGE_CLAMP);
    if (!ok) return ImageGrid();
    return result;
}
