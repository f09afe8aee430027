#pragma once
// A high-resolution counter with the interface the application clock is
// written against: a fixed frequency in counts per second and a monotonic
// count. The window backend counts real time (std::chrono::steady_clock);
// the offscreen backend switches to a virtual counter that stands still
// until the first guiUpdate and then advances by exactly one frame time per
// guiUpdate, so offscreen runs are deterministic.

#include <cstdint>

struct LARGE_INTEGER {
    std::int64_t QuadPart = 0;
};

// Counts per second; the same value for the whole life of the process.
bool QueryPerformanceFrequency(LARGE_INTEGER* frequency);
bool QueryPerformanceCounter(LARGE_INTEGER* count);
