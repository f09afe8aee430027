// What a loop costs to export, and what a big picture costs the window.
//
// 1. The export, as stillflow-export runs it (the scene opened, the timing
//    planned, the warm-up, the frames, the encoding, the file in place), on
//    the demo scene (1280 x 720) and on a scene of a 3840 x 2880 picture:
//    one period alone (--loops 1), the default export of about 3 s (six
//    periods of 0.5 s), and their ratio. Every period of a loop is the
//    first one again, rendered and encoded once, so the target is
//        default export <= 1.3 x one period.
// 2. The window's time per frame in a 960 x 540 window for a 4000 x 3000
//    picture and for a 960 x 540 one, each with guides, after the fit; the
//    big one animates through a proxy of about the shown resolution, so the
//    target is
//        big picture <= 2.5 x small picture.
//
// The scenes are made in a temporary folder and removed at the end. Each
// figure is the best of a few rounds (one for the big scene's exports).
// Run it from anywhere: build/bench/export_bench [exports | window] (both
// by default).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/app_state.h"
#include "app/export.h"
#include "app/frame_loop.h"
#include "app/startup.h"
#include "demo/scene.h"
#include "flow/document.h"
#include "flow/guides.h"
#include "flow/scene_files.h"
#include "gpu/builtin_shaders.h"
#include "image/png_writing.h"
#include "media/audio_decoding.h"
#include "platform/fatal_error.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void require(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "export_bench: %s\n", what.c_str());
    std::exit(1);
}

// A photo-like picture: smooth colour over the whole frame with fine
// grain, so that the encoder has detail to keep and the flow has something
// to move.
ImageGrid makePicture(int width, int height) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
            const std::uint32_t h = ((static_cast<std::uint32_t>(x) * 73856093u) ^
                                     (static_cast<std::uint32_t>(y) * 19349663u)) * 2654435761u;
            const int grain = static_cast<int>(h >> 28) - 8;
            auto channel = [grain](float value) {
                return static_cast<std::uint8_t>(std::clamp(static_cast<int>(value * 255.0f) + grain, 0, 255));
            };
            picture.at(x, y) = Rgba8{channel(0.5f + 0.4f * std::sin(6.0f * u + 2.0f * v)),
                                     channel(0.5f + 0.4f * std::sin(5.0f * v - 3.0f * u)), channel(0.3f + 0.4f * u * v),
                                     255};
        }
    }
    return picture;
}

// A scene folder of a width x height picture with four guides, as a user
// leaves it after saving: the document holds the picture (the working
// picture is a stand-in the document replaces), and the shader files.
fs::path makeScene(const fs::path& root, const char* name, int width, int height) {
    const fs::path dir = root / name;
    fs::create_directories(dir);
    require(writeBuiltinShaders(dir.string().c_str(), nullptr), "cannot write the shader files");
    require(writePng((dir / pictureFileName).string().c_str(), makePicture(4, 4)), "cannot write the picture");
    FlowDocument document;
    document.picture = makePicture(width, height);
    document.mask = ByteMask(width, height);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    document.guides = {GuideSegment{0.1f * w, 0.1f * h, 0.3f * w, 0.15f * h},
                       GuideSegment{0.6f * w, 0.4f * h, 0.5f * w, 0.3f * h},
                       GuideSegment{0.2f * w, 0.5f * h, 0.4f * w, 0.6f * h},
                       GuideSegment{0.9f * w, 0.2f * h, 0.95f * w, 0.5f * h}};
    require(writeFlowDocument((dir / flowDocumentFileName).string().c_str(), document), "cannot write the document");
    return dir;
}

// One export of the scene in the working directory, from opening it to the
// file in place, as stillflow-export runs it; seconds, and the frames.
double timeExport(int loops, std::int64_t& frames) {
    const auto start = Clock::now();
    AppState state;
    std::string error;
    require(openScene(state, headlessSceneOptions(), error), error);
    ExportRequest request;
    request.output = "bench.mp4";
    request.loops = loops;
    ExportPlan plan;
    require(checkExportRequest(request, error) && planExport(state, request, plan, error), error);
    ExportResult result;
    require(writeExport(state, request, plan, ExportProgress(), result, error), error);
    shutDown(state);
    frames = plan.timing.frameCount;
    return secondsSince(start);
}

