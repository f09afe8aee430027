// The export's frame times and counts: whole periods, exact frame rates, the
// warm-up that resets every layer before the first frame.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>

#include "app/export_timing.h"

TEST(ExportTiming, LoopsCoverWholePeriodsAtTheRateTheyState) {
    struct Case {
        float spacing;
        double fps;
        int loops;
        std::int64_t perPeriod, frames, rateNumerator, rateDenominator;
    };
    const Case cases[] = {
        {0.7f, 30.0, 0, 21, 105, 30, 1},    // the demo: 5 periods are the fewest lasting 3 s
        {0.7f, 30.0, 4, 21, 84, 30, 1},
        {0.5f, 24.0, 0, 12, 72, 24, 1},     // 6 periods of 0.5 s
        {0.4f, 24.0, 1, 10, 10, 25, 1},     // 9.6 rounds to 10: the rate follows, 25 fps
        {0.7f, 25.0, 1, 17, 17, 170, 7},    // 0.7f is a hair under 0.7: 17 frames, 24.29 fps
        {0.5f, 1.0, 2, 1, 2, 2, 1},         // never fewer than one frame a period
    };
    for (const Case& c : cases) {
        const ExportTiming timing = planLoopExport(c.spacing, c.fps, c.loops);
        EXPECT_EQ(timing.framesPerPeriod, c.perPeriod) << c.spacing << " " << c.fps;
        EXPECT_EQ(timing.frameCount, c.frames) << c.spacing << " " << c.fps;
        EXPECT_EQ(timing.rateNumerator, c.rateNumerator) << c.spacing << " " << c.fps;
        EXPECT_EQ(timing.rateDenominator, c.rateDenominator) << c.spacing << " " << c.fps;
        // A period later is exactly one phase spacing later, to rounding.
        const double period = static_cast<double>(c.spacing);
        EXPECT_NEAR(exportGridTime(timing, 7 + c.perPeriod) - exportGridTime(timing, 7), period, 1e-12);
    }
    // The default is the fewest periods lasting at least 3 s.
    EXPECT_GE(exportDuration(planLoopExport(0.7f, 30.0, 0)), 3.0);
    EXPECT_LT(exportDuration(planLoopExport(0.7f, 30.0, 0)) - 0.7, 3.0);
}

TEST(ExportTiming, ALengthInSecondsIsThatManyFramesAtTheGivenRate) {
    const ExportTiming timing = planTimedExport(29.97, 25.6);
    EXPECT_EQ(timing.frameCount, 767);
    EXPECT_EQ(timing.rateNumerator, 2997);
    EXPECT_EQ(timing.rateDenominator, 100);
    EXPECT_EQ(timing.framesPerPeriod, 0);
    EXPECT_EQ(planTimedExport(30.0, 0.001).frameCount, 1);
}

// Frames sit half a step off the instants where layers reset, and rendering
// starts at the first reset and ends its warm-up once all three were reset.
TEST(ExportTiming, TheWarmUpEndsOnceEveryLayerWasReset) {
    const float p = 0.7f;
    const ExportTiming timing = planLoopExport(p, 30.0, 1);
    // Phases as a document sets them: 2p, p, 0; layer cycles of 3p.
    const ExportStart start = findExportStart(timing, p, {2.0 * p, 1.0 * p, 0.0});
    // Layer 2 resets first, past 3p; layer 0 last, past 5p.
    EXPECT_GT(exportGridTime(timing, start.warmUpStart), 3.0 * p);
    EXPECT_LT(exportGridTime(timing, start.warmUpStart - 1), 3.0 * p);
    EXPECT_GT(exportGridTime(timing, start.firstFrame), 5.0 * p);
    EXPECT_LT(exportGridTime(timing, start.firstFrame - 1), 5.0 * p);
    for (std::int64_t j = 0; j < 200; ++j) {
        const double steps = exportGridTime(timing, j) / (static_cast<double>(p) / 21.0);
        EXPECT_NEAR(steps - std::floor(steps), 0.5, 1e-6);
    }
}

