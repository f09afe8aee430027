#include "app/export_timing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "app/layer_plan.h"

namespace {

// Denominators up to this state any rate a user types (29.97 = 2997/100) and
// a loop's count over its spacing within far less than a frame per hour.
constexpr std::int64_t kRateMaxDenominator = 10000;

// A bound on the warm-up search: the layers' first phases lie within a few
// periods of time 0, so their first resets come long before this.
constexpr std::int64_t kMaxWarmUpSteps = 1 << 22;

}  // namespace

void nearestFraction(double value, std::int64_t maxDenominator, std::int64_t& numerator,
                     std::int64_t& denominator) {
    // Convergents h/k of the continued fraction, stopped before k grows past
    // the bound.
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    double x = value;
    for (int i = 0; i < 64; ++i) {
        const double a = std::floor(x);
        const std::int64_t ai = static_cast<std::int64_t>(a);
        const std::int64_t k2 = ai * k1 + k0;
        if (k2 > maxDenominator) break;
        const std::int64_t h2 = ai * h1 + h0;
        h0 = h1;
        h1 = h2;
        k0 = k1;
        k1 = k2;
        const double rest = x - a;
        if (rest < 1e-12) break;
        x = 1.0 / rest;
    }
    numerator = h1;
    denominator = k1 > 0 ? k1 : 1;
}

ExportTiming planLoopExport(float phaseSpacing, double fps, int loops) {
    const double period = static_cast<double>(phaseSpacing);
    ExportTiming timing;
    timing.framesPerPeriod = std::max<std::int64_t>(1, std::llround(period * fps));
    if (loops <= 0) loops = static_cast<int>(std::ceil(kDefaultLoopSeconds / period - 1e-9));
    timing.frameCount = timing.framesPerPeriod * std::max(loops, 1);
    timing.stepNumerator = period;
    timing.stepDivisor = static_cast<double>(timing.framesPerPeriod);
    nearestFraction(static_cast<double>(timing.framesPerPeriod) / period, kRateMaxDenominator,
                    timing.rateNumerator, timing.rateDenominator);
    return timing;
}

ExportTiming planTimedExport(double fps, double seconds) {
    ExportTiming timing;
    timing.frameCount = std::max<std::int64_t>(1, std::llround(seconds * fps));
    timing.framesPerPeriod = 0;
    timing.stepNumerator = 1.0;
    timing.stepDivisor = fps;
    nearestFraction(fps, kRateMaxDenominator, timing.rateNumerator, timing.rateDenominator);
    return timing;
}

double exportGridTime(const ExportTiming& timing, std::int64_t j) {
    // The product first, then one division: the times of a loop's grid are
    // then as close to whole fractions of the period as double allows.
    return ((static_cast<double>(j) + 0.5) * timing.stepNumerator) / timing.stepDivisor;
}

double exportFrameStep(const ExportTiming& timing) { return timing.stepNumerator / timing.stepDivisor; }

double exportDuration(const ExportTiming& timing) {
    return static_cast<double>(timing.frameCount) * static_cast<double>(timing.rateDenominator) /
           static_cast<double>(timing.rateNumerator);
}

bool loopScheduleOf(const ExportTiming& timing, float phaseSpacing, const std::array<double, 3>& phases,
                    LoopSchedule& schedule) {
    if (timing.framesPerPeriod <= 0 || !(phaseSpacing > 0.0f)) return false;
    const double spacing = static_cast<double>(phaseSpacing);
    for (std::size_t i = 0; i < 3; ++i) {
        const double multiple = phases[i] / spacing;
        if (!std::isfinite(multiple) || std::abs(multiple) > 1.0e6 ||
            std::abs(multiple - std::nearbyint(multiple)) > 1.0e-9) {
            return false;
        }
        schedule.firstPhase[i] = static_cast<std::int64_t>(std::nearbyint(multiple)) * timing.framesPerPeriod;
    }
    schedule.cycle = 3 * timing.framesPerPeriod;
    return true;
}

