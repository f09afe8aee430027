#include "app/export_frames.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "app/composition.h"
#include "app/schedule.h"
#include "app/synthesize_flow.h"
#include "gpu/drawing.h"
#include "gpu/passes.h"

namespace {

// The read-back slot of frame k.
int readbackSlot(std::int64_t k) { return static_cast<int>(k % 2); }

// The layers from the oldest to the youngest at grid step j of a loop. The
// displace pass adds them in this order, so that the layer in each role is
// added in the same place whichever layer holds it: a period later the roles
// have passed from layer to layer, and the sum is still the same, to the bit.
std::array<std::size_t, 3> oldestFirst(const LoopSchedule& loop, std::int64_t j) {
    std::array<std::int64_t, 3> age{};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int64_t since = (j - loop.firstPhase[i]) % loop.cycle;
        age[i] = since < 0 ? since + loop.cycle : since;
    }
    std::array<std::size_t, 3> order = {0, 1, 2};
    std::sort(order.begin(), order.end(), [&age](std::size_t a, std::size_t b) { return age[a] > age[b]; });
    return order;
}

// One grid step of the animation: the layers and the displaced picture.
std::optional<PassFailure> animateGridStep(AppState& state, const ExportFrames& frames, std::int64_t j) {
    if (frames.loop) {
        const LayerPlan plan = planLoopStep(frames.timing, *frames.loop, state.phaseSpacing, j);
        std::optional<PassFailure> failure =
            runPlannedPasses(plan, state.targets, frames.filter, oldestFirst(*frames.loop, j));
        useFixedFunctionPipeline();
        return failure;
    }
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
    LoopSchedule loop;
    frames.loop.reset();
    if (loopScheduleOf(timing, state.phaseSpacing, state.layerPhase, loop)) frames.loop = loop;
    frames.start = frames.loop ? findLoopStart(loop) : findExportStart(timing, state.phaseSpacing, state.layerPhase);
    // Only the layers already reset are advected, and nothing is displaced:
    // frame 0 is the first picture anyone sees. On a loop's grid the layers
    // reset after the first are copies of it, taken as it passes their state.
    const float step = static_cast<float>(exportFrameStep(timing));
    std::array<bool, 3> everReset{false, false, false};
    WarmUpCopies copies;
    std::array<bool, 3> copiedIn{false, false, false};
    if (frames.loop) {
        copies = planWarmUpCopies(timing, loop, state.phaseSpacing, frames.start);
        for (std::size_t i = 0; i < 3; ++i) copiedIn[i] = copies.copyAfter[i] >= 0;
    }
    for (std::int64_t j = frames.start.warmUpStart; j < frames.start.firstFrame; ++j) {
        std::optional<PassFailure> failure =
            frames.loop ? runPlannedWarmUp(planLoopStep(timing, loop, state.phaseSpacing, j), state.targets, everReset,
                                           copiedIn)
                        : warmUpLayers(exportGridTime(timing, j), step, state.phaseSpacing, state.layerPhase,
                                       state.targets, everReset);
        if (failure) return failure;
        for (std::size_t i = 0; i < 3; ++i) {
            if (copies.copyAfter[i] == j) copyLayer(state.targets, copies.lead, i);
        }
    }
    // The displace program built now, so that every shader is built and a
    // missing one comes back before the caller creates any file. (Not a
    // pass into the output: at the export's filter a picture-sized pass is
    // a second or more without a GPU.)
    std::optional<PassFailure> failure = preparePictureFilter(frames.filter);
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
