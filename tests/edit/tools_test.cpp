#include "edit/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <string>
#include <vector>

#include "flow/guides.h"
#include "support/guide_editing.h"
#include "support/input_frame.h"

namespace {

class GuideEditing : public GuideEditingTest {};

TEST(ToolSelection, HeldKeysPickTheToolWithSpaceOverCOverX) {
    struct Case {
        bool x, c, space;
        std::int32_t mode;
    };
    const Case cases[] = {
        {false, false, false, toolEditGuides}, {true, false, false, toolPaintMask},
        {false, true, false, toolClearMask},   {false, false, true, toolPan},
        {true, true, false, toolClearMask},    {true, false, true, toolPan},
        {false, true, true, toolPan},          {true, true, true, toolPan},
    };
    for (const Case& c : cases) {
        // A key counts whether it is held or only went down this frame.
        for (bool heldOnly : {true, false}) {
            InputFrame input;
            auto use = [&](Key key) {
                if (heldOnly) input.key(key);
                else input.tap(key);
            };
            if (c.x) use(Key::X);
            if (c.c) use(Key::C);
            if (c.space) use(Key::Space);
            input.apply();
            ToolMode = toolNone;
            updateToolMode();
            EXPECT_EQ(ToolMode, c.mode) << c.x << c.c << c.space << " held only " << heldOnly;
        }
    }
    ToolMode = toolNone;
    InputFrame().apply();
}

TEST(ToolSelection, ModeIsKeptWhileTheLeftButtonGoesDownOrIsHeld) {
    InputFrame clickedWithinTheFrame = InputFrame().release(MouseButton::Left).key(Key::Space);
    clickedWithinTheFrame.state.buttonDown[guiButtonIndex(MouseButton::Left)] = true;
    for (const InputFrame& input : {clickedWithinTheFrame,
                                    InputFrame().press(MouseButton::Left).key(Key::Space),
                                    InputFrame().hold(MouseButton::Left).key(Key::Space),
                                    InputFrame().hold(MouseButton::Left)}) {
        ToolMode = toolPaintMask;
        input.apply();
        updateToolMode();
        EXPECT_EQ(ToolMode, toolPaintMask);
    }
    // Before the first frame with the button up no tool is chosen at all.
    ToolMode = toolNone;
    InputFrame().hold(MouseButton::Left).apply();
    updateToolMode();
    EXPECT_EQ(ToolMode, toolNone);
    InputFrame().apply();
}

TEST_F(GuideEditing, PickFindsTheNearestEndpointWithTiesToTheEarlierOne) {
    int segment = 7, endpoint = 7;
    float distance = 0;
    pickNearestEndpoint(Vec2{1, 1}, &segment, &endpoint, &distance);
    EXPECT_EQ(segment, -1);
    EXPECT_EQ(endpoint, -1);
    EXPECT_EQ(distance, FLT_MAX);

    guideSegments = {{0, 0, 10, 0}, {10, 10, 20, 0}, {5, 5, 5, 5}};
    struct Case {
        Vec2 point;
        int segment, endpoint;
        float distance;
    };
    const Case cases[] = {
        {{10, 0}, 0, 1, 0.0f},   // exactly on an endpoint
        {{21, 0}, 1, 1, 1.0f},
        {{10, 5}, 0, 1, 5.0f},   // 5 from (10,0), (10,10) and (5,5): earliest wins
        {{5, 5}, 2, 0, 0.0f},    // both endpoints coincide: endpoint 0
        {{-3, -4}, 0, 0, 5.0f},
    };
    for (const Case& c : cases) {
        pickNearestEndpoint(c.point, &segment, &endpoint, &distance);
        EXPECT_EQ(segment, c.segment) << c.point.x << "," << c.point.y;
        EXPECT_EQ(endpoint, c.endpoint) << c.point.x << "," << c.point.y;
        EXPECT_EQ(distance, c.distance) << c.point.x << "," << c.point.y;
    }
    // Outputs not asked for are skipped.
    pickNearestEndpoint(Vec2{21, 0}, nullptr, &endpoint, nullptr);
    EXPECT_EQ(endpoint, 1);
}

TEST_F(GuideEditing, DragOverEmptySpaceDrawsAGuideFromPressToRelease) {
    frame(InputFrame().press(MouseButton::Left), Vec2{3, 4});
    ASSERT_EQ(guideSegments.size(), 1u);
    EXPECT_FALSE(flowDirty);
    frame(InputFrame().hold(MouseButton::Left), Vec2{20, 9});
    frame(InputFrame().hold(MouseButton::Left), Vec2{30, 40});
    EXPECT_FALSE(flowDirty);  // nothing is synthesised during the drag
    frame(InputFrame().release(MouseButton::Left), Vec2{31, 41});
    EXPECT_TRUE(flowDirty);
    EXPECT_TRUE(sameGuides(guideSegments, {{3, 4, 30, 40}}));
}

// A scene holds at most kMostGuides: a press over empty space then draws
// nothing (one line says why), while an endpoint can still be moved, so a
// document with more is never saved.
TEST_F(GuideEditing, AFullSceneTakesNoNewGuideButItsEndpointsStillMove) {
    guideSegments.assign(static_cast<std::size_t>(kMostGuides), GuideSegment{500, 500, 510, 500});
    guideSegments[0] = GuideSegment{0, 0, 10, 0};
    ::testing::internal::CaptureStderr();
    frame(InputFrame().press(MouseButton::Left), Vec2{100, 100});
    frame(InputFrame().hold(MouseButton::Left), Vec2{120, 130});
    frame(InputFrame().release(MouseButton::Left), Vec2{120, 130});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(guideSegments.size(), static_cast<std::size_t>(kMostGuides));
    EXPECT_NE(err.find("the scene holds 4096 guides"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(history.steps.size(), 0u);

    frame(InputFrame().press(MouseButton::Left), Vec2{10, 1});
    frame(InputFrame().hold(MouseButton::Left), Vec2{20, 1});
    frame(InputFrame().release(MouseButton::Left), Vec2{20, 1});
    EXPECT_EQ(guideSegments[0].x1, 20.0f);
    EXPECT_EQ(guideSegments.size(), static_cast<std::size_t>(kMostGuides));
}

TEST_F(GuideEditing, ClickWithoutMotionLeavesAZeroLengthGuideAndMarksTheFlow) {
    frame(InputFrame().press(MouseButton::Left), Vec2{8, 8});
    frame(InputFrame().release(MouseButton::Left), Vec2{8, 8});
    EXPECT_TRUE(sameGuides(guideSegments, {{8, 8, 8, 8}}));
    EXPECT_TRUE(flowDirty);
}

TEST_F(GuideEditing, DraggingAnEndpointKeepsTheCursorOffsetOfThePress) {
    guideSegments = {{0, 0, 10, 0}, {50, 50, 60, 60}};
    frame(InputFrame().press(MouseButton::Left), Vec2{13, 4});  // 5 from (10,0)
    frame(InputFrame().hold(MouseButton::Left), Vec2{23, 14});
    frame(InputFrame().release(MouseButton::Left), Vec2{23, 14});
    EXPECT_TRUE(sameGuides(guideSegments, {{0, 0, 20, 10}, {50, 50, 60, 60}}));
    EXPECT_TRUE(flowDirty);
}

TEST_F(GuideEditing, LeftPressGrabsWithinFourteenPixelsRightClickDeletesWithinThirtyTwo) {
    // Distances in picture units at scale 2: 7 is 14 viewport pixels, 10 is 20, 16 is 32.
    struct Case {
        float distance;
        bool grabs;    // left press takes the endpoint instead of starting a guide
        bool deletes;  // right click erases its guide
    };
    const Case cases[] = {
        {0.0f, true, true}, {7.0f, true, true}, {7.5f, false, true},
        {10.0f, false, true}, {15.5f, false, true}, {16.0f, false, false},
    };
    for (const Case& c : cases) {
        const Vec2 cursor{100.0f + c.distance, 100.0f};

        guideSegments = {{100, 100, 200, 200}};
        flowDirty = false;
        frame(InputFrame().press(MouseButton::Left), cursor);
        frame(InputFrame().release(MouseButton::Left), cursor);
        EXPECT_EQ(guideSegments.size(), c.grabs ? 1u : 2u) << c.distance;

        guideSegments = {{100, 100, 200, 200}};
        flowDirty = false;
        frame(InputFrame().press(MouseButton::Right), cursor);
        EXPECT_EQ(guideSegments.empty(), c.deletes) << c.distance;
        EXPECT_EQ(flowDirty, c.deletes) << c.distance;
        frame(InputFrame().release(MouseButton::Right), cursor);
    }
}

TEST_F(GuideEditing, DeletionKeepsTheOrderOfTheOthers) {
    guideSegments = {{0, 0, 1, 1}, {50, 50, 51, 51}, {100, 100, 101, 101}};
    frame(InputFrame().press(MouseButton::Right), Vec2{52, 52});
    EXPECT_TRUE(sameGuides(guideSegments, {{0, 0, 1, 1}, {100, 100, 101, 101}}));
}

TEST_F(GuideEditing, RightClickDoesNothingDuringALeftDragOrOutsideTheEditTool) {
    guideSegments = {{0, 0, 10, 0}};
    frame(InputFrame().press(MouseButton::Left), Vec2{40, 40});  // starts guide 1
    frame(InputFrame().hold(MouseButton::Left).press(MouseButton::Right), Vec2{10, 1});
    EXPECT_EQ(guideSegments.size(), 2u);
    frame(InputFrame().release(MouseButton::Left).release(MouseButton::Right), Vec2{10, 1});

    for (std::int32_t mode : {toolPan, toolPaintMask, toolClearMask}) {
        guideSegments = {{0, 0, 10, 0}};
        flowDirty = false;
        ToolMode = mode;
        InputFrame().press(MouseButton::Right).apply();
        updateGuideEditing(Vec2{10, 0}, view, flowDirty, history);
        EXPECT_EQ(guideSegments.size(), 1u) << mode;
        EXPECT_FALSE(flowDirty) << mode;
    }
}

TEST_F(GuideEditing, AToolKeyPressedDuringADragKeepsTheDragButHidesTheRelease) {
    guideSegments = {{0, 0, 10, 0}};
    frame(InputFrame().press(MouseButton::Left), Vec2{10, 0});
    frame(InputFrame().hold(MouseButton::Left).key(Key::X, true), Vec2{12, 3});
    frame(InputFrame().hold(MouseButton::Left).key(Key::X), Vec2{15, 5});
    EXPECT_EQ(ToolMode, toolEditGuides);
    EXPECT_TRUE(sameGuides(guideSegments, {{0, 0, 15, 5}}));
    // Released with X still held: the release is seen in the paint tool.
    frame(InputFrame().release(MouseButton::Left).key(Key::X), Vec2{15, 5});
    EXPECT_EQ(ToolMode, toolPaintMask);
    EXPECT_FALSE(flowDirty);
    // A paint stroke whose key is let go before the button: the release
    // falls back to the edit tool and marks the flow, though nothing moved.
    frame(InputFrame().press(MouseButton::Left).key(Key::X), Vec2{40, 40});
    frame(InputFrame().hold(MouseButton::Left), Vec2{45, 40});
    EXPECT_EQ(ToolMode, toolPaintMask);
    frame(InputFrame().release(MouseButton::Left), Vec2{45, 40});
    EXPECT_EQ(ToolMode, toolEditGuides);
    EXPECT_TRUE(flowDirty);
    EXPECT_TRUE(sameGuides(guideSegments, {{0, 0, 15, 5}}));
}

TEST_F(GuideEditing, ReleaseInTheMaskToolsLeavesTheFlowAlone) {
    for (std::int32_t mode : {toolPaintMask, toolClearMask}) {
        ToolMode = mode;
        flowDirty = false;
        InputFrame().release(MouseButton::Left).apply();
        updateGuideEditing(Vec2{1, 1}, view, flowDirty, history);
        EXPECT_FALSE(flowDirty) << mode;
        EXPECT_TRUE(guideSegments.empty());
    }
}

TEST_F(GuideEditing, DragSurvivesTheListBeingReplacedUnderIt) {
    // The list may be replaced whole (a document read) or grow while a grab is
    // held; the grab is an index, and one past the end is simply not moved.
    guideSegments = {{0, 0, 10, 0}, {20, 0, 30, 0}};
    frame(InputFrame().press(MouseButton::Left), Vec2{30, 0});
    guideSegments = {{0, 0, 10, 0}};
    frame(InputFrame().hold(MouseButton::Left), Vec2{35, 5});
    EXPECT_TRUE(sameGuides(guideSegments, {{0, 0, 10, 0}}));
    frame(InputFrame().release(MouseButton::Left), Vec2{35, 5});
    EXPECT_TRUE(flowDirty);
}

}  // namespace
