#pragma once
// Pictures made up for tests.

#include <cstdint>

#include "flow/grid.h"

// A picture whose every pixel is a function of its position.
template <typename F>
ImageGrid makePicture(int width, int height, F colourAt) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.at(x, y) = colourAt(x, y);
    return picture;
}

// A picture whose neighbouring pixels all differ in every channel, so a
// sample that lands one texel off shows.
inline ImageGrid makeTestPicture(std::int32_t width, std::int32_t height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 37 + y * 11), static_cast<std::uint8_t>(y * 53 + x * 5),
                     static_cast<std::uint8_t>((x * y * 29) ^ 0x5a), static_cast<std::uint8_t>(255 - x * 3)};
    });
}
