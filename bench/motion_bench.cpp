// Directing the motion on a photo of 3840 x 2880 pixels:
//   - BM_BrushStroke: one stroke of a 256-pixel brush across the mask, as the
//     brush lays it in one frame (a stamp every 256 pixels), with the copy of
//     the mask at the press and the undo step at the release;
//   - BM_Synthesis and BM_Freeze: the freeze's cost on top of a synthesis of
//     the same size, for masks with nothing, the upper half (a sky) and
//     everything painted. The freeze should stay under a tenth of the
//     synthesis: compare BM_Freeze with BM_Synthesis.
// Time is wall-clock, and CPU time is that of the whole process, every thread
// included (the synthesis, the freeze and a wide stamp share their rows out
// over the hardware threads): on a machine busy with other work, the CPU
// times compare the work each does.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "edit/brush.h"
#include "edit/history.h"
#include "edit/tools.h"
#include "flow/freeze.h"
#include "flow/synthesis.h"
#include "platform/gui_input.h"

namespace {

constexpr std::int32_t kWidth = 3840;
constexpr std::int32_t kHeight = 2880;
constexpr float kStrokeRadius = 256.0f;

// One frame of input: the left button pressed, held or released.
void setLeftButton(bool down, bool held, bool up) {
    GuiInputState input;
    const int left = guiButtonIndex(MouseButton::Left);
    input.buttonDown[left] = down;
    input.buttonHeld[left] = held;
    input.buttonUp[left] = up;
    guiSetInputState(input);
}

void BM_BrushStroke(benchmark::State& state) {
    ByteMask mask(kWidth, kHeight);
    ToolMode = toolPaintMask;
    const float y = kHeight / 2.0f;
    for (auto _ : state) {
        // An unpainted mask each time, so that every stroke changes it and
        // becomes a step of the history.
        state.PauseTiming();
        std::memset(mask.data(), 0, mask.byteCount());
        EditHistory history;
        state.ResumeTiming();
        setLeftButton(true, true, false);
        updateMaskBrush(Vec2{0.0f, y}, kStrokeRadius, mask, history);
        setLeftButton(false, true, false);
        updateMaskBrush(Vec2{static_cast<float>(kWidth), y}, kStrokeRadius, mask, history);
        setLeftButton(false, false, true);
        updateMaskBrush(Vec2{static_cast<float>(kWidth), y}, kStrokeRadius, mask, history);
        benchmark::DoNotOptimize(mask.data());
        state.PauseTiming();
        history = EditHistory();  // its release is not the stroke's
        state.ResumeTiming();
    }
    ToolMode = toolNone;
    // The press, then one stamp every radius along the width.
    state.counters["stamps"] = 1 + kWidth / kStrokeRadius;
}

// Guides spread over the picture, the same for every run.
std::vector<GuideSegment> spreadGuides(int count) {
    std::mt19937 rng(12345u);
    std::uniform_real_distribution<float> gx(0.0f, static_cast<float>(kWidth));
    std::uniform_real_distribution<float> gy(0.0f, static_cast<float>(kHeight));
    std::uniform_real_distribution<float> length(-60.0f, 60.0f);
    std::vector<GuideSegment> guides(static_cast<std::size_t>(count));
    for (GuideSegment& g : guides) {
        g.x0 = gx(rng);
        g.y0 = gy(rng);
        g.x1 = g.x0 + length(rng);
        g.y1 = g.y0 + length(rng);
    }
    return guides;
}

void BM_Synthesis(benchmark::State& state) {
    const std::vector<GuideSegment> guides = spreadGuides(static_cast<int>(state.range(0)));
    FlowGrid field(kWidth, kHeight);
    computeFlowField(guides, 2.0454545f, field);  // starts the worker pool outside the timing
    for (auto _ : state) {
        computeFlowField(guides, 2.0454545f, field);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
}

void BM_Freeze(benchmark::State& state) {
    const std::vector<GuideSegment> guides = spreadGuides(8);
    FlowGrid synthesised(kWidth, kHeight);
    computeFlowField(guides, 2.0454545f, synthesised);
    ByteMask mask(kWidth, kHeight);
    const std::int64_t paintedRows = kHeight * state.range(0) / 100;
    std::memset(mask.data(), 255, static_cast<std::size_t>(paintedRows) * kWidth);
    FlowGrid field = synthesised;
    for (auto _ : state) {
        // A fresh synthesis result each time, as the program freezes one.
        state.PauseTiming();
        std::memcpy(field.data(), synthesised.data(), synthesised.byteCount());
        state.ResumeTiming();
        freezeFlow(mask, field);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_BrushStroke)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_Synthesis)
    ->ArgName("guides")
    ->Arg(1)
    ->Arg(8)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_Freeze)
    ->ArgName("painted_percent")
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
