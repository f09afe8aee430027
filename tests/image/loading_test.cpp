#include "image/loading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <stb_image.h>
#include <stb_image_write.h>

#include "support/picture_headers.h"
#include "support/scratch_folder.h"

namespace {

class ImageLoadingTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"stillflow-image-test"};

    // A PNG of the given channel count whose bytes count up from `first`.
    std::string writePng(const std::string& name, int width, int height, int channels, std::uint8_t first = 10) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * channels));
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(first + i);
        const std::string path = scratch_.file(name);
        EXPECT_NE(0, stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels));
        return path;
    }
};

TEST_F(ImageLoadingTest, ChannelsExpandToRgbaInRowMajorOrder) {
    struct Case {
        int channels;
        // Expected R, G, B, A of the pixel at index i, for bytes counting up from 10.
        Rgba8 (*expected)(int i);
    };
    const Case cases[] = {
        {1, [](int i) { auto v = std::uint8_t(10 + i); return Rgba8{v, v, v, 255}; }},
        {2, [](int i) { auto v = std::uint8_t(10 + 2 * i); return Rgba8{v, v, v, std::uint8_t(v + 1)}; }},
        {3, [](int i) { auto v = std::uint8_t(10 + 3 * i); return Rgba8{v, std::uint8_t(v + 1), std::uint8_t(v + 2), 255}; }},
        {4, [](int i) { auto v = std::uint8_t(10 + 4 * i); return Rgba8{v, std::uint8_t(v + 1), std::uint8_t(v + 2), std::uint8_t(v + 3)}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        const ImageGrid picture = loadImage(writePng("c" + std::to_string(c.channels) + ".png", 5, 3, c.channels).c_str());
        ASSERT_EQ(picture.width, 5);
        ASSERT_EQ(picture.height, 3);
        for (int i = 0; i < 15; ++i) {
            const Rgba8 got = picture.data()[i];
            const Rgba8 want = c.expected(i);
            EXPECT_EQ(got.r, want.r) << i;
            EXPECT_EQ(got.g, want.g) << i;
            EXPECT_EQ(got.b, want.b) << i;
            EXPECT_EQ(got.a, want.a) << i;
        }
    }
}

TEST_F(ImageLoadingTest, SixteenBitPnmFilesLoadAsTheDecoderReadsTheirOwnChannels) {
    // Asked for four channels, the decoder garbles 16-bit PNM samples (and
    // reads past its buffer); asked for the file's own channels it does not.
    // The picture must hold that reading, widened to RGBA.
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"grey16.pgm", {'P', '5', '\n', '3', ' ', '2', '\n', '6', '5', '5', '3', '5', '\n',
                        0x12, 0x34, 0xab, 0xcd, 0x00, 0xff, 0xff, 0x00, 0x80, 0x7f, 0x01, 0x02}},
        {"colour16.ppm", {'P', '6', '\n', '2', ' ', '1', '\n', '6', '5', '5', '3', '5', '\n',
                          0x10, 0x11, 0x20, 0x21, 0x30, 0x31, 0x40, 0x41, 0x50, 0x51, 0x60, 0x61}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int width = 0, height = 0, channels = 0;
        stbi_uc* reference = stbi_load_from_memory(c.bytes.data(), static_cast<int>(c.bytes.size()), &width,
                                                   &height, &channels, 0);
        ASSERT_NE(reference, nullptr);
        const ImageGrid picture = loadImage(scratch_.writeFile(c.name, c.bytes).c_str());
        ASSERT_EQ(picture.width, width);
        ASSERT_EQ(picture.height, height);
        for (int i = 0; i < width * height; ++i) {
            const stbi_uc* in = reference + i * channels;
            const Rgba8 p = picture.data()[i];
            EXPECT_EQ(p.r, in[0]) << i;
            EXPECT_EQ(p.g, in[channels == 1 ? 0 : 1]) << i;
            EXPECT_EQ(p.b, in[channels == 1 ? 0 : 2]) << i;
            EXPECT_EQ(p.a, 255) << i;
        }
        stbi_image_free(reference);
    }
}

TEST_F(ImageLoadingTest, AOnePixelPictureLoads) {
    const ImageGrid picture = loadImage(writePng("one.png", 1, 1, 4, 200).c_str());
    ASSERT_EQ(picture.width, 1);
    ASSERT_EQ(picture.height, 1);
    EXPECT_EQ(picture.at(0, 0).r, 200);
    EXPECT_EQ(picture.at(0, 0).a, 203);
}

TEST_F(ImageLoadingTest, ADestinationOfTheSameSizeKeepsItsStorageAnotherSizeIsReplaced) {
    ImageGrid destination(6, 4);
    const Rgba8* storage = destination.data();
    ASSERT_TRUE(loadImageInto(writePng("same.png", 6, 4, 3).c_str(), &destination));
    EXPECT_EQ(destination.data(), storage);
    EXPECT_EQ(destination.at(5, 3).r, static_cast<std::uint8_t>(10 + 3 * 23));

    ASSERT_TRUE(loadImageInto(writePng("other.png", 2, 9, 4).c_str(), &destination));
    EXPECT_EQ(destination.width, 2);
    EXPECT_EQ(destination.height, 9);
    EXPECT_EQ(destination.at(1, 8).a, static_cast<std::uint8_t>(10 + 4 * 17 + 3));

    EXPECT_TRUE(loadImageInto(writePng("none.png", 3, 3, 1).c_str(), nullptr));
}

TEST_F(ImageLoadingTest, UnreadablePicturesFailSilentlyAndLeaveTheDestination) {
    const std::vector<std::uint8_t> pngSignatureOnly = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const std::string paths[] = {
        scratch_.file("missing.png"),
        scratch_.path().string(),
        scratch_.writeFile("empty.png", std::vector<std::uint8_t>{}),
        scratch_.writeFile("junk.png", std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}),
        scratch_.writeFile("cut.png", pngSignatureOnly),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const ImageGrid picture = loadImage(path.c_str());
        ImageGrid destination(3, 3);
        destination.at(1, 1) = Rgba8{1, 2, 3, 4};
        const bool loaded = loadImageInto(path.c_str(), &destination);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(picture.empty());
        EXPECT_EQ(picture.width, 0);
        EXPECT_EQ(picture.height, 0);
        EXPECT_FALSE(loaded);
        EXPECT_EQ(destination.width, 3);
        EXPECT_EQ(destination.at(1, 1).b, 3);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");
    }
    EXPECT_TRUE(loadImage(nullptr).empty());
}