void reportExports(const fs::path& scene, const char* name, int rounds) {
    fs::current_path(scene);
    double period = 1e9, whole = 1e9;
    std::int64_t periodFrames = 0, wholeFrames = 0;
    for (int round = 0; round < rounds; ++round) {
        period = std::min(period, timeExport(1, periodFrames));
        whole = std::min(whole, timeExport(0, wholeFrames));
    }
    std::printf("export of %s, MP4 at 30 fps\n", name);
    std::printf("  one period         %8.2f s  (%lld frames)\n", period, static_cast<long long>(periodFrames));
    std::printf("  default export     %8.2f s  (%lld frames)\n", whole, static_cast<long long>(wholeFrames));
    std::printf("  default / period = %.2f (target <= 1.3)\n", whole / period);
}

// The window's time per frame for the scene in the working directory, in an
// offscreen window of 960 x 540: frames after the fit of frame 3 (and the
// proxy it brings), the first ones (the flow's synthesis) left out.
double timeWindowFrame() {
    constexpr int kWarmFrames = 6;
    constexpr int kTimedFrames = 20;
    SceneOptions options;
    options.gui.backend = GuiBackend::Offscreen;
    options.gui.width = 960;
    options.gui.height = 540;
    options.playMusic = false;
    AppState state;
    std::string error;
    require(openScene(state, options, error), error);
    std::optional<PassFailure> failure;
    for (int frame = 0; frame < kWarmFrames; ++frame) require(runFrame(state, failure), "a frame did not draw");
    const auto start = Clock::now();
    for (int frame = 0; frame < kTimedFrames; ++frame) require(runFrame(state, failure), "a frame did not draw");
    const double perFrame = secondsSince(start) / kTimedFrames;
    guideSegments.clear();
    shutDown(state);
    return perFrame;
}

void reportWindow(const fs::path& big, const fs::path& small) {
    double bigFrame = 1e9, smallFrame = 1e9;
    for (int round = 0; round < 2; ++round) {
        fs::current_path(big);
        bigFrame = std::min(bigFrame, timeWindowFrame());
        fs::current_path(small);
        smallFrame = std::min(smallFrame, timeWindowFrame());
    }
    std::printf("the window at 960 x 540\n");
    std::printf("  4000 x 3000 picture  %7.1f ms a frame\n", 1000.0 * bigFrame);
    std::printf("  960 x 540 picture    %7.1f ms a frame\n", 1000.0 * smallFrame);
    std::printf("  big / small = %.2f (target <= 2.5)\n", bigFrame / smallFrame);
}

}  // namespace

int main(int argc, char** argv) {
    quietMediaLibraryLogs();
    setProgramName(argc > 0 ? argv[0] : "export_bench");
    const fs::path scratch = fs::temp_directory_path() / "stillflow-export-bench";
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    fs::create_directories(scratch);

    const std::string only = argc > 1 ? argv[1] : "";

    // 1. The exports.
    if (only.empty() || only == "exports") {
        std::string error;
        require(demo::writeDemoScene(scratch / "demo", false, error), error);
        require(writeBuiltinShaders((scratch / "demo").string().c_str(), nullptr), "cannot write the shader files");
        reportExports(scratch / "demo", "the demo scene, 1280 x 720", 2);
        reportExports(makeScene(scratch, "big", 3840, 2880), "a 3840 x 2880 scene", 1);
    }

    // 2. The window.
    if (only.empty() || only == "window") {
        reportWindow(makeScene(scratch, "window-big", 4000, 3000), makeScene(scratch, "window-small", 960, 540));
    }

    fs::current_path(scratch.parent_path());
    fs::remove_all(scratch, ignored);
    return 0;
}
