#include "app/layer_plan.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "flow/document.h"

namespace {

// The catch-up as plain repeated addition: what the phases must equal
// whenever a period still moves them.
double repeatedCatchUp(double t, double period, double phase) {
    do {
        phase += period;
    } while (t > phase + period);
    return phase;
}

struct ScheduleCase {
    const char* name;
    double t;
    float advectStep;
    float phaseSpacing;
    std::array<double, 3> phases;
    std::array<bool, 3> reset;
    std::array<double, 3> phasesAfter;
    std::array<float, 3> step;
    std::array<float, 3> weight;
};

// (1 - cos(2*pi*age/T)) / 3 for ages of 1/3 and 2/3 of a period.
constexpr float halfWeight = 0.5f;

const ScheduleCase scheduleCases[] = {
    // Start-up without a document: phases (now - 1, now - 0.5, now); no layer
    // is due and advectStep 0 leaves every layer at rest.
    {"FirstFrame", 7.25, 0.0f, 0.5f, {6.25, 6.75, 7.25}, {false, false, false},
     {6.25, 6.75, 7.25}, {0.0f, 0.0f, 0.0f}, {halfWeight, halfWeight, 0.0f}},
    // A stall of several periods: every layer reset once, its phase moved by
    // whole periods, and advanced by its own age.
    {"StallLongerThanAPeriod", 10.0, 0.016f, 0.5f, {1.0, 0.5, 0.0}, {true, true, true},
     {8.5, 9.5, 9.0}, {1.5f, 0.5f, 1.0f}, {0.0f, halfWeight, halfWeight}},
    // Document phases (2p, p, 0) lie ahead of an early t: nothing is reset.
    {"PhaseAheadOfTime", 0.25, 0.016f, 0.5f, {1.0, 0.5, 0.0}, {false, false, false},
     {1.0, 0.5, 0.0}, {0.016f, 0.016f, 0.016f}, {NAN, NAN, NAN}},
    // Exactly at layer 2's period end the cycle still runs: a layer is reset
    // only once t is strictly later.
    {"ExactlyAtThePeriodsEndIsNotYetAReset", 4.5, 0.016f, 0.5f, {3.5, 4.0, 3.0}, {false, false, false},
     {3.5, 4.0, 3.0}, {0.016f, 0.016f, 0.016f}, {halfWeight, halfWeight, 0.0f}},
    // Just past layer 2's period end: only layer 2 is reset, it weighs ~0
    // and the other two share the picture.
    {"OnlyTheDueLayerResets", 4.5 + 1e-6, 0.016f, 0.5f, {3.5, 4.0, 3.0}, {false, false, true},
     {3.5, 4.0, 4.5}, {0.016f, 0.016f, 1e-6f}, {halfWeight, halfWeight, 0.0f}},
};

class PlanLayersTable : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(PlanLayersTable, ResetsStepsPhasesAndWeights) {
    const ScheduleCase& c = GetParam();
    std::array<double, 3> phases = c.phases;
    const LayerPlan plan = planLayers(c.t, c.advectStep, c.phaseSpacing, phases);
    float weightSum = 0.0f;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(plan.reset[i], c.reset[i]);
        EXPECT_DOUBLE_EQ(phases[i], c.phasesAfter[i]);
        EXPECT_NEAR(plan.step[i], c.step[i], 1e-6f);
        if (!std::isnan(c.weight[i])) {
            EXPECT_NEAR(plan.weight[i], c.weight[i], 1e-5f);
        }
        weightSum += plan.weight[i];
    }
    EXPECT_NEAR(weightSum, 1.0f, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(Frames, PlanLayersTable, ::testing::ValuesIn(scheduleCases),
                         [](const ::testing::TestParamInfo<ScheduleCase>& info) {
                             return std::string(info.param.name);
                         });

// Frame by frame over many periods, with an irregular frame time and a
// spacing that is not a binary fraction: the weights keep the brightness,
// every layer stays inside its cycle, and each phase is exactly what
// repeated addition of the period gives.
TEST(PlanLayers, WeightsSumToOneAndPhasesStayInTheirCycleEveryFrame) {
    const float spacing = 0.37f;
    const double period = static_cast<double>(spacing) * 3.0;
    std::array<double, 3> phases = {2.0 * spacing, spacing, 0.0};
    std::array<double, 3> expected = phases;
    double t = 0.0;
    for (int frame = 0; frame < 5000; ++frame) {
        t += 0.004 + 0.013 * ((frame * 7919) % 13) / 13.0;
        const LayerPlan plan = planLayers(t, 0.01f, spacing, phases);
        float sum = 0.0f;
        for (int i = 0; i < 3; ++i) {
            if (t > expected[i] + period) expected[i] = repeatedCatchUp(t, period, expected[i]);
            ASSERT_EQ(phases[i], expected[i]) << "frame " << frame << " layer " << i;
            if (plan.reset[i]) {
                ASSERT_LT(phases[i], t);
                ASSERT_LE(t, phases[i] + period);
                ASSERT_GT(plan.step[i], 0.0f);
                ASSERT_LE(plan.step[i], static_cast<float>(period));
            }
            sum += plan.weight[i];
        }
        ASSERT_NEAR(sum, 1.0f, 1e-5f) << "t " << t;
    }
}

// A stall of thousands of periods still follows repeated addition exactly.
TEST(PlanLayers, LongStallCatchesUpByRepeatedAddition) {
    const float spacing = 0.1f;
    const double period = static_cast<double>(spacing) * 3.0;
    std::array<double, 3> phases = {0.2, 0.1, 0.0};
    const double t = 3000.0;
    const std::array<double, 3> start = phases;
    planLayers(t, 0.0f, spacing, phases);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(phases[i], repeatedCatchUp(t, period, start[i]));
}

struct RunawayCase {
    const char* name;
    double t;
    float phaseSpacing;
    double phase;
};

// Periods that could not be caught up by adding one at a time: too many of
// them, or too small to move the phase at all.
const RunawayCase runawayCases[] = {
    {"SmallestPeriodAfterAStall", 1.0e6, kSmallestPhaseSpacing, 0.0},
    {"PeriodBelowThePhaseResolution", 1.0e17 + 1.0e5, 0.5f, 1.0e17},
    {"HugeTime", 1.0e300, 0.5f, 0.0},
};

class PlanLayersRunaway : public ::testing::TestWithParam<RunawayCase> {};

TEST_P(PlanLayersRunaway, CatchUpEndsWithTheLayerInItsLastCycle) {
    const RunawayCase& c = GetParam();
    std::array<double, 3> phases = {c.phase, c.phase, c.phase};
    const LayerPlan plan = planLayers(c.t, 0.0f, c.phaseSpacing, phases);
    const double period = static_cast<double>(c.phaseSpacing) * 3.0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(plan.reset[i]);
        EXPECT_LE(phases[i], c.t);
        EXPECT_LE(c.t, phases[i] + period);
        EXPECT_GE(plan.step[i], 0.0f);
        EXPECT_TRUE(std::isfinite(plan.weight[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Periods, PlanLayersRunaway, ::testing::ValuesIn(runawayCases),
                         [](const ::testing::TestParamInfo<RunawayCase>& info) {
                             return std::string(info.param.name);
                         });

// A spacing that gives no usable period falls back to the default 0.5 s
// instead of spinning or producing NaN weights.
TEST(PlanLayers, UnusableSpacingSchedulesLikeTheDefault) {
    const float unusable[] = {0.0f,
                              -0.5f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              1.0e-30f,
                              std::nextafter(kSmallestPhaseSpacing, 0.0f),
                              std::nextafter(kLargestPhaseSpacing, 2.0f * kLargestPhaseSpacing),
                              std::numeric_limits<float>::max()};
    for (float spacing : unusable) {
        SCOPED_TRACE(spacing);
        std::array<double, 3> phases = {1.0, 1.5, 2.0};
        std::array<double, 3> defaultPhases = phases;
        const LayerPlan plan = planLayers(5.0, 0.02f, spacing, phases);
        const LayerPlan expected = planLayers(5.0, 0.02f, 0.5f, defaultPhases);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(phases[i], defaultPhases[i]);
            EXPECT_EQ(plan.reset[i], expected.reset[i]);
            EXPECT_EQ(plan.step[i], expected.step[i]);
            EXPECT_EQ(plan.weight[i], expected.weight[i]);
        }
    }
}

// Every spacing the reader and the scheduler accept animates: from the first
// phases a document gives, through ordinary frames and long stalls, the three
// weights stay finite and sum to 1 within float rounding.
TEST(PlanLayers, EveryAcceptedSpacingGivesFiniteWeightsThatSumToOne) {
    std::vector<float> spacings = {kSmallestPhaseSpacing, kDefaultPhaseSpacing, kLargestPhaseSpacing};
    const double decades = std::log10(kLargestPhaseSpacing / kSmallestPhaseSpacing);
    for (int k = 0; k <= 90; ++k) {
        spacings.push_back(static_cast<float>(kSmallestPhaseSpacing * std::pow(10.0, decades * k / 90.0)));
    }
    // Frame times after the start: a few ordinary frames, then stalls up to
    // a month of running.
    const double times[] = {0.0, 1.0 / 60, 2.0 / 60, 0.5, 1.7, 61.0, 3600.5, 86400.25, 2.6e6};
    for (float spacing : spacings) {
        if (!isUsablePhaseSpacing(spacing)) continue;  // the ends of the sweep may round outside
        SCOPED_TRACE(spacing);
        std::array<double, 3> phases = {static_cast<double>(2.0f * spacing), static_cast<double>(spacing), 0.0};
        for (double t : times) {
            const LayerPlan plan = planLayers(t, 1.0f / 60, spacing, phases);
            float sum = 0.0f;
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(std::isfinite(plan.weight[i])) << "t " << t << " layer " << i;
                sum += plan.weight[i];
            }
            ASSERT_NEAR(sum, 1.0f, 1e-5f) << "t " << t;
        }
    }
}

// A loop length changed during the run (, and .): at the moment of the
// change every weight stays what it was, the phases are then exactly the new
// spacing apart, and from frame to frame no weight moves faster than the
// raised cosine of the longer or shorter period allows, so nothing jumps.
TEST(RephaseLayers, ALoopLengthChangeKeepsEveryWeightAndTheLoopRunsOnSmoothly) {
    const double frameTime = 1.0 / 60;
    const struct {
        float from, to;
        double changeAt;
    } cases[] = {{0.5f, 0.7f, 3.31}, {0.5f, 0.35f, 3.31}, {0.25f, 8.0f, 1.0}, {8.0f, 0.25f, 30.2}, {1.4f, 1.0f, 0.2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        // A document's first phases, then frames.
        std::array<double, 3> phases = {2.0 * c.from, c.from, 0.0};
        float spacing = c.from;
        std::array<float, 3> previous{};
        bool first = true;
        const int frames = static_cast<int>((c.changeAt + 9.0 * c.to) / frameTime);
        for (int frame = 0; frame <= frames; ++frame) {
            const double t = frame * frameTime;
            bool changed = false;
            if (spacing == c.from && t >= c.changeAt) {
                std::array<double, 3> before = phases;
                const LayerPlan old = planLayers(t, 0.0f, spacing, before);
                rephaseLayers(t, spacing, c.to, before);
                spacing = c.to;
                std::array<double, 3> probe = before;
                const LayerPlan now = planLayers(t, 0.0f, spacing, probe);
                for (int i = 0; i < 3; ++i) {
                    EXPECT_NEAR(now.weight[i], old.weight[i], 1e-5f) << "layer " << i;
                    const double offset = (before[i] - before[0]) / static_cast<double>(c.to);
                    EXPECT_NEAR(offset, std::round(offset), 1e-9) << "layer " << i;
                }
                phases = before;
                changed = true;
            }
            const LayerPlan plan = planLayers(t, static_cast<float>(frameTime), spacing, phases);
            const double fastest = 2.0 * M_PI / (3.0 * 3.0 * std::min(c.from, c.to));
            float sum = 0.0f;
            for (int i = 0; i < 3; ++i) {
                if (!first) {
                    ASSERT_LE(std::abs(plan.weight[i] - previous[i]), fastest * frameTime + 1e-5)
                        << "frame " << frame << " layer " << i << (changed ? " (the change)" : "");
                }
                previous[i] = plan.weight[i];
                sum += plan.weight[i];
            }
            ASSERT_NEAR(sum, 1.0f, 1e-5f) << "frame " << frame;
            first = false;
        }
        EXPECT_EQ(spacing, c.to);
    }
}

}  // namespace
