// Cost of the animation passes per frame on a 1920 x 1080 picture: the three
// advect passes, the identity passes that fall due and the displace pass, as
// the frame loop runs them, each frame finished with glFinish. Nothing else of
// the frame (composition, particles, synthesis) is included.
//
// Run it from the build's shaders/ folder: the passes read their shader files
// from the working directory, as the program does.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/schedule.h"
#include "bench/bench_gl.h"
#include "flow/grid.h"
#include "gpu/flow_upload.h"
#include "gpu/gl_runtime.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"

namespace {

constexpr std::int32_t pictureWidth = 1920;
constexpr std::int32_t pictureHeight = 1080;
constexpr double frameTime = 1.0 / 60.0;
constexpr float phaseSpacing = 0.5f;
// Frames per measurement: over two periods of 90 frames, so the identity
// passes of every layer are part of the figure.
constexpr int benchFrames = 240;

struct Scene {
    RenderTargets targets;
    std::array<double, 3> phases{-1.0, -0.5, 0.0};
    double t = 0.0;
};

Scene* scene = nullptr;

// A swirl, so the advect passes read scattered positions rather than a copy.
FlowGrid makeSwirl() {
    FlowGrid field(pictureWidth, pictureHeight);
    for (std::int32_t y = 0; y < pictureHeight; ++y) {
        for (std::int32_t x = 0; x < pictureWidth; ++x) {
            const float dx = x - pictureWidth * 0.5f;
            const float dy = y - pictureHeight * 0.5f;
            field.at(x, y) = Vec2{-dy * 0.05f, dx * 0.05f};
        }
    }
    return field;
}

ImageGrid makePicture() {
    ImageGrid picture(pictureWidth, pictureHeight);
    for (std::int32_t y = 0; y < pictureHeight; ++y) {
        for (std::int32_t x = 0; x < pictureWidth; ++x) {
            picture.at(x, y) = Rgba8{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                     static_cast<std::uint8_t>(x ^ y), 255};
        }
    }
    return picture;
}

void BM_AnimateLayersFrame(benchmark::State& state) {
    Scene& s = *scene;
    for (auto _ : state) {
        s.t += frameTime;
        requireDrawn(animateLayers(s.t, static_cast<float>(frameTime), phaseSpacing, s.phases, s.targets,
                                   PictureFilter::Fast));
        waitForGpu();
    }
}
BENCHMARK(BM_AnimateLayersFrame)->Iterations(benchFrames)->Unit(benchmark::kMillisecond);

void BM_AdvectPass(benchmark::State& state) {
    Scene& s = *scene;
    for (auto _ : state) {
        RenderTargets& r = s.targets;
        requireDrawn(advectPass(r.current[0], r.flow, r.scratch[0], static_cast<float>(frameTime)));
        std::swap(r.current[0], r.scratch[0]);
        waitForGpu();
    }
}
BENCHMARK(BM_AdvectPass)->Iterations(benchFrames / 3)->Unit(benchmark::kMillisecond);

// Argument 0: the fast picture filter (the window's), 1: the sharp one (the
// export's). The sharp program is built in an untimed first call.
void BM_DisplacePass(benchmark::State& state) {
    Scene& s = *scene;
    RenderTargets& r = s.targets;
    const PictureFilter filter = state.range(0) == 1 ? PictureFilter::Sharp : PictureFilter::Fast;
    requireDrawn(displacePass(r.picture, r.current[0], r.current[1], r.current[2], 0.25f, 0.5f, 0.25f, r.output, filter));
    waitForGpu();
    for (auto _ : state) {
        requireDrawn(
            displacePass(r.picture, r.current[0], r.current[1], r.current[2], 0.25f, 0.5f, 0.25f, r.output, filter));
        waitForGpu();
    }
}
BENCHMARK(BM_DisplacePass)->Arg(0)->Arg(1)->Iterations(benchFrames / 3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const BenchGl gl(argv[0], "run it from the build's shaders/ folder");
    {
        Scene owned;
        const ImageGrid picture = makePicture();
        createRenderTargets(picture, owned.targets);
        uploadFlowField(makeSwirl(), owned.targets.flow);
        // The first frame builds the programs and the geometry; keep that out
        // of the figures.
        requireDrawn(animateLayers(owned.t, 0.0f, phaseSpacing, owned.phases, owned.targets, PictureFilter::Fast));
        waitForGpu();
        scene = &owned;
        benchmark::RunSpecifiedBenchmarks();
        scene = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
