#include "platform/perf_counter.h"

#include <chrono>

#include "platform/perf_counter_control.h"

namespace {
// The counter's process-wide state: whether it is virtual, and where.
struct PerfCounterState {
    bool isVirtual = false;
    std::int64_t lastReturned = 0;   // the last count handed out
    bool returnedAny = false;
    std::int64_t virtualBase = 0;    // count at virtual frame 0
    std::int64_t stepCounts = 0;     // counts per virtual frame
    std::int64_t frames = 0;         // virtual frames advanced
};
PerfCounterState counter;

std::int64_t realCount() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

bool QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = perfCounterFrequency;
    return true;
}

bool QueryPerformanceCounter(LARGE_INTEGER* count) {
    count->QuadPart = counter.isVirtual ? counter.virtualBase + counter.frames * counter.stepCounts : realCount();
    counter.lastReturned = count->QuadPart;
    counter.returnedAny = true;
    return true;
}

void startVirtualPerfCounter(std::int64_t stepCounts) {
    if (!counter.returnedAny) {
        counter.lastReturned = realCount();
        counter.returnedAny = true;
    }
    counter.isVirtual = true;
    counter.virtualBase = counter.lastReturned;
    counter.stepCounts = stepCounts;
    counter.frames = 0;
}

void advancePerfCounterFrame() {
    if (counter.isVirtual) ++counter.frames;
}
