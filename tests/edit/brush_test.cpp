#include "edit/brush.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "support/input_frame.h"
#include "edit/tools.h"
#include "flow/guides.h"

namespace {

ByteMask filledMask(std::int32_t width, std::int32_t height, std::uint8_t value) {
    ByteMask mask(width, height);
    std::memset(mask.data(), value, mask.byteCount());
    return mask;
}

bool sameCells(const ByteMask& a, const ByteMask& b) {
    return a.width == b.width && a.height == b.height &&
           std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

// The bounding box of the cells that differ from before: {x0, y0, x1, y1},
// or x0 > x1 when none does.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
};
Box changedBox(const ByteMask& before, const ByteMask& after) {
    Box box;
    for (int y = 0; y < after.height; ++y) {
        for (int x = 0; x < after.width; ++x) {
            if (before.at(x, y) == after.at(x, y)) continue;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

TEST(BrushStamp, SoftFalloffMatchesTheReferenceValues) {
    struct Case {
        std::uint8_t value, background;
        std::uint8_t expected[6];  // at distances 0, 3, 5, 7, 10, 12 along a row
    };
    const Case cases[] = {
        {255, 0, {255, 254, 188, 84, 9, 1}},
        {0, 200, {0, 0, 52, 133, 192, 198}},
    };
    const int distances[6] = {0, 3, 5, 7, 10, 12};
    for (const Case& c : cases) {
        ByteMask mask = filledMask(41, 41, c.background);
        stampBrush(Vec2{20, 20}, c.value, kDefaultBrushRadius, mask);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(mask.at(20 + distances[i], 20), c.expected[i]) << "value " << int(c.value) << " d " << distances[i];
            EXPECT_EQ(mask.at(20, 20 - distances[i]), c.expected[i]) << "value " << int(c.value) << " d " << distances[i];
        }
    }
}

TEST(BrushStamp, BoxSpansThreeRadiiAndTruncationReachesItsCorners) {
    struct Case {
        Vec2 centre;
        int columns, rows;
    };
    const Case cases[] = {
        {{20, 20}, 25, 25},
        {{20.5f, 20}, 26, 25},  // a fractional centre reaches one cell further
        {{20, 20.25f}, 25, 26},
        {{20.5f, 20.5f}, 26, 26},
    };
    for (const Case& c : cases) {
        // Clearing lowers every non-zero cell of the box by at least one.
        const ByteMask before = filledMask(50, 50, 200);
        ByteMask after = before;
        stampBrush(c.centre, 0, kDefaultBrushRadius, after);
        const Box box = changedBox(before, after);
        EXPECT_EQ(box.width(), c.columns) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(box.height(), c.rows) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(box.width() * box.height(), [&] {
            int n = 0;
            for (int i = 0; i < 50 * 50; ++i) n += after.data()[i] < 200;
            return n;
        }());
    }
    // Painting leaves a 200 in the box's corners: its weight is a few millionths.
    ByteMask mask = filledMask(50, 50, 200);
    stampBrush(Vec2{20, 20}, 255, kDefaultBrushRadius, mask);
    EXPECT_EQ(mask.at(8, 8), 200);
    EXPECT_EQ(mask.at(32, 32), 200);
    EXPECT_EQ(mask.at(20, 20), 255);
}

TEST(BrushStamp, StampsAreClippedToTheMask) {
    struct Case {
        Vec2 centre;
        Box expected;
    };
    const Case cases[] = {
        {{-5, 3}, {0, 0, 7, 15}},
        {{28, 29}, {16, 17, 29, 29}},
        {{-12, 5}, {0, 0, 0, 17}},        // the box's last column is the mask's first
        {{-13, 5}, {}},                   // wholly outside
        {{100, 100}, {}},
        {{-1e30f, 5}, {}},                // far beyond any integer
        {{std::numeric_limits<float>::quiet_NaN(), 5}, {}},
        {{5, std::numeric_limits<float>::infinity()}, {}},
    };
    for (const Case& c : cases) {
        const ByteMask before = filledMask(30, 30, 200);
        ByteMask after = before;
        stampBrush(c.centre, 0, kDefaultBrushRadius, after);
        const Box box = changedBox(before, after);
        EXPECT_EQ(box.x0, c.expected.x0) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(box.y0, c.expected.y0) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(box.x1, c.expected.x1) << c.centre.x << "," << c.centre.y;
        EXPECT_EQ(box.y1, c.expected.y1) << c.centre.x << "," << c.centre.y;
    }
    ByteMask empty;
    stampBrush(Vec2{0, 0}, 255, kDefaultBrushRadius, empty);
    EXPECT_TRUE(empty.empty());
}

class BrushStroke : public ::testing::Test {
protected:
    void SetUp() override {
        guideSegments.clear();
        InputFrame().apply();
    }
    void TearDown() override {
        guideSegments.clear();
        ToolMode = toolNone;
        InputFrame().apply();
    }

    // One frame of the interaction stages in the frame loop's order.
    void frame(const InputFrame& input, Vec2 cursor, ByteMask& target) {
        input.apply();
        updateToolMode();
        updateGuideEditing(cursor, view, flowDirty, history);
        updateMaskBrush(cursor, radius, target, history);
    }

    float radius = kDefaultBrushRadius;
    View view;
    bool flowDirty = false;
    EditHistory history;
};

TEST_F(BrushStroke, StampsFallEveryFourUnitsAlongThePath) {
    ByteMask mask = filledMask(100, 40, 200);
    ByteMask expected = mask;
    ToolMode = toolClearMask;

    frame(InputFrame().press(MouseButton::Left).key(Key::C), Vec2{10, 20}, mask);
    stampBrush(Vec2{10, 20}, 0, kDefaultBrushRadius, expected);
    EXPECT_TRUE(sameCells(mask, expected));

    // Holding still lays nothing more.
    frame(InputFrame().hold(MouseButton::Left).key(Key::C), Vec2{10, 20}, mask);
    frame(InputFrame().hold(MouseButton::Left).key(Key::C), Vec2{11.5f, 20}, mask);
    EXPECT_TRUE(sameCells(mask, expected));

    // A 40-unit jump: ten stamps, at 14, 18, ..., 50.
    frame(InputFrame().hold(MouseButton::Left).key(Key::C), Vec2{50, 20}, mask);
    for (int i = 1; i <= 10; ++i) stampBrush(Vec2{10.0f + 4.0f * i, 20}, 0, kDefaultBrushRadius, expected);
    EXPECT_TRUE(sameCells(mask, expected));

    // The next frame goes on from the last stamp, not from the cursor: 57 is
    // 7 past it, so stamps at 54 and, 3 still being more than half a step,
    // at 58, one beyond the cursor.
    frame(InputFrame().hold(MouseButton::Left).key(Key::C), Vec2{57, 20}, mask);
    stampBrush(Vec2{54, 20}, 0, kDefaultBrushRadius, expected);
    stampBrush(Vec2{58, 20}, 0, kDefaultBrushRadius, expected);
    EXPECT_TRUE(sameCells(mask, expected));

    frame(InputFrame().release(MouseButton::Left).key(Key::C), Vec2{57, 20}, mask);
    EXPECT_TRUE(sameCells(mask, expected));
    EXPECT_FALSE(flowDirty);  // the mask is not part of the flow
    EXPECT_TRUE(guideSegments.empty());
}

// A stroke of radius r lays its stamps r apart and stops within r / 2 of the
// cursor: 4 and 2 at the default radius, as above.
TEST_F(BrushStroke, StampSpacingFollowsTheRadius) {
    for (float r : {1.0f, 16.0f, 50.0f}) {
        SCOPED_TRACE(r);
        radius = r;
        const float x0 = 4 * r;
        const float y = 4 * r;
        ByteMask mask(static_cast<std::int32_t>(20 * r), static_cast<std::int32_t>(8 * r));
        ByteMask expected = mask;
        ToolMode = toolPaintMask;
        frame(InputFrame().press(MouseButton::Left).key(Key::X), Vec2{x0, y}, mask);
        // Ten radii and a quarter: ten stamps, the quarter left over.
        frame(InputFrame().hold(MouseButton::Left).key(Key::X), Vec2{x0 + 10.25f * r, y}, mask);
        for (int i = 0; i <= 10; ++i) stampBrush(Vec2{x0 + static_cast<float>(i) * r, y}, 255, r, expected);
        EXPECT_TRUE(sameCells(mask, expected));
        // Three quarters past the last stamp: one more, beyond the cursor.
        frame(InputFrame().hold(MouseButton::Left).key(Key::X), Vec2{x0 + 10.75f * r, y}, mask);
        stampBrush(Vec2{x0 + 11 * r, y}, 255, r, expected);
        EXPECT_TRUE(sameCells(mask, expected));
        frame(InputFrame().release(MouseButton::Left).key(Key::X), Vec2{x0 + 10.75f * r, y}, mask);
    }
}

TEST(BrushRadius, HalvingAndDoublingStayWithinOneTo1024) {
    struct Case {
        float radius;
        RadiusStep step;
        float expected;
    };
    const Case cases[] = {
        {4, RadiusStep::Halve, 2},       {2, RadiusStep::Halve, 1},      {1, RadiusStep::Halve, 1},
        {1.5f, RadiusStep::Halve, 1},    {4, RadiusStep::Double, 8},     {512, RadiusStep::Double, 1024},
        {1024, RadiusStep::Double, 1024}, {640, RadiusStep::Double, 1024}, {5, RadiusStep::Double, 10},
        {1024, RadiusStep::Halve, 512},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(steppedBrushRadius(c.radius, c.step), c.expected)
            << c.radius << (c.step == RadiusStep::Halve ? " halved" : " doubled");
    }
}

TEST_F(BrushStroke, DiagonalStrokeStepsAlongTheLine) {
    ByteMask mask(60, 60);
    ByteMask expected = mask;
    ToolMode = toolPaintMask;
    frame(InputFrame().press(MouseButton::Left).key(Key::X), Vec2{10, 10}, mask);
    frame(InputFrame().hold(MouseButton::Left).key(Key::X), Vec2{22, 26}, mask);  // 20 away
    stampBrush(Vec2{10, 10}, 255, kDefaultBrushRadius, expected);
    for (int i = 1; i <= 5; ++i) stampBrush(Vec2{10.0f + 2.4f * i, 10.0f + 3.2f * i}, 255, kDefaultBrushRadius, expected);
    EXPECT_TRUE(sameCells(mask, expected));
}

TEST_F(BrushStroke, EachStrokeIsOneUndoStepAndAStrokeThatChangesNothingIsNone) {
    ByteMask mask(120, 40);
    std::vector<ByteMask> states{mask};
    std::vector<GuideSegment> guides;
    // A paint stroke; a clear stroke over part of it whose key is let go
    // before the button (the release is seen in the edit tool); a clear
    // stroke far from both, where nothing is painted; a paint stroke whose
    // box is clipped by the mask's right and bottom edges.
    const struct {
        Key key;
        Vec2 from, to;
        bool keyHeldAtRelease;
    } strokes[] = {
        {Key::X, {10, 10}, {50, 20}, true},
        {Key::C, {30, 15}, {60, 15}, false},
        {Key::C, {100, 35}, {104, 35}, true},
        {Key::X, {116, 37}, {119.5f, 39.5f}, true},
    };
    for (const auto& stroke : strokes) {
        frame(InputFrame().key(stroke.key, true), stroke.from, mask);
        frame(InputFrame().press(MouseButton::Left).key(stroke.key), stroke.from, mask);
        frame(InputFrame().hold(MouseButton::Left).key(stroke.key), stroke.to, mask);
        InputFrame release = InputFrame().release(MouseButton::Left);
        if (stroke.keyHeldAtRelease) release.key(stroke.key);
        frame(release, stroke.to, mask);
        frame(InputFrame(), stroke.to, mask);
        if (!sameCells(mask, states.back())) states.push_back(mask);
    }
    ASSERT_EQ(states.size(), 4u);
    ASSERT_EQ(history.steps.size(), 3u);
    EXPECT_GT(mask.at(119, 39), 0) << "the last stroke reaches the corner cell";

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_EQ(undoEdit(history, guides, mask), StepTarget::Mask);
        EXPECT_TRUE(sameCells(mask, states[i - 1])) << i;
    }
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_EQ(redoEdit(history, guides, mask), StepTarget::Mask);
        EXPECT_TRUE(sameCells(mask, states[i])) << i;
    }
    EXPECT_TRUE(guides.empty());
    // A step whose cells are gone (a mask of another size) is refused.
    ByteMask smaller(10, 10);
    EXPECT_EQ(undoEdit(history, guides, smaller), StepTarget::None);
}

TEST_F(BrushStroke, OnlyThePaintAndClearToolsTouchTheMask) {
    for (std::int32_t mode : {toolNone, toolPan, toolEditGuides}) {
        ByteMask mask = filledMask(30, 30, 100);
        const ByteMask before = mask;
        ToolMode = mode;
        InputFrame().press(MouseButton::Left).apply();
        updateMaskBrush(Vec2{15, 15}, kDefaultBrushRadius, mask, history);
        InputFrame().hold(MouseButton::Left).apply();
        updateMaskBrush(Vec2{25, 15}, kDefaultBrushRadius, mask, history);
        EXPECT_TRUE(sameCells(mask, before)) << mode;
    }
}

TEST_F(BrushStroke, StrokeEndsFarFromTheOriginAndOnAnEmptyMask) {
    // Zoomed far out, one frame's cursor motion covers huge picture distances,
    // where a 4-unit step rounds away in float; the stroke must still end.
    ToolMode = toolPaintMask;
    ByteMask mask(20, 20);
    InputFrame().press(MouseButton::Left).apply();
    updateMaskBrush(Vec2{1e8f, 0}, kDefaultBrushRadius, mask, history);
    InputFrame().hold(MouseButton::Left).apply();
    updateMaskBrush(Vec2{1e8f + 64, 0}, kDefaultBrushRadius, mask, history);
    updateMaskBrush(Vec2{1e8f, 1e8f}, kDefaultBrushRadius, mask, history);
    EXPECT_TRUE(sameCells(mask, ByteMask(20, 20)));

    ByteMask empty;
    InputFrame().press(MouseButton::Left).apply();
    updateMaskBrush(Vec2{0, 0}, kDefaultBrushRadius, empty, history);
    InputFrame().hold(MouseButton::Left).apply();
    updateMaskBrush(Vec2{100, 0}, kDefaultBrushRadius, empty, history);
    EXPECT_TRUE(empty.empty());
}

}  // namespace
