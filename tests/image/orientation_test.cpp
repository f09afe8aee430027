// Photos with an EXIF orientation come out standing as the camera showed
// them, and pictures without one come out as stored.

#include "image/orientation.h"
#include "image/photo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "support/scratch_folder.h"

namespace {

// The quadrant colours of the upright picture, 48 x 32 pixels: red top left,
// green top right, blue bottom left, white bottom right.
constexpr Rgba8 kRed{220, 30, 30, 255};
constexpr Rgba8 kGreen{30, 200, 40, 255};
constexpr Rgba8 kBlue{30, 40, 210, 255};
constexpr Rgba8 kWhite{240, 240, 240, 255};
constexpr int kUprightWidth = 48;
constexpr int kUprightHeight = 32;

// A stored picture of four flat quadrants.
ImageGrid quadrants(int width, int height, Rgba8 topLeft, Rgba8 topRight, Rgba8 bottomLeft, Rgba8 bottomRight) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            picture.at(x, y) = bottom ? (right ? bottomRight : bottomLeft) : (right ? topRight : topLeft);
        }
    }
    return picture;
}

void appendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// An APP1 segment holding EXIF data whose first IFD has one entry, the
// Orientation tag (0x0112, SHORT, count 1), in either byte order.
std::vector<std::uint8_t> exifOrientationSegment(int orientation, bool bigEndian) {
    std::vector<std::uint8_t> tiff;
    auto u16 = [&](unsigned v) {
        if (bigEndian) { tiff.push_back(std::uint8_t(v >> 8)); tiff.push_back(std::uint8_t(v)); }
        else { tiff.push_back(std::uint8_t(v)); tiff.push_back(std::uint8_t(v >> 8)); }
    };
    auto u32 = [&](unsigned v) {
        if (bigEndian) { u16(v >> 16); u16(v & 0xFFFF); }
        else { u16(v & 0xFFFF); u16(v >> 16); }
    };
    tiff.push_back(bigEndian ? 'M' : 'I');
    tiff.push_back(bigEndian ? 'M' : 'I');
    u16(42);
    u32(8);        // the first IFD follows the header
    u16(1);        // one entry
    u16(0x0112);   // Orientation
    u16(3);        // SHORT
    u32(1);        // one value
    u16(static_cast<unsigned>(orientation));
    u16(0);        // padding of the 4-byte value field
    u32(0);        // no next IFD

    const char exifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    const std::size_t length = 2 + sizeof(exifHeader) + tiff.size();
    std::vector<std::uint8_t> segment = {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)};
    segment.insert(segment.end(), exifHeader, exifHeader + sizeof(exifHeader));
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    return segment;
}

// A JPEG of the picture, with an EXIF segment right after its start marker
// when `orientation` is not 0.
std::vector<std::uint8_t> jpegWithOrientation(const ImageGrid& picture, int orientation, bool bigEndian) {
    std::vector<std::uint8_t> jpeg;
    EXPECT_NE(0, stbi_write_jpg_to_func(appendBytes, &jpeg, picture.width, picture.height, 4, picture.data(), 95));
    if (orientation != 0) {
        const std::vector<std::uint8_t> segment = exifOrientationSegment(orientation, bigEndian);
        jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    }
    return jpeg;
}

// JPEG is lossy: flat quadrants come back within a few levels.
bool near(Rgba8 a, Rgba8 b) {
    return std::abs(a.r - b.r) <= 12 && std::abs(a.g - b.g) <= 12 && std::abs(a.b - b.b) <= 12 && a.a == b.a;
}

class PhotoOrientationTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"stillflow-orientation-test"};
};

