// The steps of the speed and the loop length: a press moves one step, the
// bounds hold, and steps there and back meet the default exactly.

#include "app/motion_steps.h"

#include <gtest/gtest.h>

#include <cmath>

#include "flow/document.h"

namespace {

TEST(SpeedSteps, MultiplyOrDivideByOneAndAQuarterWithinAThousandfoldOfTheDefault) {
    const float lowest = kDefaultFlowScale / kSpeedRange;
    const float highest = kDefaultFlowScale * kSpeedRange;
    // Thirty steps up and back down land on the default bit for bit.
    float scale = kDefaultFlowScale;
    for (int i = 1; i <= 30; ++i) {
        const float next = steppedFlowScale(scale, MotionStep::Up);
        EXPECT_NEAR(next / scale, 1.25f, 1e-6f) << i;
        scale = next;
    }
    EXPECT_LT(scale, highest);
    // The 31st step would pass 1000x: it stops there, and no further.
    EXPECT_EQ(steppedFlowScale(scale, MotionStep::Up), highest);
    EXPECT_EQ(steppedFlowScale(highest, MotionStep::Up), highest);
    for (int i = 1; i <= 30; ++i) scale = steppedFlowScale(scale, MotionStep::Down);
    EXPECT_EQ(scale, kDefaultFlowScale);

    struct Case {
        const char* name;
        float flowScale;
        MotionStep step;
        float expected;
    };
    const Case cases[] = {
        {"lowest, down", lowest, MotionStep::Down, lowest},
        {"just above lowest, down", lowest * 1.1f, MotionStep::Down, lowest},
        {"zero, up", 0.0f, MotionStep::Up, lowest},
        {"zero, down", 0.0f, MotionStep::Down, 0.0f},
        {"beyond highest, down", highest * 5, MotionStep::Down, highest},
        {"beyond highest, up", highest * 5, MotionStep::Up, highest * 5},
        {"a document's own value, up", 3.0f, MotionStep::Up, 3.75f},
        {"a document's own value, down", 3.0f, MotionStep::Down, 2.4f},
        {"backwards flow keeps its direction", -kDefaultFlowScale, MotionStep::Up, -kDefaultFlowScale * 1.25f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(steppedFlowScale(c.flowScale, c.step), c.expected) << c.name;
    }
}

TEST(LoopLengthSteps, GoThroughTheLadderAndStopAtItsEnds) {
    // Up from the shortest to the longest, one length a press.
    float spacing = loopLengthLadder[0];
    for (std::size_t i = 1; i < loopLengthSteps; ++i) {
        spacing = steppedPhaseSpacing(spacing, MotionStep::Up);
        EXPECT_EQ(spacing, loopLengthLadder[i]);
    }
    struct Case {
        float spacing;
        MotionStep step;
        float expected;
    };
    const Case cases[] = {
        {8.0f, MotionStep::Up, 8.0f},     {0.25f, MotionStep::Down, 0.25f}, {0.5f, MotionStep::Down, 0.35f},
        {0.5f, MotionStep::Up, 0.7f},     {0.6f, MotionStep::Up, 0.7f},     {0.6f, MotionStep::Down, 0.5f},
        {0.1f, MotionStep::Up, 0.25f},    {0.1f, MotionStep::Down, 0.1f},   {20.0f, MotionStep::Down, 8.0f},
        {20.0f, MotionStep::Up, 20.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(steppedPhaseSpacing(c.spacing, c.step), c.expected)
            << c.spacing << (c.step == MotionStep::Up ? " up" : " down");
    }
}

}  // namespace
