#pragma once
// When each frame of an exported video is rendered: plain arithmetic, no GL.
//
// Frames sit on a grid of virtual time, grid step j at
//     t(j) = ((j + 0.5) * stepNumerator) / stepDivisor   seconds,
// each time computed afresh from j (never summed), so frame k is the same on
// every run. The half step keeps every frame clear of the instants where a
// layer's cycle ends (whole multiples of the phase spacing), so which frame
// resets a layer never hangs on a rounding.

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/layer_plan.h"

// The longest and most frames per second an export accepts: beyond these a
// mistyped number would only make a huge file very slowly.
constexpr double kMaxExportFps = 240.0;
constexpr double kMaxExportSeconds = 3600.0;
// Without --loops, a loop export covers the fewest whole periods that last
// at least this long.
constexpr double kDefaultLoopSeconds = 3.0;

struct ExportTiming {
    std::int64_t frameCount = 0;        // frames in the file
    std::int64_t framesPerPeriod = 0;   // a loop's frames per phase spacing; 0: a length in seconds
    double stepNumerator = 1.0;         // time step = stepNumerator / stepDivisor seconds
    double stepDivisor = 30.0;
    std::int64_t rateNumerator = 30;    // the frame rate the file states, as a fraction
    std::int64_t rateDenominator = 1;
};

// K whole periods of the loop (loops 0: the fewest that last at least
// kDefaultLoopSeconds): round(phaseSpacing * fps) frames per period, at least
// one, and the time step phaseSpacing divided by that count, so that the
// animation keeps its speed and the frame after the last is the first again.
// The stated rate is that count over phaseSpacing.
ExportTiming planLoopExport(float phaseSpacing, double fps, int loops);

// round(seconds * fps) frames (at least one) at fps; no loop promise.
ExportTiming planTimedExport(double fps, double seconds);

// Seconds of virtual time of grid step j.
double exportGridTime(const ExportTiming& timing, std::int64_t j);
// The time step between frames, in seconds.
double exportFrameStep(const ExportTiming& timing);
// The file's length in seconds: frames over the stated rate.
double exportDuration(const ExportTiming& timing);

// Where the export starts, found by running the layer scheduling alone from
// the first layer phases `phases` (as start-up sets them, for time 0):
// warmUpStart is the first grid step that resets a layer, firstFrame the
// first at which every layer has been reset at least once since time 0.
// Frames before warmUpStart would be overwritten by those resets anyway, so
// rendering starts there; exported frame k is grid step firstFrame + k.
struct ExportStart {
    std::int64_t warmUpStart = 0;
    std::int64_t firstFrame = 0;
};
ExportStart findExportStart(const ExportTiming& timing, float phaseSpacing, std::array<double, 3> phases);

// A loop's layer schedule in whole grid steps. On a loop's grid one phase
// spacing is exactly framesPerPeriod steps, and start-up puts the first
// layer phases on whole multiples of the spacing ((2p, p, 0) from a
// document; (-1, -0.5, 0) s at the default 0.5 s without one), so every
// reset falls on a grid step and every layer's age is a whole number of
// steps plus the half step. Planned from those whole numbers, layers of the
// same age get the same advect step and weight to the last bit, whichever
// layer they are and whichever period it is, so grid step j + framesPerPeriod
// shows what step j shows. (planLayers, working from t - phase, is off by a
// rounding now and then, which showed as one level at a pixel.)
struct LoopSchedule {
    std::array<std::int64_t, 3> firstPhase{};  // each layer's first phase, in grid steps
    std::int64_t cycle = 0;                    // steps of a layer's cycle: 3 x framesPerPeriod
};

// The schedule of a loop's grid from the first layer phases (seconds);
// false when `timing` is not a loop's or a phase is not a whole multiple of
// the spacing.
bool loopScheduleOf(const ExportTiming& timing, float phaseSpacing, const std::array<double, 3>& phases,
                    LoopSchedule& schedule);

// What planLayers decides at grid step j, when the steps run in order from
// the first (or from findExportStart's warmUpStart): the resets, the advect
// steps (a fresh layer's age, otherwise one frame step) and the weights,
// each from whole steps.
LayerPlan planLoopStep(const ExportTiming& timing, const LoopSchedule& schedule, float phaseSpacing, std::int64_t j);

// The same as findExportStart, for a loop's schedule.
ExportStart findLoopStart(const LoopSchedule& schedule);

// A loop's warm-up with fewer passes. From its reset on, what a layer holds
// depends only on the resets and steps planned for it, and a loop's grid
// plans layers of the same age alike. So a layer whose plans from its first
// reset up to the first frame are the plans of the layer reset first over
// as many steps ends the warm-up holding what that layer held after them:
// it is copied from there instead of being advected, which spares a
// period's advect passes (a third of the warm-up's). A layer planned
// otherwise (one that catches up at step 0, whose first step is its whole
// age) runs its own passes.
struct WarmUpCopies {
    std::size_t lead = 0;  // the layer reset first: the copies are its
    // After the passes of grid step copyAfter[i] the lead holds what layer i
    // holds at the end of the warm-up; -1: layer i runs its own passes.
    std::array<std::int64_t, 3> copyAfter{-1, -1, -1};
};
WarmUpCopies planWarmUpCopies(const ExportTiming& timing, const LoopSchedule& schedule, float phaseSpacing,
                              const ExportStart& start);

// The fraction nearest to `value` whose denominator is at most
// maxDenominator (continued fractions), for stating a frame rate exactly.
void nearestFraction(double value, std::int64_t maxDenominator, std::int64_t& numerator,
                     std::int64_t& denominator);
