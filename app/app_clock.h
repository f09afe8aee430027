#pragma once
// The program's clock: time since start-up on the platform's high-resolution
// counter. Process-wide; started once during start-up, before the window.
//
// Every reading is a fresh counter query, converted counts -> microseconds ->
// milliseconds -> seconds in double, so two readings taken one after the
// other (milliseconds, then seconds) may differ slightly.

#include <cstdint>

struct AppClock {
    double frequency = 0.0;        // counts per second, read once per process
    bool frequencyRead = false;    // whether frequency holds the counter's value
    std::int64_t startCount = 0;   // counter value at start; time 0 of the program
};

// Reads the frequency if it has not been read yet, then takes the start count.
void startAppClock();

double appClockMicroseconds();
double appClockMilliseconds();
double appClockSeconds();
