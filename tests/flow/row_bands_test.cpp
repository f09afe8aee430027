// Rows shared out in bands: every row is worked on exactly once, on one
// band for small grids and over the threads for large ones.

#include "flow/row_bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

TEST(RowBands, EveryRowIsWorkedOnExactlyOnce) {
    const struct {
        std::int32_t rows;
        std::int64_t cellsPerRow;
        bool shared;  // large enough for threads (on a machine that has several)
    } cases[] = {{0, 100, false}, {1, 1 << 20, false}, {7, 5, false},
                 {3, 1 << 20, true}, {2880, 3840, true}, {1000, 1000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rows << " rows of " << c.cellsPerRow);
        std::unique_ptr<std::atomic<int>[]> visits(new std::atomic<int>[static_cast<std::size_t>(c.rows) + 1]);
        for (std::int32_t i = 0; i <= c.rows; ++i) visits[static_cast<std::size_t>(i)] = 0;
        std::mutex mutex;
        std::set<std::thread::id> threads;
        int bands = 0;
        forEachRowBand(c.rows, c.cellsPerRow, [&](std::int32_t begin, std::int32_t end) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                threads.insert(std::this_thread::get_id());
                ++bands;
            }
            ASSERT_LE(0, begin);
            ASSERT_LT(begin, end);
            ASSERT_LE(end, c.rows);
            for (std::int32_t row = begin; row < end; ++row) ++visits[static_cast<std::size_t>(row)];
        });
        for (std::int32_t row = 0; row < c.rows; ++row) EXPECT_EQ(visits[static_cast<std::size_t>(row)], 1) << row;
        const bool severalThreads = c.shared && std::thread::hardware_concurrency() > 1 && c.rows > 1;
        EXPECT_EQ(bands > 1, severalThreads);
        EXPECT_EQ(threads.size() > 1, severalThreads);
    }
}

}  // namespace
