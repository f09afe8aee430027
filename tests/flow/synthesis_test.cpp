#include "flow/synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::uint32_t bitsOf(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Equal bits, or both NaN: a NaN's payload may come from either operand of an
// add, and the two loops are free to order commutative operands differently.
bool sameFloat(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return bitsOf(a) == bitsOf(b);
}

// One kernel against the oracle on fresh grids (pre-filled with junk, so a
// cell left unwritten shows), cell by cell; reports the first mismatch.
::testing::AssertionResult kernelMatchesOracle(SynthesisKernel kernel, const std::vector<GuideSegment>& guides,
                                                float flowScale, std::int32_t width, std::int32_t height) {
    FlowGrid oracle(width, height);
    FlowGrid fast(width, height);
    for (std::int64_t i = 0; i < fast.cellCount(); ++i) {
        oracle.data()[i] = Vec2{123.0f, -456.0f};
        fast.data()[i] = Vec2{-789.0f, 321.0f};
    }
    computeFlowFieldReference(guides, flowScale, oracle);
    computeFlowFieldWith(kernel, guides, flowScale, fast);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Vec2 a = oracle.at(x, y);
            const Vec2 b = fast.at(x, y);
            if (!sameFloat(a.x, b.x) || !sameFloat(a.y, b.y)) {
                return ::testing::AssertionFailure()
                       << "cell (" << x << ", " << y << ") of " << width << " x " << height << " with "
                       << guides.size() << " guides: oracle (" << a.x << ", " << a.y << ") fast (" << b.x << ", "
                       << b.y << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

const SynthesisKernel allKernels[] = {SynthesisKernel::plain, SynthesisKernel::avx2, SynthesisKernel::avx512};

const char* kernelName(SynthesisKernel kernel) {
    switch (kernel) {
    case SynthesisKernel::plain: return "plain";
    case SynthesisKernel::avx2: return "avx2";
    case SynthesisKernel::avx512: return "avx512";
    }
    return "?";
}

// Every kernel this CPU runs against the oracle.
::testing::AssertionResult fastMatchesOracle(const std::vector<GuideSegment>& guides, float flowScale,
                                              std::int32_t width, std::int32_t height) {
    for (SynthesisKernel kernel : allKernels) {
        if (!synthesisKernelAvailable(kernel)) continue;
        ::testing::AssertionResult result = kernelMatchesOracle(kernel, guides, flowScale, width, height);
        if (!result) return result << " (" << kernelName(kernel) << " kernel)";
    }
    return ::testing::AssertionSuccess();
}

// The exact-value cases hold for the oracle and for every kernel.
struct NamedSynthesis {
    const char* name;
    bool oracle;
    SynthesisKernel kernel;
};

class SynthesisValues : public ::testing::TestWithParam<NamedSynthesis> {
protected:
    void SetUp() override {
        if (!GetParam().oracle && !synthesisKernelAvailable(GetParam().kernel)) GTEST_SKIP() << "CPU lacks the kernel";
    }
    void run(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field) const {
        if (GetParam().oracle) computeFlowFieldReference(guides, flowScale, field);
        else computeFlowFieldWith(GetParam().kernel, guides, flowScale, field);
    }
};

INSTANTIATE_TEST_SUITE_P(EveryVersion, SynthesisValues,
                         ::testing::Values(NamedSynthesis{"oracle", true, SynthesisKernel::plain},
                                           NamedSynthesis{"plain", false, SynthesisKernel::plain},
                                           NamedSynthesis{"avx2", false, SynthesisKernel::avx2},
                                           NamedSynthesis{"avx512", false, SynthesisKernel::avx512}),
                         [](const ::testing::TestParamInfo<NamedSynthesis>& info) { return std::string(info.param.name); });

void fillWith(FlowGrid& field, Vec2 v) {
    for (std::int64_t i = 0; i < field.cellCount(); ++i) field.data()[i] = v;
}

TEST_P(SynthesisValues, NoGuidesOrZeroScaleGiveAZeroField) {
    FlowGrid field(37, 5);
    fillWith(field, Vec2{7.0f, 7.0f});
    run({}, 2.0454545f, field);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) {
        ASSERT_EQ(bitsOf(field.data()[i].x), 0u);
        ASSERT_EQ(bitsOf(field.data()[i].y), 0u);
    }

    fillWith(field, Vec2{7.0f, 7.0f});
    run({{3.0f, 1.0f, 9.0f, -4.0f}, {20.5f, 2.0f, 1.0f, 1.0f}}, 0.0f, field);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) {
        ASSERT_EQ(field.data()[i].x, 0.0f);
        ASSERT_EQ(field.data()[i].y, 0.0f);
    }
}

