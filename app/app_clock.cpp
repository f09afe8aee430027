#include "app/app_clock.h"

#include "platform/perf_counter.h"

namespace {
AppClock appClock;

double elapsedMicroseconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // The difference is taken in 64-bit integers before it becomes a double,
    // so precision does not fade with the counter's absolute value.
    const std::int64_t elapsedCounts = now.QuadPart - appClock.startCount;
    return static_cast<double>(elapsedCounts) / appClock.frequency * 1000000.0;
}
}  // namespace

void startAppClock() {
    if (!appClock.frequencyRead) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        appClock.frequency = static_cast<double>(frequency.QuadPart);
        appClock.frequencyRead = true;
    }
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    appClock.startCount = start.QuadPart;
}

double appClockMicroseconds() { return elapsedMicroseconds(); }
double appClockMilliseconds() { return elapsedMicroseconds() / 1000.0; }
double appClockSeconds() { return elapsedMicroseconds() / 1000.0 / 1000.0; }
