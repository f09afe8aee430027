// Flow synthesis: the literal oracle and the vectorised, threaded version side
// by side, on full-HD and 4K pictures with 1 to 256 guides; then each kernel
// this CPU runs on the full-HD picture with 64 guides.
//
// Times are wall-clock per synthesis (the worker threads make the caller's CPU
// time meaningless). "core_s_per_Gpair" is that time spread over the threads
// the version uses: wall time * threads per 10^9 (cell, guide) pairs, which is
// also nanoseconds of one core per pair, the figure to hold against the bound
// of about one cycle per pair per core.

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

unsigned hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

template <typename Synthesize>
void synthesisBench(benchmark::State& state, Synthesize synthesize, unsigned threads) {
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto height = static_cast<std::int32_t>(state.range(1));
    const auto guideCount = static_cast<int>(state.range(2));
    const std::vector<GuideSegment> guides = benchGuides(guideCount, width, height);
    FlowGrid field(width, height);
    synthesize(guides, 2.0454545f, field);  // starts the worker pool outside the timing
    for (auto _ : state) {
        synthesize(guides, 2.0454545f, field);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
    const double pairs = static_cast<double>(width) * height * guideCount;
    // A rate of 10^9-pair units per core per second, inverted into seconds.
    state.counters["core_s_per_Gpair"] = benchmark::Counter(
        pairs / (1e9 * threads), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SynthesisOracle(benchmark::State& state) {
    synthesisBench(state, computeFlowFieldReference, 1);
}

void BM_SynthesisFast(benchmark::State& state) {
    synthesisBench(state, computeFlowField, hardwareThreads());
}

void BM_SynthesisKernel(benchmark::State& state) {
    const auto kernel = static_cast<SynthesisKernel>(state.range(3));
    if (!synthesisKernelAvailable(kernel)) {
        state.SkipWithError("this CPU lacks the kernel");
        return;
    }
    synthesisBench(
        state,
        [kernel](const std::vector<GuideSegment>& guides, float scale, FlowGrid& field) {
            computeFlowFieldWith(kernel, guides, scale, field);
        },
        hardwareThreads());
}

void synthesisSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "guides"});
    for (int guides : {1, 8, 64, 256}) b->Args({1920, 1080, guides});
    b->Args({3840, 2160, 64});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
}

void kernelSizes(benchmark::internal::Benchmark* b) {
    // The last argument is the SynthesisKernel: 0 plain, 1 AVX2, 2 AVX-512.
    b->ArgNames({"w", "h", "guides", "kernel"});
    for (int kernel : {0, 1, 2}) b->Args({1920, 1080, 64, kernel});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5);
}

BENCHMARK(BM_SynthesisOracle)->Apply(synthesisSizes);
BENCHMARK(BM_SynthesisFast)->Apply(synthesisSizes);
BENCHMARK(BM_SynthesisKernel)->Apply(kernelSizes);

}  // namespace

BENCHMARK_MAIN();