TEST_P(SynthesisValues, OneGuideMovesEveryCellButItsOrigin) {
    FlowGrid field(70, 20);  // wider than one tile of the fast kernel
    run({{10.0f, 10.0f, 14.0f, 12.0f}}, 2.0f, field);
    for (std::int32_t y = 0; y < field.height; ++y) {
        for (std::int32_t x = 0; x < field.width; ++x) {
            const Vec2 v = field.at(x, y);
            if (x == 10 && y == 10) {
                ASSERT_EQ(v.x, 0.0f);
                ASSERT_EQ(v.y, 0.0f);
            } else {
                ASSERT_EQ(v.x, 8.0f) << x << ", " << y;
                ASSERT_EQ(v.y, 4.0f) << x << ", " << y;
            }
        }
    }
}

TEST_P(SynthesisValues, GuidesEquallyFarGiveTheMeanOfTheirVectors) {
    // Cell (5, 5) is 3 from (2, 5) and from (5, 8).
    FlowGrid field(12, 12);
    run({{2.0f, 5.0f, 6.0f, 5.0f}, {5.0f, 8.0f, 5.0f, 10.0f}}, 3.0f, field);
    // Weights are equal, so the mean is ((4, 0) + (0, 2)) / 2 = (2, 1), times 3.
    EXPECT_EQ(field.at(5, 5).x, 6.0f);
    EXPECT_EQ(field.at(5, 5).y, 3.0f);
}

TEST_P(SynthesisValues, ZeroLengthGuidePullsNearbyCellsTowardZero) {
    FlowGrid field(40, 3);
    const std::vector<GuideSegment> guides{{0.0f, 1.0f, 10.0f, 1.0f}, {30.0f, 1.0f, 30.0f, 1.0f}};
    run(guides, 1.0f, field);
    // At the zero-length guide's own cell only the other guide counts.
    EXPECT_EQ(field.at(30, 1).x, 10.0f);
    // Next to it the still guide's weight dominates: the vector shrinks.
    EXPECT_GT(field.at(31, 1).x, 0.0f);
    EXPECT_LT(field.at(31, 1).x, 0.011f);
    // Halfway between the two, the weights are equal: half the vector.
    EXPECT_FLOAT_EQ(field.at(15, 1).x, 5.0f);
    EXPECT_EQ(field.at(15, 1).y, 0.0f);
    EXPECT_LT(field.at(29, 1).x, field.at(20, 1).x);
}

TEST_P(SynthesisValues, GuidesOutsideThePictureStillCount) {
    FlowGrid field(8, 4);
    run({{-500.0f, 900.0f, -496.0f, 902.0f}}, 1.0f, field);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) {
        ASSERT_EQ(field.data()[i].x, 4.0f);
        ASSERT_EQ(field.data()[i].y, 2.0f);
    }
}

