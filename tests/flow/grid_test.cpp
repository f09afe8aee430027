#include "flow/grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Every cell distinct, small and exact, and linear in x and y: equality pins
// which cell was read, and a correct bilinear sample reproduces the linear
// function (inside, and as extrapolation just left of or above the grid).
FlowGrid makeLinearGrid(std::int32_t width, std::int32_t height) {
    FlowGrid grid(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            grid.at(x, y) = Vec2{static_cast<float>(10 * x + y), static_cast<float>(-100 * y - x)};
        }
    }
    return grid;
}

Vec2 linearValue(Vec2 p) { return Vec2{10.0f * p.x + p.y, -100.0f * p.y - p.x}; }

void expectCell(const FlowGrid& grid, Vec2 position, std::int32_t cellX, std::int32_t cellY) {
    const Vec2 sample = sampleFlow(grid, position);
    EXPECT_EQ(sample.x, grid.at(cellX, cellY).x) << "at (" << position.x << ", " << position.y << ")";
    EXPECT_EQ(sample.y, grid.at(cellX, cellY).y) << "at (" << position.x << ", " << position.y << ")";
}

TEST(SampleFlow, IntegerPositionsInsideTheClampReturnTheirCell) {
    const FlowGrid grid = makeLinearGrid(7, 6);
    for (std::int32_t j = 0; j <= grid.height - 3; ++j) {
        for (std::int32_t i = 0; i <= grid.width - 3; ++i) {
            expectCell(grid, Vec2{static_cast<float>(i), static_cast<float>(j)}, i, j);
        }
    }
}

TEST(SampleFlow, InsideAndJustBeforeTheGridTheSampleIsBilinear) {
    // Includes -1 < x < 0 and -1 < y < 0, where the corner is 0 and the
    // negative fraction extrapolates from columns (rows) 0 and 1.
    const FlowGrid grid = makeLinearGrid(9, 8);
    const Vec2 positions[] = {{0.25f, 0.5f},   {3.75f, 2.125f}, {5.5f, 4.875f}, {1.0f, 3.5f},
                              {2.5f, 0.0f},    {-0.25f, 1.0f},  {2.0f, -0.5f},  {-0.75f, -0.125f},
                              {-0.5f, 4.25f}};
    for (const Vec2 p : positions) {
        const Vec2 sample = sampleFlow(grid, p);
        const Vec2 expected = linearValue(p);
        EXPECT_FLOAT_EQ(sample.x, expected.x) << p.x << ", " << p.y;
        EXPECT_FLOAT_EQ(sample.y, expected.y) << p.x << ", " << p.y;
    }
}

TEST(SampleFlow, ExtrapolationLeftOfTheGridWeighsColumnsZeroAndOne) {
    // x = -0.25: weights 1.25 and -0.25, summed in the documented order.
    FlowGrid grid(4, 4);
    grid.at(0, 0) = Vec2{4.0f, 1.0f};
    grid.at(1, 0) = Vec2{8.0f, -3.0f};
    const Vec2 sample = sampleFlow(grid, Vec2{-0.25f, 0.0f});
    EXPECT_EQ(sample.x, 1.25f * 4.0f + -0.25f * 8.0f);  // 3
    EXPECT_EQ(sample.y, 1.25f * 1.0f + -0.25f * -3.0f); // 2
}

TEST(SampleFlow, PositionsBeyondTheClampReadTheEdgeColumnOrRow) {
    const FlowGrid grid = makeLinearGrid(7, 6);
    const std::int32_t lastColumn = grid.width - 3;  // 4
    const std::int32_t lastRow = grid.height - 3;    // 3
    const float beyondX[] = {4.0f, 4.5f, 5.0f, 5.75f, 6.0f, 7.0f, 100.5f, 1e9f, 3e38f, kInf};
    for (const float x : beyondX) {
        expectCell(grid, Vec2{x, 2.0f}, lastColumn, 2);
        expectCell(grid, Vec2{x, 0.0f}, lastColumn, 0);
        expectCell(grid, Vec2{x, 1e20f}, lastColumn, lastRow);
    }
    const float beyondY[] = {3.0f, 3.5f, 4.0f, 5.25f, 6.0f, 1e12f, kInf};
    for (const float y : beyondY) {
        expectCell(grid, Vec2{1.0f, y}, 1, lastRow);
    }
    // x <= -1 (and y <= -1) reads column (row) 0 only.
    const float beforeStart[] = {-1.0f, -1.5f, -7.25f, -1e9f, -3e38f, -kInf};
    for (const float v : beforeStart) {
        expectCell(grid, Vec2{v, 2.0f}, 0, 2);
        expectCell(grid, Vec2{3.0f, v}, 3, 0);
        expectCell(grid, Vec2{v, v}, 0, 0);
    }
}

TEST(SampleFlow, BeyondTheLastColumnOnlyRowsAreInterpolated) {
    const FlowGrid grid = makeLinearGrid(7, 6);
    const Vec2 sample = sampleFlow(grid, Vec2{50.25f, 1.5f});
    EXPECT_EQ(sample.x, 0.5f * grid.at(4, 1).x + 0.5f * grid.at(4, 2).x);
    EXPECT_EQ(sample.y, 0.5f * grid.at(4, 1).y + 0.5f * grid.at(4, 2).y);
}

