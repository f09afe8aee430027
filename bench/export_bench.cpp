// Cost of exporting one period of a scene's loop at 30 fps as MP4, taken
// apart: the animation passes alone (the warm-up's and the frames', all
// that the export runs), the composition and read-back alone,
// the encoding alone (conversion to 4:2:0 and H.264), and the whole export
// as stillflow-export runs it. Read-back and conversion should cost little
// next to the passes and the encoder: the target is
//     whole <= 1.25 x (passes + encoding).
// Each figure is the best of a few rounds.
//
// Run it in a scene folder: make_demo_scene DIR && cd DIR && export_bench
// (the demo scene is 1280 x 720).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/export_frames.h"
#include "app/export_timing.h"
#include "app/schedule.h"
#include "app/startup.h"
#include "app/synthesize_flow.h"
#include "gpu/drawing.h"
#include "gpu/gl_runtime.h"
#include "gpu/passes.h"
#include "media/audio_decoding.h"
#include "media/video_encoding.h"
#include "platform/fatal_error.h"

namespace fs = std::filesystem;

namespace {

constexpr double kFps = 30.0;
constexpr int kRounds = 3;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

VideoSettings mp4Settings(const ExportFrames& frames, const ExportTiming& timing) {
    VideoSettings settings;
    settings.format = VideoFormat::Mp4;
    settings.sourceWidth = frames.width;
    settings.sourceHeight = frames.height;
    settings.size = videoFrameSize(VideoFormat::Mp4, frames.width, frames.height, 0);
    settings.rateNumerator = timing.rateNumerator;
    settings.rateDenominator = timing.rateDenominator;
    settings.frameCount = timing.frameCount;
    return settings;
}

struct Split {
    double passes = 0.0;     // seconds
    double readBack = 0.0;
};

// A figure of passes that did not run means nothing: the bench ends with the
// line the export would print.
void requireDrawn(const std::optional<PassFailure>& failure) {
    if (!failure) return;
    std::fprintf(stderr, "export_bench: %s\n", failure->reason.c_str());
    std::exit(1);
}

// Composition and read-back of the current output into `pixels`, the way
// the export hands a frame to the encoder.
void readBackFrame(AppState& state, ExportFrames& frames, std::int64_t k, std::vector<std::uint8_t>& pixels) {
    const std::size_t bytes = static_cast<std::size_t>(frames.width) * frames.height * 4u;
    composeExportFrame(state, frames, k);
    const std::uint8_t* mapped = readExportFrame(frames, k);
    if (mapped) pixels.assign(mapped, mapped + bytes);
    finishReadingExportFrame(frames, k);
}

// The passes of the warm-up and of every frame of the period, each frame
// finished before its read-back, which is timed apart. The frames are kept
// for the encoding figure.
Split timePassesAndReadBack(AppState& state, const ExportTiming& timing, ExportFrames& frames,
                            std::vector<std::vector<std::uint8_t>>& pixels) {
    Split split;
    auto start = Clock::now();
    requireDrawn(startExportFrames(state, timing, true, frames));
    waitForGpu();
    split.passes += secondsSince(start);
    const float step = static_cast<float>(exportFrameStep(timing));
    pixels.resize(static_cast<std::size_t>(timing.frameCount));
    for (std::int64_t k = 0; k < timing.frameCount; ++k) {
        start = Clock::now();
        requireDrawn(animateLayers(exportGridTime(timing, frames.start.firstFrame + k), step, state.phaseSpacing,
                                   state.layerPhase, state.targets, frames.filter));
        useFixedFunctionPipeline();
        waitForGpu();
        split.passes += secondsSince(start);
        start = Clock::now();
        readBackFrame(state, frames, k, pixels[static_cast<std::size_t>(k)]);
        split.readBack += secondsSince(start);
    }
    return split;
}

double timeEncoding(const ExportFrames& frames, const std::vector<std::vector<std::uint8_t>>& pixels,
                    const fs::path& path) {
    const auto start = Clock::now();
    VideoOutput output;
    std::string error;
    bool ok = openVideo(output, path.string(), mp4Settings(frames, frames.timing), error);
    for (std::int64_t k = 0; ok && k < frames.timing.frameCount; ++k) {
        ok = writeVideoFrame(output, pixels[static_cast<std::size_t>(k)].data(), error);
    }
    ok = ok && finishVideo(output, error);
    if (!ok) std::fprintf(stderr, "export_bench: %s\n", error.c_str());
    return secondsSince(start);
}

// What stillflow-export does after start-up: warm-up, frames, read-back,
// encoding, the file put in place.
double timeWholeExport(AppState& state, const ExportTiming& timing, const fs::path& path) {
    const auto start = Clock::now();
    ExportFrames frames;
    requireDrawn(startExportFrames(state, timing, true, frames));
    VideoOutput output;
    std::string error;
    bool ok = openVideo(output, path.string(), mp4Settings(frames, timing), error);
    ok = ok && renderAllExportFrames(state, frames, [&](const std::uint8_t* rgba, std::int64_t) {
        return writeVideoFrame(output, rgba, error);
    });
    ok = ok && finishVideo(output, error);
    if (!ok) std::fprintf(stderr, "export_bench: %s\n", error.c_str());
    releaseExportFrames(frames);
    return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    quietMediaLibraryLogs();
    AppState state;
    setProgramName(argc > 0 ? argv[0] : "export_bench");
    std::string error;
    if (!openScene(state, headlessSceneOptions(), error)) fatalError("%s", error.c_str());
    const std::array<double, 3> startPhases = state.layerPhase;
    synthesizeFlowQuietly(state);
    const ExportTiming timing = planLoopExport(state.phaseSpacing, kFps, 1);
    const fs::path scratch = fs::temp_directory_path() / "stillflow-export-bench";
    fs::create_directories(scratch);

    double passes = 1e9, readBack = 1e9, encoding = 1e9, whole = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        // Each round starts from the scene as start-up left it, with the flow
        // synthesised (once, before any figure: it is not the export's cost
        // per frame).
        state.layerPhase = startPhases;
        const double wholeRound = timeWholeExport(state, timing, scratch / "whole.mp4");

        state.layerPhase = startPhases;
        ExportFrames frames;
        std::vector<std::vector<std::uint8_t>> pixels;
        const Split split = timePassesAndReadBack(state, timing, frames, pixels);
        passes = std::min(passes, split.passes);
        readBack = std::min(readBack, split.readBack);
        encoding = std::min(encoding, timeEncoding(frames, pixels, scratch / "encoding.mp4"));
        whole = std::min(whole, wholeRound);
        releaseExportFrames(frames);
    }
    fs::remove_all(scratch);

    std::printf("export of one period: %d x %d, %lld frames at %.6g fps, MP4 (H.264)\n", state.picture.width,
                state.picture.height, static_cast<long long>(timing.frameCount),
                static_cast<double>(timing.rateNumerator) / static_cast<double>(timing.rateDenominator));
    std::printf("  passes alone          %8.3f s  %7.2f ms/frame\n", passes, 1000.0 * passes / timing.frameCount);
    std::printf("  read-back alone       %8.3f s  %7.2f ms/frame\n", readBack, 1000.0 * readBack / timing.frameCount);
    std::printf("  encoding alone        %8.3f s  %7.2f ms/frame\n", encoding, 1000.0 * encoding / timing.frameCount);
    std::printf("  whole export          %8.3f s  %7.2f ms/frame (warm-up included)\n", whole,
                1000.0 * whole / timing.frameCount);
    std::printf("  whole / (passes + encoding) = %.2f (target <= 1.25)\n", whole / (passes + encoding));
    shutDown(state);
    return 0;
}
