// The freeze: the synthesised flow times (255 - mask) / 255, cell by cell.

#include "flow/freeze.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "flow/synthesis.h"

namespace {

TEST(Freeze, EachCellMovesAtTheShareOfItsMaskLeftUnpainted) {
    // One row per mask value, wide enough that the cells tested a group at a
    // time and the loose ones at the end both occur.
    const std::uint8_t values[] = {0, 1, 128, 254, 255};
    const std::int32_t width = 19;
    FlowGrid field(width, 5);
    ByteMask mask(width, 5);
    for (std::int32_t y = 0; y < 5; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            field.at(x, y) = Vec2{3.0f + static_cast<float>(x), -7.5f};
            mask.at(x, y) = values[y];
        }
    }
    // A vector that is not a number is still held still where fully painted.
    field.at(4, 4) = Vec2{std::numeric_limits<float>::quiet_NaN(), 1.0f};
    const FlowGrid before = field;
    freezeFlow(mask, field);
    for (std::int32_t y = 0; y < 5; ++y) {
        const float factor = static_cast<float>(255 - values[y]) / 255.0f;
        for (std::int32_t x = 0; x < width; ++x) {
            SCOPED_TRACE(::testing::Message() << "mask " << int(values[y]) << ", column " << x);
            if (values[y] == 255) {
                EXPECT_EQ(field.at(x, y).x, 0.0f);
                EXPECT_EQ(field.at(x, y).y, 0.0f);
                continue;
            }
            EXPECT_EQ(field.at(x, y).x, before.at(x, y).x * factor);
            EXPECT_EQ(field.at(x, y).y, before.at(x, y).y * factor);
        }
    }
}

TEST(Freeze, AnUnpaintedMaskLeavesTheSynthesisBitForBitAndAMaskOfAnotherSizeIsIgnored) {
    const std::vector<GuideSegment> guides = {{10, 10, 14, 12}, {30, 5, 20, 25}};
    FlowGrid synthesised(37, 23);
    computeFlowField(guides, 2.0454545f, synthesised);
    FlowGrid field = synthesised;
    freezeFlow(ByteMask(37, 23), field);
    EXPECT_EQ(0, std::memcmp(field.data(), synthesised.data(), synthesised.byteCount()));

    ByteMask other(36, 23);
    std::memset(other.data(), 255, other.byteCount());
    freezeFlow(other, field);
    freezeFlow(ByteMask(), field);
    EXPECT_EQ(0, std::memcmp(field.data(), synthesised.data(), synthesised.byteCount()));
}

}  // namespace
