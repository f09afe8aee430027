#pragma once
// Work on the rows of a large grid, shared out in bands over the hardware
// threads: for passes over a whole picture (the freeze) or a large part of
// it (a wide brush stamp) whose rows are independent of each other.

#include <cstdint>
#include <functional>

// Calls work(rowBegin, rowEnd) for bands of consecutive rows that together
// cover [0, rowCount) exactly once, and returns when all are done. Below
// about a quarter of a million cells (rowCount * cellsPerRow) everything runs
// on the calling thread in one band; above, bands run on threads started for
// the call, one per hardware thread, the caller taking one of them. `work`
// must only touch its own rows.
void forEachRowBand(std::int32_t rowCount, std::int64_t cellsPerRow,
                    const std::function<void(std::int32_t rowBegin, std::int32_t rowEnd)>& work);