TEST(SampleFlow, TheLastTwoColumnsAndRowsAreNeverRead) {
    FlowGrid grid = makeLinearGrid(6, 5);
    for (std::int32_t y = 0; y < grid.height; ++y) {
        for (std::int32_t x = 0; x < grid.width; ++x) {
            if (x >= grid.width - 2 || y >= grid.height - 2) grid.at(x, y) = Vec2{kNaN, kNaN};
        }
    }
    for (float y = -2.0f; y <= 8.0f; y += 0.125f) {
        for (float x = -2.0f; x <= 9.0f; x += 0.125f) {
            const Vec2 sample = sampleFlow(grid, Vec2{x, y});
            ASSERT_TRUE(std::isfinite(sample.x) && std::isfinite(sample.y)) << x << ", " << y;
        }
    }
}

TEST(SampleFlow, TheSmallestGridReadsOnlyItsFirstCell) {
    FlowGrid grid = makeLinearGrid(kMinimumGridSide, kMinimumGridSide);
    grid.at(0, 0) = Vec2{2.0f, -6.0f};
    const Vec2 positions[] = {{0.0f, 0.0f}, {0.5f, 0.25f}, {1.0f, 1.0f}, {2.75f, 1.5f}, {-3.0f, 9.0f}};
    for (const Vec2 p : positions) expectCell(grid, p, 0, 0);
}

TEST(SampleFlow, ANaNPositionStaysInsideTheGridAndGivesNaN) {
    const FlowGrid grid = makeLinearGrid(5, 5);
    const Vec2 sample = sampleFlow(grid, Vec2{kNaN, 1.0f});
    EXPECT_TRUE(std::isnan(sample.x));
    EXPECT_TRUE(std::isnan(sample.y));
}

TEST(IdentityGrid, HoldsEachCellsOwnPositionInStorageOrder) {
    const FlowGrid grid = makeIdentityGrid(3, 2);
    ASSERT_EQ(grid.width, 3);
    ASSERT_EQ(grid.height, 2);
    const float expected[] = {0, 0, 1, 0, 2, 0, 0, 1, 1, 1, 2, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(grid.data()[i].x, expected[2 * i]) << i;
        EXPECT_EQ(grid.data()[i].y, expected[2 * i + 1]) << i;
    }
    // Sampling the identity gives back the position (inside the clamp).
    const FlowGrid big = makeIdentityGrid(640, 480);
    const Vec2 sample = sampleFlow(big, Vec2{123.375f, 401.5f});
    EXPECT_EQ(sample.x, 123.375f);
    EXPECT_EQ(sample.y, 401.5f);
}

TEST(IdentityGrid, NonPositiveSizesGiveAnEmptyGrid) {
    EXPECT_TRUE(makeIdentityGrid(0, 4).empty());
    EXPECT_TRUE(makeIdentityGrid(4, -1).empty());
}

TEST(Grid, NewGridsAreZeroAndEmptyOnesOwnNothing) {
    const ImageGrid picture(5, 3);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(picture.byteCount(), 60u);
    for (std::int64_t i = 0; i < picture.cellCount(); ++i) {
        const Rgba8 p = picture.data()[i];
        EXPECT_EQ(p.r | p.g | p.b | p.a, 0);
    }
    const ByteMask none(0, 7);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.cellCount(), 0);
}

TEST(Grid, CopyAssignmentFollowsTheStorageRules) {
    ByteMask source(4, 3);
    for (std::int64_t i = 0; i < source.cellCount(); ++i) source.data()[i] = static_cast<std::uint8_t>(i + 1);

    // Self-assignment changes nothing.
    ByteMask self = source;
    const std::uint8_t* selfStorage = self.data();
    ByteMask& alias = self;
    self = alias;
    EXPECT_EQ(self.data(), selfStorage);
    EXPECT_EQ(self.at(3, 2), 12);

    // The same size copies into the existing storage.
    ByteMask sameSize(4, 3);
    const std::uint8_t* kept = sameSize.data();
    sameSize = source;
    EXPECT_EQ(sameSize.data(), kept);
    EXPECT_EQ(sameSize.at(1, 1), 6);
    EXPECT_NE(sameSize.data(), source.data());

    // Another size takes the source's size and a copy of its cells.
    ByteMask otherSize(9, 9);
    otherSize = source;
    EXPECT_EQ(otherSize.width, 4);
    EXPECT_EQ(otherSize.height, 3);
    EXPECT_EQ(otherSize.at(3, 2), 12);
    EXPECT_NE(otherSize.data(), source.data());

    // An empty source leaves an empty grid.
    otherSize = ByteMask();
    EXPECT_TRUE(otherSize.empty());
    EXPECT_EQ(otherSize.width, 0);
    EXPECT_EQ(otherSize.height, 0);
}

TEST(Grid, MovingLeavesTheSourceEmpty) {
    FlowGrid source(3, 3);
    const Vec2* storage = source.data();
    FlowGrid target(std::move(source));
    EXPECT_EQ(target.data(), storage);
    EXPECT_TRUE(source.empty());
    EXPECT_EQ(source.width, 0);
    FlowGrid assigned;
    assigned = std::move(target);
    EXPECT_EQ(assigned.data(), storage);
    EXPECT_EQ(assigned.width, 3);
    EXPECT_TRUE(target.empty());
}

TEST(Grid, TryCreateReportsAnImpossibleSizeAndLeavesAnEmptyGrid) {
    ImageGrid picture(4, 4);
    EXPECT_FALSE(picture.tryCreate(std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::max()));
    EXPECT_TRUE(picture.empty());
    EXPECT_EQ(picture.width, 0);
    EXPECT_EQ(picture.height, 0);
    EXPECT_TRUE(picture.tryCreate(2, 3));
    EXPECT_EQ(picture.byteCount(), 24u);
}

}  // namespace