TEST_F(ImageLoadingTest, TheDeclaredSizeIsReadFromTheHeaderWithoutDecoding) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    ASSERT_TRUE(readPictureSize(writePng("small.png", 5, 3, 3).c_str(), &width, &height));
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);

    // A header without pixels still tells its size; decoding it fails.
    const std::string header = pngHeaderOnly(40000, 4);
    const std::string path = scratch_.writeFile("header-only.png", std::vector<std::uint8_t>(header.begin(), header.end()));
    ASSERT_TRUE(readPictureSize(path.c_str(), &width, &height));
    EXPECT_EQ(width, 40000);
    EXPECT_EQ(height, 4);
    EXPECT_TRUE(loadImage(path.c_str()).empty());

    // A BMP stored top-down declares a negative height; the size read is the
    // one decoding gives, so that no limit is checked against a negative.
    std::vector<std::uint8_t> bmp(54 + 5 * 24, 0x80);
    auto le32 = [&bmp](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    const std::uint8_t fileHeader[] = {'B', 'M'};
    std::copy(std::begin(fileHeader), std::end(fileHeader), bmp.begin());
    le32(2, static_cast<std::uint32_t>(bmp.size()));
    le32(6, 0);
    le32(10, 54);                                  // pixels follow the two headers
    le32(14, 40);                                  // info header size
    le32(18, 7);                                   // width
    le32(22, static_cast<std::uint32_t>(-5));      // height, top-down
    le32(26, 1 | (24u << 16));                     // one plane, 24 bits a pixel
    for (std::size_t at = 30; at < 54; at += 4) le32(at, 0);  // uncompressed, no palette
    const std::string topDown = scratch_.writeFile("top-down.bmp", bmp);
    ASSERT_TRUE(readPictureSize(topDown.c_str(), &width, &height));
    EXPECT_EQ(width, 7);
    EXPECT_EQ(height, 5);
    const ImageGrid decoded = loadImage(topDown.c_str());
    EXPECT_EQ(decoded.width, 7);
    EXPECT_EQ(decoded.height, 5);

    EXPECT_FALSE(readPictureSize(scratch_.file("missing.png").c_str(), &width, &height));
    EXPECT_FALSE(readPictureSize(scratch_.writeFile("junk.png", std::vector<std::uint8_t>{'n', 'o'}).c_str(), &width, &height));
    EXPECT_FALSE(readPictureSize(nullptr, &width, &height));
}

}  // namespace
