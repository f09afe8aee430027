#pragma once
// How the GUI backends steer the counter of perf_counter.h. Not for the
// program: it only ever reads the counter.

#include <cstdint>

// Counts per second of QueryPerformanceCounter, in both modes.
constexpr std::int64_t perfCounterFrequency = 1000000000;  // nanoseconds

// From now on the counter stands still at the last value it returned (so it
// never runs backwards, and a clock started just before reads 0) and moves
// only through advancePerfCounterFrame, by stepCounts each time.
void startVirtualPerfCounter(std::int64_t stepCounts);
void advancePerfCounterFrame();
