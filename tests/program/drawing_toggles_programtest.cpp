// G, P, M and F in the real program, offscreen: each changes only what is
// drawn, and only where its marks are (the guides, the particles, the
// mask); toggled back, the frames are those of a run that never pressed
// them, and the printed lines are the same throughout.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

// The widget has the picture's size, so from the fit in frame 3 on window
// and picture pixels coincide. The picture has no blue: a grabbed pixel
// with blue in it lies under a particle (or the mask tint).
constexpr int width = 160;
constexpr int height = 96;

// A guide from (40, 48) to (80, 48), then a mask stroke from (110, 30) to
// (140, 30); the cursor stays at the stroke's end, far from every endpoint.
const std::string edits =
    "4 move 40 48\n5 press left\n6 move 60 48\n7 move 80 48\n8 release left\n"
    "10 keydown X\n11 move 110 30\n12 press left\n13 move 125 30\n14 move 140 30\n15 release left\n16 keyup X\n";

struct Box {
    int x0, y0, x1, y1;  // inclusive
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

bool samePixel(const Rgba8& a, const Rgba8& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

TEST(DrawingToggles, GPMAndFChangeOnlyTheDrawingAndOnlyWhereTheirMarksAre) {
    Scene baselineScene("toggles-baseline");
    // Fine detail, so that the picture filters read it differently between
    // texels (a smooth ramp looks the same through both).
    const ImageGrid picture = makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>((x * 97 + y * 31) & 0xff), static_cast<std::uint8_t>((x * y * 13) & 0xff),
                     0, 255};
    });
    baselineScene.writePicture(pictureFileName, picture);
    baselineScene.writeScript(edits);
    const ProgramRun baseline = baselineScene.run(width, height, 40);
    ASSERT_EQ(baseline.exitCode, 0) << baseline.err;

    struct Case {
        const char* key;
        Box marks;              // where the toggled drawing may differ
        bool onlyOverParticles; // differences only where the baseline shows a particle
    };
    const Case cases[] = {
        {"g", {40 - 8, 48 - 8, 80 + 8, 48 + 8}, false},
        {"P", {0, 0, width - 1, height - 1}, true},
        {"m", {110 - 14, 30 - 14, 140 + 14, 30 + 14}, false},
        {"F", {0, 0, width - 1, height - 1}, false},  // the export's filter, wherever the picture moves
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Scene scene(std::string("toggles-") + c.key);
        scene.writePicture(pictureFileName, picture);
        const std::string key(c.key);
        scene.writeScript(edits + "20 keydown " + key + "\n21 keyup " + key + "\n30 keydown " + key + "\n31 keyup " +
                          key + "\n");
        const ProgramRun run = scene.run(width, height, 40);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, baseline.out);
        EXPECT_EQ(run.err, baseline.err);

        // While on (frame 25): some pixels differ, all of them where the marks are.
        const ImageGrid on = scene.grab(25);
        const ImageGrid reference = baselineScene.grab(25);
        ASSERT_FALSE(on.empty());
        int differing = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (samePixel(on.at(x, y), reference.at(x, y))) continue;
                ++differing;
                EXPECT_TRUE(c.marks.contains(x, y)) << "changed at " << x << "," << y;
                if (c.onlyOverParticles) {
                    EXPECT_GT(reference.at(x, y).b, 0) << "changed at " << x << "," << y;
                }
            }
        EXPECT_GT(differing, 20);

        // Toggled off again: the very frames of the baseline.
        for (const int frame : {19, 35, 39}) {
            const ImageGrid off = scene.grab(frame);
            const ImageGrid expected = baselineScene.grab(frame);
            ASSERT_EQ(off.byteCount(), expected.byteCount());
            EXPECT_EQ(0, std::memcmp(off.data(), expected.data(), off.byteCount())) << "frame " << frame;
        }
    }
}

}  // namespace
