#include "app/export_frames.h"

#include <cassert>

#include "app/composition.h"
#include "app/schedule.h"
#include "app/synthesize_flow.h"
#include "gpu/drawing.h"
#include "gpu/passes.h"

namespace {

// The read-back slot of frame k.
int readbackSlot(std::int64_t k) { return static_cast<int>(k % 2); }

// One grid step of the animation: the layers and the displaced picture.
std::optional<PassFailure> animateGridStep(AppState& state, const ExportFrames& frames, std::int64_t j) {
    const double t = exportGridTime(frames.timing, j);
    const float step = static_cast<float>(exportFrameStep(frames.timing));
    std::optional<PassFailure> failure =
        animateLayers(t, step, state.phaseSpacing, state.layerPhase, state.targets, frames.filter);
    useFixedFunctionPipeline();
    return failure;
}

}  // namespace

std::optional<PassFailure> startExportFrames(AppState& state, const ExportTiming& timing, bool withOverlay,
                                             ExportFrames& frames) {
    frames.timing = timing;
    frames.withOverlay = withOverlay;
    frames.width = state.picture.width;
    frames.height = state.picture.height;
    frames.rendered = -1;
    frames.passFailure.reset();

    // 1. The composition's target and the two read-back buffers.
    createFrameReadback(frames.width, frames.height, frames.readback);

    // 2. The flow of the guides, then the warm-up.
    synthesizeFlowQuietly(state);
    frames.start = findExportStart(timing, state.phaseSpacing, state.layerPhase);
    // Only the layers already reset are advected, and nothing is displaced:
    // frame 0 is the first picture anyone sees.
    const float step = static_cast<float>(exportFrameStep(timing));
    std::array<bool, 3> everReset{false, false, false};
    for (std::int64_t j = frames.start.warmUpStart; j < frames.start.firstFrame; ++j) {
        if (std::optional<PassFailure> failure = warmUpLayers(exportGridTime(timing, j), step, state.phaseSpacing,
                                                              state.layerPhase, state.targets, everReset)) {
            return failure;
        }
    }
    // The displace pass once, into the output that frame 0 overwrites: every
    // shader is then built, so a missing one comes back before the caller
    // creates any file.
    RenderTargets& t = state.targets;
    std::optional<PassFailure> failure =
        displacePass(t.picture, t.current[0], t.current[1], t.current[2], 1.0f, 0.0f, 0.0f, t.output, frames.filter);
    useFixedFunctionPipeline();
    return failure;
}

std::optional<PassFailure> renderExportFrame(AppState& state, ExportFrames& frames, std::int64_t k) {
    assert(k == frames.rendered + 1 && "export frames render in order: render frame rendered + 1");
    if (std::optional<PassFailure> failure = animateGridStep(state, frames, frames.start.firstFrame + k)) {
        return failure;
    }
    composeExportFrame(state, frames, k);
    return std::nullopt;
}

void composeExportFrame(AppState& state, ExportFrames& frames, std::int64_t k) {
    drawIntoReadback(frames.readback);
    composePictureFrame(state, frames.withOverlay);
    startReadback(frames.readback, readbackSlot(k));
    frames.rendered = k;
}

const std::uint8_t* readExportFrame(ExportFrames& frames, std::int64_t k) {
    assert(k <= frames.rendered && k + 1 >= frames.rendered && "read frame k before rendering k + 2");
    return mapReadback(frames.readback, readbackSlot(k));
}

void finishReadingExportFrame(ExportFrames& frames, std::int64_t k) { finishReadback(frames.readback, readbackSlot(k)); }

bool renderAllExportFrames(AppState& state, ExportFrames& frames, const ExportFrameConsumer& consume) {
    const std::int64_t count = frames.timing.frameCount;
    for (std::int64_t k = 0; k <= count; ++k) {
        if (k < count) {
            frames.passFailure = renderExportFrame(state, frames, k);
            if (frames.passFailure) return false;
        }
        if (k == 0) continue;
        const std::int64_t previous = k - 1;
        const std::uint8_t* pixels = readExportFrame(frames, previous);
        const bool kept = pixels != nullptr && consume(pixels, previous);
        finishReadingExportFrame(frames, previous);
        if (!kept) return false;
    }
    return true;
}

void releaseExportFrames(ExportFrames& frames) { frames.readback = FrameReadback(); }
