#include "edit/view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "edit/tools.h"
#include "support/input_frame.h"

namespace {

View viewportOf(float width, float height) {
    View view;
    view.width = width;
    view.height = height;
    return view;
}

class ViewNavigation : public ::testing::Test {
protected:
    void SetUp() override {
        ToolMode = toolEditGuides;
        InputFrame().apply();
    }
    void TearDown() override {
        ToolMode = toolNone;
        InputFrame().apply();
    }
};

TEST(ViewMapping, ViewportCentreShowsTheViewCentreAndMappingsInvertEachOther) {
    for (float rotation : {0.0f, 0.3f, 1.5707964f, -2.0f}) {
        View view = viewportOf(1920, 1080);
        view.centerX = 321.5f;
        view.centerY = -40.25f;
        view.scale = 1.7f;
        view.rotation = rotation;
        const Vec2 centre = screenToPicture(view, Vec2{960, 540});
        EXPECT_FLOAT_EQ(centre.x, 321.5f) << rotation;
        EXPECT_FLOAT_EQ(centre.y, -40.25f) << rotation;
        for (Vec2 screen : {Vec2{0, 0}, Vec2{1920, 1080}, Vec2{17, 900}}) {
            const Vec2 back = pictureToScreen(view, screenToPicture(view, screen));
            EXPECT_NEAR(back.x, screen.x, 1e-3) << rotation;
            EXPECT_NEAR(back.y, screen.y, 1e-3) << rotation;
        }
    }
}

TEST(ViewMapping, ScaleIsViewportPixelsPerPictureUnit) {
    View view = viewportOf(800, 600);
    view.centerX = 100;
    view.centerY = 50;
    view.scale = 4;
    const Vec2 p = screenToPicture(view, Vec2{400 + 40, 300 - 8});
    EXPECT_FLOAT_EQ(p.x, 110.0f);
    EXPECT_FLOAT_EQ(p.y, 48.0f);
}

TEST(ViewFit, WholePictureTouchesTwoEdgesAndIsCentred) {
    struct Case {
        std::int32_t pictureWidth, pictureHeight;
        float scale, centerX, centerY;
    };
    const Case cases[] = {
        {1000, 500, 1.92f, 500.0f, 250.0f},  // width-bound
        {500, 1000, 1.08f, 250.0f, 500.0f},  // height-bound
        {1920, 1080, 1.0f, 960.0f, 540.0f},  // same aspect: both edges
    };
    for (const Case& c : cases) {
        View view = viewportOf(1920, 1080);
        view.centerX = -7;
        view.scale = 99;
        const View fitted = fitView(view, c.pictureWidth, c.pictureHeight);
        EXPECT_FLOAT_EQ(fitted.scale, c.scale) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_FLOAT_EQ(fitted.centerX, c.centerX);
        EXPECT_FLOAT_EQ(fitted.centerY, c.centerY);
        EXPECT_EQ(fitted.width, 1920.0f);
        EXPECT_EQ(fitted.height, 1080.0f);
        EXPECT_EQ(fitted.rotation, 0.0f);
    }
}

TEST(ViewFit, QuarterTurnFitsTheTurnedExtent) {
    View view = viewportOf(1920, 1080);
    view.rotation = 1.5707964f;  // the picture's rows run down the screen
    const View fitted = fitView(view, 1000, 500);
    EXPECT_NEAR(fitted.scale, 1.08f, 1e-5);  // 1000 picture units now span the height
    EXPECT_EQ(fitted.rotation, view.rotation);
}

TEST(ViewFit, NothingToFitLeavesTheViewUnchanged) {
    // A picture without extent, or a viewport without area, would give an
    // infinite or zero scale, and every later mapping would be inf or NaN.
    struct Case {
        float viewportWidth, viewportHeight;
        std::int32_t pictureWidth, pictureHeight;
    };
    const Case cases[] = {
        {1920, 1080, 0, 500}, {1920, 1080, 500, 0}, {1920, 1080, 0, 0},
        {1920, 1080, -3, 500}, {0, 0, 1000, 500},
    };
    for (const Case& c : cases) {
        View view = viewportOf(c.viewportWidth, c.viewportHeight);
        view.centerX = 12;
        view.centerY = 34;
        view.scale = 5;
        const View fitted = fitView(view, c.pictureWidth, c.pictureHeight);
        EXPECT_EQ(fitted.scale, 5.0f) << c.pictureWidth << "x" << c.pictureHeight;
        EXPECT_EQ(fitted.centerX, 12.0f);
        EXPECT_EQ(fitted.centerY, 34.0f);
    }
}

TEST_F(ViewNavigation, WheelScalesByPowersOfOnePointOne) {
    struct Case {
        int deltas[2];
        double factor;
        double tolerance;
    };
    const Case cases[] = {
        {{120, 0}, 1.1, 1e-6},
        {{-120, 0}, 1.0 / 1.1, 1e-6},
        {{60, 0}, 1.0488088, 1e-6},
        {{120, -120}, 1.0, 1e-6},
        {{240, 0}, 1.21, 1e-6},
    };
    for (const Case& c : cases) {
        View view = viewportOf(1920, 1080);
        view.scale = 2.0f;
        for (int delta : c.deltas) {
            InputFrame().at(700, 300).wheel(delta).apply();
            updatePanZoom(view);
        }
        EXPECT_NEAR(view.scale / 2.0, c.factor, c.tolerance) << c.deltas[0] << " " << c.deltas[1];
    }
}

TEST_F(ViewNavigation, WheelKeepsThePicturePointUnderTheCursor) {
    for (float rotation : {0.0f, 0.4f}) {
        for (int delta : {120, -120, 60, -360}) {
            View view = viewportOf(1920, 1080);
            view.centerX = 500;
            view.centerY = 250;
            view.scale = 1.92f;
            view.rotation = rotation;
            const Vec2 cursor{1500, 90};
            const Vec2 before = screenToPicture(view, cursor);
            InputFrame().at(1500, 90).wheel(delta).apply();
            updatePanZoom(view);
            const Vec2 after = screenToPicture(view, cursor);
            EXPECT_NEAR(after.x, before.x, 1e-3) << rotation << " " << delta;
            EXPECT_NEAR(after.y, before.y, 1e-3) << rotation << " " << delta;
        }
    }
}

TEST_F(ViewNavigation, PanKeepsThePressedPicturePointUnderTheCursor) {
    ToolMode = toolPan;
    View view = viewportOf(1920, 1080);
    view.centerX = 500;
    view.centerY = 250;
    view.scale = 1.92f;
    const Vec2 pressed = screenToPicture(view, Vec2{600, 400});

    InputFrame().at(600, 400).press(MouseButton::Left).apply();
    updatePanZoom(view);
    EXPECT_EQ(view.centerX, 500.0f);  // a press without motion moves nothing
    EXPECT_EQ(view.centerY, 250.0f);

    for (Vec2 cursor : {Vec2{650, 380}, Vec2{100, 1000}, Vec2{600, 400}}) {
        InputFrame().at(static_cast<int>(cursor.x), static_cast<int>(cursor.y)).hold(MouseButton::Left).apply();
        updatePanZoom(view);
        const Vec2 under = screenToPicture(view, cursor);
        EXPECT_NEAR(under.x, pressed.x, 1e-3);
        EXPECT_NEAR(under.y, pressed.y, 1e-3);
    }
    EXPECT_NEAR(view.centerX, 500.0f, 1e-4);  // back at the press: back where it began
    EXPECT_NEAR(view.centerY, 250.0f, 1e-4);
    EXPECT_FLOAT_EQ(view.scale, 1.92f);
}

TEST_F(ViewNavigation, OnlyThePanToolPansButEveryPressMovesTheAnchor) {
    View view = viewportOf(1920, 1080);
    view.scale = 2.0f;

    // A drag in the edit tool leaves the view alone...
    InputFrame().at(100, 100).press(MouseButton::Left).apply();
    updatePanZoom(view);
    InputFrame().at(300, 100).hold(MouseButton::Left).apply();
    updatePanZoom(view);
    EXPECT_EQ(view.centerX, 0.0f);
    InputFrame().at(300, 100).release(MouseButton::Left).apply();
    updatePanZoom(view);

    // ...but its press is the anchor a later pan measures from.
    InputFrame().at(500, 500).press(MouseButton::Left).apply();
    updatePanZoom(view);
    ToolMode = toolPan;
    InputFrame().at(520, 500).hold(MouseButton::Left).apply();
    updatePanZoom(view);
    EXPECT_FLOAT_EQ(view.centerX, -10.0f);  // 20 viewport pixels at scale 2
    EXPECT_FLOAT_EQ(view.centerY, 0.0f);
}

}  // namespace
