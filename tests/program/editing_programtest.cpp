// Editing through scripted input into the real program, offscreen. The
// effect is read from the printed "flow dirty" lines and from the grabs.
//
// The picture is a red ramp along x without blue, in a widget of its own
// size, so from frame 3 on (the fit) window and picture pixels coincide, and
// a grabbed pixel with blue in it lies under a white particle. The ramp
// rises by 1 every 2 pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

// Large enough that the 500 particles, 12 window pixels across, leave
// about half of the pixels uncovered.
constexpr int width = 384;
constexpr int height = 192;

ImageGrid rampPicture() {
    return makePicture(width, height, [](int x, int) {
        return Rgba8{static_cast<std::uint8_t>(30 + x / 2), 60, 0, 255};
    });
}

// Median of grab red minus picture red over the columns [x0, x1), leaving
// out pixels under particles. Negative: the picture moved right.
int medianRedChange(const ImageGrid& grab, const ImageGrid& picture, int x0, int x1) {
    std::vector<int> changes;
    for (int y = 4; y < height - 4; ++y)
        for (int x = x0; x < x1; ++x)
            if (grab.at(x, y).b == 0) changes.push_back(grab.at(x, y).r - picture.at(x, y).r);
    if (changes.empty()) return 0;
    std::nth_element(changes.begin(), changes.begin() + changes.size() / 2, changes.end());
    return changes[changes.size() / 2];
}

// Share of pixels away from particles that differ from the picture.
double shareChanged(const ImageGrid& grab, const ImageGrid& picture) {
    int compared = 0, changed = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (grab.at(x, y).b != 0) continue;
            ++compared;
            if (std::abs(grab.at(x, y).r - picture.at(x, y).r) > 1 || std::abs(grab.at(x, y).g - picture.at(x, y).g) > 1)
                ++changed;
        }
    return compared ? static_cast<double>(changed) / compared : 1.0;
}

struct Edited {
    ProgramRun run;
    ImageGrid picture;
};

Edited runScript(Scene& scene, const std::string& script, int frames) {
    Edited e;
    e.picture = rampPicture();
    scene.writePicture(pictureFileName, e.picture);
    scene.writeScript(script);
    e.run = scene.run(width, height, frames);
    return e;
}

TEST(Editing, DragOverEmptySpaceDrawsAGuideThePictureFollowsAfterTheRelease) {
    struct Case {
        const char* name;
        const char* script;
        int x0, x1;     // columns to watch
        bool rightward;
    };
    const Case cases[] = {
        {"right", "5 move 150 96\n6 press left\n8 move 170 96\n10 release left\n", 200, 380, true},
        {"left", "5 move 170 96\n6 press left\n8 move 150 96\n10 release left\n", 4, 180, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("drag-") + c.name);
        const Edited e = runScript(scene, c.script, 70);
        ASSERT_EQ(e.run.exitCode, 0) << e.run.err;
        EXPECT_EQ(e.run.out, "flow dirty 0.166667\n");
        EXPECT_EQ(medianRedChange(scene.grab(9), e.picture, c.x0, c.x1), 0) << "nothing moves during the drag";
        const int change = medianRedChange(scene.grab(69), e.picture, c.x0, c.x1);
        if (c.rightward) EXPECT_LT(change, -5);
        else EXPECT_GT(change, 5);
    }
}

TEST(Editing, DragFromNearAnEndpointMovesIt) {
    Scene scene("move-endpoint");
    // Draw a guide to the right, then drag its second endpoint (2 px away)
    // far to the left: one guide pointing left remains.
    const Edited e = runScript(scene,
                               "5 move 150 96\n6 press left\n8 move 170 96\n10 release left\n"
                               "15 move 172 97\n16 press left\n18 move 130 97\n20 release left\n",
                               100);
    ASSERT_EQ(e.run.exitCode, 0) << e.run.err;
    EXPECT_EQ(e.run.out, "flow dirty 0.166667\nflow dirty 0.333333\n");
    EXPECT_GT(medianRedChange(scene.grab(99), e.picture, 4, 180), 5);
}

TEST(Editing, RightClickNearAnEndpointDeletesItsGuide) {
    Scene scene("delete-guide");
    const Edited e = runScript(scene,
                               "5 move 150 96\n6 press left\n8 move 170 96\n10 release left\n"
                               "20 move 172 102\n21 press right\n22 release right\n",
                               100);
    ASSERT_EQ(e.run.exitCode, 0) << e.run.err;
    EXPECT_EQ(e.run.out, "flow dirty 0.166667\nflow dirty 0.350000\n");
    // With no guide left the flow is zero; once every layer was reset after
    // the deletion the still picture shows again.
    EXPECT_LT(shareChanged(scene.grab(99), e.picture), 0.02);
}

TEST(Editing, ReleasesInTheBrushModesDoNotMarkTheFlowDirty) {
    const char* scripts[] = {
        "5 keydown X\n6 press left\n8 move 40 20\n9 release left\n10 keyup X\n",
        "5 keydown C\n6 press left\n8 move 40 20\n9 release left\n10 keyup C\n",
        // X pressed during a guide drag keeps the drag, and the release is
        // then seen in the brush mode.
        "5 move 150 96\n6 press left\n7 keydown X\n8 move 170 96\n9 release left\n10 keyup X\n",
    };
    int index = 0;
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        Scene scene("brush-release-" + std::to_string(index++));
        const Edited e = runScript(scene, script, 14);
        ASSERT_EQ(e.run.exitCode, 0) << e.run.err;
        EXPECT_EQ(e.run.out, "");
    }
}

TEST(Editing, ViewIsFittedInFrame3AndOnceWhenHomeGoesDown) {
    Scene scene("home");
    const Edited e = runScript(scene,
                               "5 move 192 96\n5 wheel 240\n8 keydown Home\n10 wheel 240\n12 keyup Home\n", 13);
    ASSERT_EQ(e.run.exitCode, 0) << e.run.err;
    EXPECT_GT(shareChanged(scene.grab(2), e.picture), 0.5) << "default view before the fit";
    EXPECT_LT(shareChanged(scene.grab(3), e.picture), 0.02) << "fitted in frame 3";
    EXPECT_GT(shareChanged(scene.grab(6), e.picture), 0.5) << "zoomed in";
    EXPECT_LT(shareChanged(scene.grab(8), e.picture), 0.02) << "Home fits";
    EXPECT_GT(shareChanged(scene.grab(11), e.picture), 0.5) << "held Home does not undo the zoom";
}

}  // namespace
