#include "flow/row_bands.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

// Below this many cells a pass is over before threads would have started.
constexpr std::int64_t kCellsForThreads = 1 << 18;

// Upper bound on threads, whatever the machine reports.
constexpr unsigned kMaxThreads = 64;

}  // namespace

void forEachRowBand(std::int32_t rowCount, std::int64_t cellsPerRow,
                    const std::function<void(std::int32_t rowBegin, std::int32_t rowEnd)>& work) {
    if (rowCount <= 0) return;
    const unsigned hardware = std::min(std::max(std::thread::hardware_concurrency(), 1u), kMaxThreads);
    const std::int64_t cells = static_cast<std::int64_t>(rowCount) * std::max<std::int64_t>(cellsPerRow, 0);
    const std::int32_t bands =
        cells < kCellsForThreads ? 1 : std::min(static_cast<std::int32_t>(hardware), rowCount);
    if (bands <= 1) {
        work(0, rowCount);
        return;
    }
    const std::int32_t rowsPerBand = (rowCount + bands - 1) / bands;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(bands - 1));
    for (std::int32_t begin = rowsPerBand; begin < rowCount; begin += rowsPerBand) {
        const std::int32_t end = std::min(rowCount, begin + rowsPerBand);
        threads.emplace_back([&work, begin, end] { work(begin, end); });
    }
    work(0, std::min(rowCount, rowsPerBand));
    for (std::thread& thread : threads) thread.join();
}
