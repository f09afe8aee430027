// What the program shows, read back from offscreen grabs.
//
// The preview particles are white and drawn over the picture, so these
// tests use pictures without blue: a grabbed pixel with blue in it is under
// a particle and is left out of comparisons with the picture.

#include <gtest/gtest.h>

#include <cstdlib>

#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

Rgba8 pixel(const ImageGrid& grid, int x, int y) { return grid.at(x, y); }

bool sameColour(Rgba8 a, Rgba8 b) {
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
}

// A picture without blue whose every pixel differs from its neighbours, so a
// flip, a shift or a scale shows.
ImageGrid patternPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF), static_cast<std::uint8_t>((y * 5) & 0xFF),
                     0, 255};
    });
}

struct Comparison {
    int compared = 0;   // pixels not under a particle
    int differing = 0;  // of those, how many differ from the expectation
};

template <typename Expected>
Comparison compareAwayFromParticles(const ImageGrid& grab, Expected expectedAt) {
    Comparison result;
    for (int y = 0; y < grab.height; ++y) {
        for (int x = 0; x < grab.width; ++x) {
            const Rgba8 seen = pixel(grab, x, y);
            if (seen.b != 0) continue;
            ++result.compared;
            if (!sameColour(seen, expectedAt(x, y))) ++result.differing;
        }
    }
    return result;
}

TEST(Composition, FittedViewShowsThePicturePixelForPixelAndUpright) {
    Scene scene("pixel-for-pixel");
    // Large enough that the particles leave most pixels uncovered.
    const ImageGrid picture = patternPicture(480, 320);
    scene.writePicture(pictureFileName, picture);
    const ProgramRun run = scene.run(480, 320, 5);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ImageGrid grab = scene.grab(4);
    ASSERT_EQ(grab.width, 480);
    ASSERT_EQ(grab.height, 320);
    const Comparison c = compareAwayFromParticles(grab, [&](int x, int y) { return pixel(picture, x, y); });
    EXPECT_GT(c.compared, 480 * 320 / 2);
    EXPECT_EQ(c.differing, 0);
}

TEST(Composition, OverlayAlphaDecidesWhereAnimationAndParticlesShow) {
    const ImageGrid picture = patternPicture(64, 48);

    Scene opaque("opaque-overlay");
    opaque.writePicture(pictureFileName, picture);
    const Rgba8 leaf{20, 140, 60, 255};
    opaque.writePicture(overlayFileName, makePicture(64, 48, [&](int, int) { return leaf; }));
    ASSERT_EQ(opaque.run(64, 48, 5).exitCode, 0);
    const ImageGrid covered = opaque.grab(4);
    for (int y = 0; y < covered.height; ++y)
        for (int x = 0; x < covered.width; ++x) ASSERT_TRUE(sameColour(pixel(covered, x, y), leaf)) << x << "," << y;

    Scene bare("no-overlay");
    bare.writePicture(pictureFileName, picture);
    Scene clear("clear-overlay");
    clear.writePicture(pictureFileName, picture);
    clear.writePicture(overlayFileName, makePicture(64, 48, [](int, int) { return Rgba8{255, 0, 0, 0}; }));
    ASSERT_EQ(bare.run(64, 48, 5).exitCode, 0);
    ASSERT_EQ(clear.run(64, 48, 5).exitCode, 0);
    const ImageGrid withoutOverlay = bare.grab(4);
    const ImageGrid throughOverlay = clear.grab(4);
    ASSERT_EQ(withoutOverlay.byteCount(), throughOverlay.byteCount());
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_TRUE(sameColour(pixel(withoutOverlay, x, y), pixel(throughOverlay, x, y))) << x << "," << y;
}

TEST(Composition, OverlayOfAnotherSizeIsStretchedOverThePicture) {
    Scene scene("stretched-overlay");
    scene.writePicture(pictureFileName, patternPicture(64, 48));
    const Rgba8 corners[4] = {{200, 0, 0, 255}, {0, 200, 0, 255}, {0, 0, 200, 255}, {200, 200, 0, 255}};
    scene.writePicture(overlayFileName, makePicture(2, 2, [&](int x, int y) { return corners[y * 2 + x]; }));
    ASSERT_EQ(scene.run(64, 48, 5).exitCode, 0);
    const ImageGrid grab = scene.grab(4);
    EXPECT_TRUE(sameColour(pixel(grab, 16, 12), corners[0]));
    EXPECT_TRUE(sameColour(pixel(grab, 48, 12), corners[1]));
    EXPECT_TRUE(sameColour(pixel(grab, 16, 36), corners[2]));
    EXPECT_TRUE(sameColour(pixel(grab, 48, 36), corners[3]));
}

TEST(Composition, BeforeTheFirstFitThePictureOriginSitsAtTheCentreAt256PixelsPerPixel) {
    Scene scene("default-view");
    const ImageGrid picture = patternPicture(4, 4);
    scene.writePicture(pictureFileName, picture);
    ASSERT_EQ(scene.run(512, 512, 1).exitCode, 0);
    const ImageGrid grab = scene.grab(0);
    // The upper-left quarter is the cleared background; the lower-right one
    // is picture pixel (0, 0) alone.
    EXPECT_TRUE(sameColour(pixel(grab, 128, 128), Rgba8{0, 0, 0, 0}));
    EXPECT_TRUE(sameColour(pixel(grab, 384, 128), Rgba8{0, 0, 0, 0}));
    EXPECT_TRUE(sameColour(pixel(grab, 128, 384), Rgba8{0, 0, 0, 0}));
    EXPECT_TRUE(sameColour(pixel(grab, 384, 384), pixel(picture, 0, 0)));
    EXPECT_TRUE(sameColour(pixel(grab, 300, 500), pixel(picture, 0, 0)));
    // The grab is opaque, as the window shows it, letterbox included.
    for (std::int64_t i = 0; i < grab.cellCount(); ++i) ASSERT_EQ(grab.data()[i].a, 255) << "pixel " << i;
}

// Width of the bright run through (x, y) along the row.
int brightRunWidth(const ImageGrid& grab, int x, int y) {
    auto bright = [&](int at) { return at >= 0 && at < grab.width && pixel(grab, at, y).r > 127; };
    if (!bright(x)) return 0;
    int left = x, right = x;
    while (bright(left - 1)) --left;
    while (bright(right + 1)) ++right;
    return right - left + 1;
}

TEST(Composition, ParticlesAreTwelveWindowPixelsAcrossAtEveryZoom) {
    // A black 3 x 3 picture: 500 particles sit on its 9 whole-number
    // positions, far apart in window pixels at these zooms.
    Scene scene("particle-size");
    scene.writePicture(pictureFileName, makePicture(3, 3, [](int, int) { return Rgba8{0, 0, 0, 255}; }));
    ASSERT_EQ(scene.run(1024, 1024, 5).exitCode, 0);
    // Frame 0: scale 256 about (0, 0); position (1, 1) is at window (768, 768).
    EXPECT_NEAR(brightRunWidth(scene.grab(0), 768, 768), 12, 1);
    // Frame 4: fitted, scale 1024 / 3 about (1.5, 1.5); (1, 1) is at 341.33.
    EXPECT_NEAR(brightRunWidth(scene.grab(4), 341, 341), 12, 1);
}

}  // namespace
