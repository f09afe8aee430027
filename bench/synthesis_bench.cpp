// Flow synthesis: the literal oracle and the vectorised, threaded version side
// by side, on full-HD and 4K pictures with 1 to 256 guides.
//
// Figures: real time per synthesis (the threads make CPU time meaningless),
// and the cost of one (cell, guide) pair in nanoseconds of one core
// ("ns_per_pair_core" = wall time * hardware threads / pairs).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "flow/synthesis.h"

namespace {

// Guides spread over and around the picture, the same for every run.
std::vector<GuideSegment> benchGuides(int count, std::int32_t width, std::int32_t height) {
    std::mt19937 rng(12345u);
    std::uniform_real_distribution<float> gx(-0.1f * static_cast<float>(width), 1.1f * static_cast<float>(width));
    std::uniform_real_distribution<float> gy(-0.1f * static_cast<float>(height), 1.1f * static_cast<float>(height));
    std::uniform_real_distribution<float> len(-60.0f, 60.0f);
    std::vector<GuideSegment> guides(static_cast<std::size_t>(count));
    for (GuideSegment& g : guides) {
        g.x0 = gx(rng);
        g.y0 = gy(rng);
        g.x1 = g.x0 + len(rng);
        g.y1 = g.y0 + len(rng);
    }
    return guides;
}

template <void (*Synthesize)(const std::vector<GuideSegment>&, float, FlowGrid&)>
void synthesisBench(benchmark::State& state) {
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto height = static_cast<std::int32_t>(state.range(1));
    const auto guideCount = static_cast<int>(state.range(2));
    const std::vector<GuideSegment> guides = benchGuides(guideCount, width, height);
    FlowGrid field(width, height);
    Synthesize(guides, 2.0454545f, field);  // starts the worker pool outside the timing
    for (auto _ : state) {
        Synthesize(guides, 2.0454545f, field);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
    const double pairs = static_cast<double>(width) * height * guideCount;
    const unsigned cores = std::thread::hardware_concurrency() > 0 ? std::thread::hardware_concurrency() : 1;
    state.counters["ns_per_pair_core"] =
        benchmark::Counter(pairs / (1e9 * cores), benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void synthesisSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "guides"});
    for (int guides : {1, 8, 64, 256}) b->Args({1920, 1080, guides});
    b->Args({3840, 2160, 64});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_SynthesisOracle(benchmark::State& state) { synthesisBench<computeFlowFieldReference>(state); }
void BM_SynthesisFast(benchmark::State& state) { synthesisBench<computeFlowField>(state); }

BENCHMARK(BM_SynthesisOracle)->Apply(synthesisSizes)->MinTime(0.5);
BENCHMARK(BM_SynthesisFast)->Apply(synthesisSizes)->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