TEST_F(PhotoOrientationTest, EveryOrientationComesOutUpright) {
    struct Case {
        int orientation;  // 0: no EXIF segment at all
        bool bigEndian;
        // How the camera stored the upright picture: quadrants top left, top
        // right, bottom left, bottom right.
        Rgba8 storedTopLeft, storedTopRight, storedBottomLeft, storedBottomRight;
    };
    const Case cases[] = {
        {0, false, kRed, kGreen, kBlue, kWhite},
        {1, false, kRed, kGreen, kBlue, kWhite},
        {2, false, kGreen, kRed, kWhite, kBlue},
        {3, false, kWhite, kBlue, kGreen, kRed},
        {4, false, kBlue, kWhite, kRed, kGreen},
        {5, false, kRed, kBlue, kGreen, kWhite},
        {6, false, kGreen, kWhite, kRed, kBlue},
        {6, true, kGreen, kWhite, kRed, kBlue},
        {7, false, kWhite, kGreen, kBlue, kRed},
        {8, true, kBlue, kRed, kWhite, kGreen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation) + (c.bigEndian ? " big-endian" : ""));
        const bool sidesSwapped = c.orientation >= 5;
        const ImageGrid stored = quadrants(sidesSwapped ? kUprightHeight : kUprightWidth,
                                           sidesSwapped ? kUprightWidth : kUprightHeight, c.storedTopLeft,
                                           c.storedTopRight, c.storedBottomLeft, c.storedBottomRight);
        const std::string path = scratch_.writeFile("photo.jpg", jpegWithOrientation(stored, c.orientation, c.bigEndian));

        EXPECT_EQ(readExifOrientation(path.c_str()), c.orientation == 0 ? 1 : c.orientation);
        const ImageGrid photo = loadPhoto(path.c_str());
        ASSERT_EQ(photo.width, kUprightWidth);
        ASSERT_EQ(photo.height, kUprightHeight);
        // The middle of each quadrant, away from JPEG's block edges.
        EXPECT_TRUE(near(photo.at(12, 8), kRed));
        EXPECT_TRUE(near(photo.at(36, 8), kGreen));
        EXPECT_TRUE(near(photo.at(12, 24), kBlue));
        EXPECT_TRUE(near(photo.at(36, 24), kWhite));
    }
}

TEST_F(PhotoOrientationTest, TagsOutsideOneToEightAndFilesWithoutExifKeepTheStoredPicture) {
    const ImageGrid stored = quadrants(kUprightWidth, kUprightHeight, kRed, kGreen, kBlue, kWhite);
    const std::string badTag = scratch_.writeFile("bad-tag.jpg", jpegWithOrientation(stored, 9, false));
    EXPECT_EQ(readExifOrientation(badTag.c_str()), 1);
    const std::string png = scratch_.file("photo.png");
    ASSERT_NE(0, stbi_write_png(png.c_str(), stored.width, stored.height, 4, stored.data(), stored.width * 4));
    EXPECT_EQ(readExifOrientation(png.c_str()), 1);
    EXPECT_EQ(readExifOrientation(scratch_.file("missing.jpg").c_str()), 1);
    const ImageGrid photo = loadPhoto(png.c_str());
    ASSERT_EQ(photo.width, kUprightWidth);
    EXPECT_EQ(0, std::memcmp(photo.data(), stored.data(), stored.byteCount()));
}

TEST(OrientImage, TurnsAndMirrorsMoveEachPixelExactly) {
    // 3 x 2 pixels numbered 0..5 in their red channel.
    ImageGrid stored(3, 2);
    for (int i = 0; i < 6; ++i) stored.data()[i] = Rgba8{std::uint8_t(i), 0, 0, 255};
    struct Case {
        int orientation;
        int width;
        std::vector<int> rows;  // the red channels of the result, row-major
    };
    const Case cases[] = {
        {6, 2, {3, 0, 4, 1, 5, 2}},  // a quarter turn clockwise
        {8, 2, {2, 5, 1, 4, 0, 3}},  // a quarter turn anticlockwise
        {3, 3, {5, 4, 3, 2, 1, 0}},  // half a turn
        {2, 3, {2, 1, 0, 5, 4, 3}},  // mirrored left to right
        {4, 3, {3, 4, 5, 0, 1, 2}},  // mirrored top to bottom
        {5, 2, {0, 3, 1, 4, 2, 5}},  // transposed: mirrored about the main diagonal
        {7, 2, {5, 2, 4, 1, 3, 0}},  // transversed: mirrored about the other diagonal
        {0, 3, {0, 1, 2, 3, 4, 5}},  // not an orientation: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const ImageGrid turned = orientImage(stored, c.orientation);
        ASSERT_EQ(turned.width, c.width);
        ASSERT_EQ(turned.cellCount(), 6);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(turned.data()[i].r, c.rows[static_cast<std::size_t>(i)]) << i;
    }
}

}  // namespace