LayerPlan planLoopStep(const ExportTiming& timing, const LoopSchedule& schedule, float phaseSpacing, std::int64_t j) {
    const float frameStep = static_cast<float>(exportFrameStep(timing));
    LayerPlan plan{};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int64_t sinceFirst = j - schedule.firstPhase[i];
        std::int64_t ageSteps = sinceFirst;  // before its first reset a layer ages from its first phase
        bool reset = false;
        if (sinceFirst >= schedule.cycle) {
            ageSteps = sinceFirst % schedule.cycle;
            // A layer overdue at the grid's first step catches up there.
            reset = ageSteps == 0 || j == 0;
        }
        // The age as the grid's own times are formed: the same whole number
        // of steps always gives the same seconds.
        const double age = exportGridTime(timing, ageSteps);
        plan.reset[i] = reset;
        plan.step[i] = reset ? static_cast<float>(age) : frameStep;
        plan.weight[i] = layerWeight(age, phaseSpacing);
    }
    return plan;
}

ExportStart findLoopStart(const LoopSchedule& schedule) {
    ExportStart start;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int64_t firstReset = std::max<std::int64_t>(0, schedule.firstPhase[i] + schedule.cycle);
        start.warmUpStart = i == 0 ? firstReset : std::min(start.warmUpStart, firstReset);
        start.firstFrame = i == 0 ? firstReset : std::max(start.firstFrame, firstReset);
    }
    return start;
}

WarmUpCopies planWarmUpCopies(const ExportTiming& timing, const LoopSchedule& schedule, float phaseSpacing,
                              const ExportStart& start) {
    WarmUpCopies copies;
    std::array<std::int64_t, 3> firstReset{};
    for (std::size_t i = 0; i < 3; ++i) {
        firstReset[i] = std::max<std::int64_t>(0, schedule.firstPhase[i] + schedule.cycle);
        if (firstReset[i] < firstReset[copies.lead]) copies.lead = i;
    }
    const std::size_t lead = copies.lead;
    for (std::size_t i = 0; i < 3; ++i) {
        // The passes layer i runs before the first frame; the lead runs at
        // least as many, from an earlier or the same reset.
        const std::int64_t steps = start.firstFrame - firstReset[i];
        if (i == lead || steps <= 0) continue;
        bool alike = true;
        for (std::int64_t a = 0; a < steps && alike; ++a) {
            const LayerPlan own = planLoopStep(timing, schedule, phaseSpacing, firstReset[i] + a);
            const LayerPlan leads = planLoopStep(timing, schedule, phaseSpacing, firstReset[lead] + a);
            // The same float to the bit: the passes then write the same bits.
            alike = own.reset[i] == leads.reset[lead] &&
                    std::memcmp(&own.step[i], &leads.step[lead], sizeof(float)) == 0;
        }
        if (alike) copies.copyAfter[i] = firstReset[lead] + steps - 1;
    }
    return copies;
}

ExportStart findExportStart(const ExportTiming& timing, float phaseSpacing, std::array<double, 3> phases) {
    ExportStart start;
    bool anyReset = false;
    bool everReset[3] = {false, false, false};
    const float step = static_cast<float>(exportFrameStep(timing));
    for (std::int64_t j = 0; j < kMaxWarmUpSteps; ++j) {
        const LayerPlan plan = planLayers(exportGridTime(timing, j), step, phaseSpacing, phases);
        if (!anyReset && (plan.reset[0] || plan.reset[1] || plan.reset[2])) {
            anyReset = true;
            start.warmUpStart = j;
        }
        for (int i = 0; i < 3; ++i) everReset[i] = everReset[i] || plan.reset[i];
        if (everReset[0] && everReset[1] && everReset[2]) {
            start.firstFrame = j;
            return start;
        }
    }
    start.firstFrame = kMaxWarmUpSteps;
    return start;
}