// On a loop's grid every layer's plan a period later is, to the bit, what the
// layer before it in the cycle had: the roles move on by one layer, the
// ages, steps and weights do not drift. The warm-up ends where the window's
// own scheduling would end it.
TEST(ExportTiming, ALoopsSchedulePassesTheSameRolesFromLayerToLayer) {
    struct Case {
        float spacing;
        double fps;
        std::array<double, 3> phases;
    };
    const Case cases[] = {
        {0.5f, 20.0, {1.0, 0.5, 0.0}},    // from a document: 2p, p, 0
        {0.5f, 30.0, {-1.0, -0.5, 0.0}},  // without one: now - 1, now - 0.5, now at time 0
        {0.7f, 25.0, {2.0 * 0.7f, 1.0 * 0.7f, 0.0}},
        {0.3f, 24.0, {2.0 * 0.3f, 1.0 * 0.3f, 0.0}},
    };
    for (const Case& c : cases) {
        const ExportTiming timing = planLoopExport(c.spacing, c.fps, 1);
        LoopSchedule schedule;
        ASSERT_TRUE(loopScheduleOf(timing, c.spacing, c.phases, schedule)) << c.spacing;
        const ExportStart start = findLoopStart(schedule);
        const ExportStart windowsStart = findExportStart(timing, c.spacing, c.phases);
        EXPECT_EQ(start.warmUpStart, windowsStart.warmUpStart) << c.spacing << " " << c.fps;
        EXPECT_EQ(start.firstFrame, windowsStart.firstFrame) << c.spacing << " " << c.fps;
        const std::int64_t n = timing.framesPerPeriod;
        for (std::int64_t j = start.firstFrame; j < start.firstFrame + 3 * n; ++j) {
            const LayerPlan now = planLoopStep(timing, schedule, c.spacing, j);
            const LayerPlan later = planLoopStep(timing, schedule, c.spacing, j + n);
            // Which layer takes over depends on the phases' order: the one a
            // spacing behind in its cycle.
            for (std::size_t i = 0; i < 3; ++i) {
                const std::size_t next = c.phases[0] > c.phases[2] ? (i + 2) % 3 : (i + 1) % 3;
                EXPECT_EQ(later.reset[next], now.reset[i]) << "step " << j;
                EXPECT_EQ(later.step[next], now.step[i]) << "step " << j;
                EXPECT_EQ(later.weight[next], now.weight[i]) << "step " << j;
            }
            // And the three weights still share the picture's whole brightness.
            EXPECT_NEAR(now.weight[0] + now.weight[1] + now.weight[2], 1.0f, 1e-6f);
        }
    }
    // Phases that are not whole multiples of the spacing have no such grid.
    LoopSchedule schedule;
    EXPECT_FALSE(loopScheduleOf(planLoopExport(0.5f, 30.0, 1), 0.5f, {0.3, 0.1, 0.0}, schedule));
    EXPECT_FALSE(loopScheduleOf(planTimedExport(30.0, 2.0), 0.5f, {1.0, 0.5, 0.0}, schedule));
}

// The warm-up copies the layer reset a period after the first from the
// first, as it passes that layer's state, a period before the first frame;
// the layer reset at the first frame has no warm-up at all. A layer that
// catches up at step 0 is planned otherwise, so nothing is copied from it.
TEST(ExportTiming, TheWarmUpCopiesOnlyLayersPlannedAsTheFirst) {
    struct Case {
        float spacing;
        double fps;
        std::array<double, 3> phases;
        bool copies;
    };
    const Case cases[] = {
        {0.5f, 20.0, {1.0, 0.5, 0.0}, true},
        {0.5f, 30.0, {-1.0, -0.5, 0.0}, true},
        {0.7f, 25.0, {2.0 * 0.7f, 1.0 * 0.7f, 0.0}, true},
        {0.5f, 30.0, {-2.0, -1.5, -1.0}, false},  // layer 0 overdue at step 0
    };
    for (const Case& c : cases) {
        const ExportTiming timing = planLoopExport(c.spacing, c.fps, 1);
        LoopSchedule schedule;
        ASSERT_TRUE(loopScheduleOf(timing, c.spacing, c.phases, schedule)) << c.spacing;
        const ExportStart start = findLoopStart(schedule);
        const WarmUpCopies copies = planWarmUpCopies(timing, schedule, c.spacing, start);
        const std::int64_t n = timing.framesPerPeriod;
        int copied = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            if (copies.copyAfter[i] < 0) continue;
            ++copied;
            EXPECT_NE(i, copies.lead);
            EXPECT_EQ(copies.copyAfter[i], start.warmUpStart + n - 1) << "layer " << i;
        }
        EXPECT_EQ(copied, c.copies ? 1 : 0) << c.spacing << " " << c.fps;
    }
}
