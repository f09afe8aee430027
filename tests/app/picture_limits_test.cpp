#include "app/picture_limits.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PictureLimits, APictureIsRefusedBeyondTheSideLimitOrTheMemoryWithItsSizeInTheReason) {
    PictureLimits limits;
    limits.largestSide = 16384;
    limits.sideOwner = "this GPU";
    limits.availableBytes = std::uint64_t{4} << 30;  // 4 GiB
    struct Case {
        std::int32_t width, height;
        PictureUse use;
        const char* reason;  // empty: accepted
    };
    const Case cases[] = {
        {16384, 3, PictureUse::animated, ""},
        {3, 16384, PictureUse::animated, ""},
        {16385, 3, PictureUse::animated, "16385 x 3 pixels, larger than the 16384 x 16384 this GPU takes"},
        {3, 16385, PictureUse::overlay, "3 x 16385 pixels, larger than the 16384 x 16384 this GPU takes"},
        // 85 bytes a pixel for the animated picture, 12 for the overlay.
        {8192, 8192, PictureUse::animated,
         "8192 x 8192 pixels, which needs 5.3 GiB of memory; 3.5 GiB of the 4.0 GiB available can be spared"},
        // An eighth of what is available stays free: 3.8 GiB is refused
        // although 4 GiB are available, 3.2 GiB is taken.
        {6912, 6912, PictureUse::animated,
         "6912 x 6912 pixels, which needs 3.8 GiB of memory; 3.5 GiB of the 4.0 GiB available can be spared"},
        {6400, 6400, PictureUse::animated, ""},
        {8192, 8192, PictureUse::overlay, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(pictureSizeProblem(c.width, c.height, c.use, limits), c.reason);
    }
    // Unknown memory is not held against a picture.
    limits.availableBytes = 0;
    EXPECT_EQ(pictureSizeProblem(16384, 16384, PictureUse::animated, limits), "");
}

TEST(PictureLimits, BeforeTheGpuIsKnownOnlyWhatNoGpuTakesIsRefusedBySide) {
    const PictureLimits limits = limitsBeforeGpu();
    EXPECT_EQ(limits.largestSide, 32768);
    EXPECT_EQ(limits.gpuTakesPicture, nullptr);
    EXPECT_NE(pictureSizeProblem(32769, 3, PictureUse::overlay, limits).find("any GPU"), std::string::npos);
    EXPECT_EQ(pictureSizeProblem(1920, 1080, PictureUse::animated, limits), "");
}

}  // namespace
