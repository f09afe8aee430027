// The guides' marks on screen: an arrow a guide, a ring a pin, sizes fixed
// in viewport pixels, and the targets of the next click by the editing's
// own reach.

#include "edit/guide_marks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "edit/tools.h"

namespace {

float distance(Vec2 a, Vec2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

class GuideMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.scale = 2.0f;  // one viewport pixel is half a picture unit
        guideSegments = {{10, 10, 50, 10}, {100, 100, 100, 100}};
    }
    void TearDown() override { guideSegments.clear(); }
    View view;
};

TEST_F(GuideMarksTest, AGuideIsAnArrowToItsSecondEndpointAndAPinIsARing) {
    const GuideMarks marks = buildGuideMarks(view, Vec2{-500, -500}, true);
    EXPECT_TRUE(marks.deleteTarget.empty());
    EXPECT_TRUE(marks.grabTarget.empty());
    // Shaft, two head strokes, then the pin's ring.
    ASSERT_EQ(marks.guides.size(), 2u * (3 + guideRingSegments));
    EXPECT_EQ(marks.guides[0].x, 10.0f);
    EXPECT_EQ(marks.guides[1].x, 50.0f);
    for (int stroke = 1; stroke <= 2; ++stroke) {
        const Vec2 tip = marks.guides[2 * stroke];
        const Vec2 end = marks.guides[2 * stroke + 1];
        EXPECT_EQ(tip.x, 50.0f);
        EXPECT_NEAR(distance(tip, end), guideArrowHeadPixels / view.scale, 1e-4);
        EXPECT_LT(end.x, 50.0f) << "the head points along the guide";
    }
    EXPECT_NE(marks.guides[3].y, marks.guides[5].y) << "one stroke either side";
    for (std::size_t i = 6; i < marks.guides.size(); ++i) {
        EXPECT_NEAR(distance(marks.guides[i], Vec2{100, 100}), guidePinRingPixels / view.scale, 1e-4);
    }
}

TEST_F(GuideMarksTest, TheTargetsAreWhatTheNextClickWouldHit) {
    struct Case {
        float cursorOffsetPixels;  // from the endpoint (50, 10), along x
        bool showTargets;
        bool grab, remove;
    };
    const Case cases[] = {
        {0, true, true, true},    {14, true, true, true},  // the grab radius is included
        {20, true, false, true},  {31, true, false, true},
        {32, true, false, false}, {0, false, false, false},
    };
    for (const Case& c : cases) {
        const Vec2 cursor{50 + c.cursorOffsetPixels / view.scale, 10};
        const GuideMarks marks = buildGuideMarks(view, cursor, c.showTargets);
        EXPECT_EQ(!marks.grabTarget.empty(), c.grab) << c.cursorOffsetPixels;
        EXPECT_EQ(!marks.deleteTarget.empty(), c.remove) << c.cursorOffsetPixels;
        if (c.grab) {
            EXPECT_NEAR(distance(marks.grabTarget[0], Vec2{50, 10}), grabRingPixels / view.scale, 1e-4);
        }
        if (c.remove) {
            EXPECT_EQ(marks.deleteTarget[0].x, 10.0f) << "the whole guide";
            EXPECT_EQ(marks.deleteTarget[1].x, 50.0f);
        }
    }
}

TEST_F(GuideMarksTest, AShortGuidesHeadIsAtMostHalfItsLength) {
    guideSegments = {{0, 0, 2, 0}};
    const GuideMarks marks = buildGuideMarks(view, Vec2{}, false);
    ASSERT_EQ(marks.guides.size(), 6u);
    EXPECT_NEAR(distance(marks.guides[2], marks.guides[3]), 1.0f, 1e-5);
}

}  // namespace