// Flows beyond what a frame can show (a guide out at 1e30, a flowScale of
// 1e30, sums that overflow to infinity or NaN) are kept at 60 picture sides
// per second in their own direction, or at rest when they have none: every
// cell finite, none faster than the bound. Just within it nothing changes.
TEST_P(SynthesisValues, FlowsAreKeptWithinWhatAFrameCanShow) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::int32_t width = 70;
    const std::int32_t height = 5;
    const float fastest = 60.0f * width;
    struct Case {
        const char* name;
        std::vector<GuideSegment> guides;
        float flowScale;
        Vec2 direction;  // of every cell but the guides' own, (0, 0) when at rest
    };
    const Case cases[] = {
        {"second endpoint at 1e30", {{10.0f, 2.0f, 1e30f, 2.0f}}, 1.0f, Vec2{1.0f, 0.0f}},
        {"flowScale 1e30", {{10.0f, 2.0f, 13.0f, 6.0f}}, 1e30f, Vec2{0.6f, 0.8f}},
        {"flowScale -3e38, overflowing", {{10.0f, 2.0f, 10.0f, 5.0f}}, -3e38f, Vec2{0.0f, -1.0f}},
        {"infinite flowScale: 0 times infinity is no direction", {{10.0f, 2.0f, 10.0f, 5.0f}}, inf, Vec2{0.0f, 0.0f}},
        {"vectors overflowing to infinity both ways sum to NaN",
         {{-3e38f, 2.0f, 3e38f, 2.0f}, {3e38f, 2.0f, -3e38f, 2.0f}}, 1.0f, Vec2{0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowGrid field(width, height);
        run(c.guides, c.flowScale, field);
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const Vec2 v = field.at(x, y);
                ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y)) << x << ", " << y;
                ASSERT_LE(std::hypot(v.x, v.y), fastest * 1.000001f) << x << ", " << y;
                if (x == c.guides[0].x0 && y == c.guides[0].y0) continue;
                ASSERT_NEAR(v.x, c.direction.x * fastest, fastest * 1e-5f) << x << ", " << y;
                ASSERT_NEAR(v.y, c.direction.y * fastest, fastest * 1e-5f) << x << ", " << y;
            }
        }
    }

    // 4199 pixels a second on a 70-wide picture is within the bound of 4200:
    // the plain weighted mean, bit for bit.
    FlowGrid field(width, height);
    run({{10.0f, 2.0f, 10.0f + 4199.0f, 2.0f}}, 1.0f, field);
    EXPECT_EQ(field.at(0, 0).x, 4199.0f);
    EXPECT_EQ(fastestFlowSpeed(field), fastest);
}

TEST(Synthesis, EmptyFieldIsLeftAlone) {
    FlowGrid field;
    computeFlowField({{1.0f, 1.0f, 2.0f, 2.0f}}, 1.0f, field);
    computeFlowFieldReference({{1.0f, 1.0f, 2.0f, 2.0f}}, 1.0f, field);
    EXPECT_TRUE(field.empty());
}

// Guides drawn from a seeded generator: endpoints anywhere around the picture,
// half of them on whole cell positions so that d = 0 occurs.
std::vector<GuideSegment> randomGuides(std::mt19937& rng, int count, std::int32_t width, std::int32_t height) {
    std::uniform_real_distribution<float> fx(-0.25f * static_cast<float>(width), 1.25f * static_cast<float>(width));
    std::uniform_real_distribution<float> fy(-0.25f * static_cast<float>(height), 1.25f * static_cast<float>(height));
    std::uniform_int_distribution<std::int32_t> cx(0, width - 1);
    std::uniform_int_distribution<std::int32_t> cy(0, height - 1);
    std::uniform_real_distribution<float> len(-40.0f, 40.0f);
    std::vector<GuideSegment> guides;
    for (int i = 0; i < count; ++i) {
        GuideSegment g;
        if (i % 2 == 0) {
            g.x0 = static_cast<float>(cx(rng));
            g.y0 = static_cast<float>(cy(rng));
        } else {
            g.x0 = fx(rng);
            g.y0 = fy(rng);
        }
        g.x1 = g.x0 + len(rng);
        g.y1 = g.y0 + len(rng);
        guides.push_back(g);
    }
    return guides;
}

