// PNG writing: what is written reads back as the very same pixels, alpha
// included, and a picture that cannot be written leaves nothing.

#include "image/png_writing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "image/loading.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// Bytes that vary in every channel and row, so that a row written twice, a
// lost row filter or a swapped channel shows.
ImageGrid patterned(int width, int height) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto at = static_cast<std::uint32_t>(x * 7919 + y * 104729);
            picture.at(x, y) = Rgba8{static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(at >> 3),
                                     static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(255 - (at >> 5))};
        }
    }
    return picture;
}

TEST(PngWriting, PicturesReadBackPixelForPixel) {
    ScratchFolder scratch("stillflow-png-writing");
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 1}, {5, 3}, {3, 300}, {640, 7}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        const ImageGrid picture = patterned(size.width, size.height);
        const std::string path = scratch.file("picture.png");
        ASSERT_TRUE(writePng(path.c_str(), picture));
        const ImageGrid read = loadImage(path.c_str());
        ASSERT_EQ(read.width, size.width);
        ASSERT_EQ(read.height, size.height);
        EXPECT_EQ(0, std::memcmp(read.data(), picture.data(), sizeof(Rgba8) * size.width * size.height));
    }
}

TEST(PngWriting, WhatCannotBeWrittenLeavesNothing) {
    ScratchFolder scratch("stillflow-png-writing");
    EXPECT_FALSE(writePng(scratch.file("empty.png").c_str(), ImageGrid()));
    EXPECT_FALSE(writePng((scratch.path() / "missing" / "picture.png").string().c_str(), patterned(4, 4)));
    EXPECT_TRUE(fs::is_empty(scratch.path()));
}

}  // namespace
