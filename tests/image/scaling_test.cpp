// Scaling photos down to a size limit.

#include "image/scaling.h"

#include <gtest/gtest.h>

namespace {

TEST(FitWithinSide, LongerSideMeetsTheLimitAndTheAspectRatioHolds) {
    struct Case {
        int width, height, maxSide;
        int wantWidth, wantHeight;
    };
    const Case cases[] = {
        {8000, 6000, 3840, 3840, 2880},    // a 48-megapixel photo
        {6000, 8000, 3840, 2880, 3840},    // the same, upright
        {3840, 2160, 3840, 3840, 2160},    // at the limit: kept
        {1000, 3, 3840, 1000, 3},          // within the limit: kept
        {9000, 5, 900, 900, 3},            // the short side stays at the program's minimum
        {5000, 1000, 0, 5000, 1000},       // no limit
        {1001, 1000, 100, 100, 100},       // 99.9 rounds to 100
        {46341, 46341, 16384, 16384, 16384},  // sides whose product overflows 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " within " +
                     std::to_string(c.maxSide));
        const PictureSize size = fitWithinSide(c.width, c.height, c.maxSide, 3);
        EXPECT_EQ(size.width, c.wantWidth);
        EXPECT_EQ(size.height, c.wantHeight);
    }
}

TEST(ResizeImage, FlatColourStaysFlatAndFineDetailAveragesWithoutRinging) {
    // Alternating black and white columns shrunk 8 times come out grey near
    // their average on every pixel (picking or blending a few source pixels
    // would give black, white or mid-level stripes), with alpha kept opaque.
    ImageGrid stripes(256, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            const std::uint8_t v = x % 2 ? 255 : 0;
            stripes.at(x, y) = Rgba8{v, v, v, 255};
        }
    const ImageGrid small = resizeImage(stripes, PictureSize{32, 8});
    ASSERT_EQ(small.width, 32);
    ASSERT_EQ(small.height, 8);
    double sum = 0.0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) {
            const Rgba8 p = small.at(x, y);
            // Averaged in linear light: half the light is sRGB level 188.
            EXPECT_NEAR(p.r, 188, 16) << x << "," << y;
            EXPECT_EQ(p.r, p.g);
            EXPECT_EQ(p.a, 255);
            sum += p.r;
        }
    EXPECT_NEAR(sum / (32 * 8), 188.0, 3.0);

    // A transparent pixel's colour does not bleed into its opaque neighbours.
    ImageGrid holes(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) holes.at(x, y) = (x + y) % 2 ? Rgba8{0, 0, 0, 0} : Rgba8{200, 100, 50, 255};
    const ImageGrid shrunk = resizeImage(holes, PictureSize{16, 16});
    ASSERT_FALSE(shrunk.empty());
    EXPECT_NEAR(shrunk.at(8, 8).r, 200, 3);
    EXPECT_NEAR(shrunk.at(8, 8).g, 100, 3);
    EXPECT_NEAR(shrunk.at(8, 8).a, 128, 3);
}

}  // namespace