TEST(Synthesis, FastEqualsOracleBitForBitOnRandomPictures) {
    struct Shape {
        std::int32_t width, height;
        int guides;
    };
    // Odd widths around the vector and tile widths, one-row and one-column
    // pictures, and sizes large enough to be shared among the worker threads.
    const Shape shapes[] = {{1, 1, 3},   {1, 9, 5},    {7, 1, 4},    {9, 3, 17},   {63, 2, 8},
                            {64, 3, 8},  {65, 4, 9},   {129, 7, 33}, {333, 77, 40}, {1000, 1, 70},
                            {3, 500, 30}, {71, 61, 257}};
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<float> scale(-3.0f, 3.0f);
    for (const Shape& s : shapes) {
        const std::vector<GuideSegment> guides = randomGuides(rng, s.guides, s.width, s.height);
        EXPECT_TRUE(fastMatchesOracle(guides, scale(rng), s.width, s.height));
        EXPECT_TRUE(fastMatchesOracle(guides, 2.0454545f, s.width, s.height));
    }
}

TEST(Synthesis, FastEqualsOracleOnExtremeCoordinates) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float huge = 3.0e38f;
    const float tiny = 1.0e-30f;     // squares underflow to zero or subnormals
    const float subnormal = 1.0e-40f;
    struct Case {
        const char* what;
        std::vector<GuideSegment> guides;
        float flowScale;
    };
    const Case cases[] = {
        {"huge coordinates, vector overflows to infinity", {{-huge, 2.0f, huge, 2.0f}, {5.0f, 1.0f, 6.0f, 1.0f}}, 1.0f},
        {"huge distance squares overflow", {{huge, huge, 1.0f, 1.0f}, {2.0f, 2.0f, 3.0f, 5.0f}}, 1.0f},
        {"tiny offsets from a cell", {{3.0f + 4.0e-7f, 1.0f, 4.0f, 1.0f}, {tiny, tiny, 1.0f, 1.0f}}, 1.0f},
        {"subnormal coordinates", {{subnormal, 0.0f, 1.0f, -1.0f}, {0.0f, subnormal, -2.0f, 1.0f}}, 2.0f},
        {"infinite second endpoint on a cell", {{4.0f, 2.0f, inf, 0.0f}, {1.0f, 1.0f, 2.0f, 2.0f}}, 1.0f},
        {"NaN endpoints", {{nan, 1.0f, 2.0f, 2.0f}, {3.0f, 2.0f, nan, 1.0f}, {1.0f, 1.0f, 2.0f, 3.0f}}, 1.0f},
        {"infinite first endpoint", {{inf, 1.0f, 2.0f, 2.0f}, {1.0f, 1.0f, 2.0f, 3.0f}}, 1.0f},
        {"cancelling guides on one cell", {{2.0f, 2.0f, 3.0f, 2.0f}, {2.0f, 2.0f, 1.0f, 2.0f}}, -1.0f},
        {"negative scale where nothing reaches", {{5.0f, 0.0f, 6.0f, 6.0f}}, -2.0f},
        {"infinite scale", {{5.0f, 0.0f, 6.0f, 6.0f}, {1.5f, 1.5f, 1.5f, 1.5f}}, inf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(fastMatchesOracle(c.guides, c.flowScale, 11, 3));
        EXPECT_TRUE(fastMatchesOracle(c.guides, c.flowScale, 70, 5));
    }
}

TEST(Synthesis, EveryCallOfTheProgramsEntryEqualsTheOracle) {
    // Repeated calls hand new jobs to the same worker pool; a worker that
    // missed a job or wrote a stale band would show here.
    std::mt19937 rng(7u);
    const std::vector<GuideSegment> guides = randomGuides(rng, 64, 200, 150);
    FlowGrid oracle(200, 150);
    computeFlowFieldReference(guides, 1.5f, oracle);
    FlowGrid field(200, 150);
    for (int i = 0; i < 20; ++i) {
        std::fill(field.data(), field.data() + field.cellCount(), Vec2{-1.0f, -1.0f});
        computeFlowField(guides, 1.5f, field);
        ASSERT_EQ(std::memcmp(oracle.data(), field.data(), oracle.byteCount()), 0) << "call " << i;
    }
}

}  // namespace
