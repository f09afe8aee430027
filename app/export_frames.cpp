#include "app/export_frames.h"

#include <cassert>
#include <cstddef>

#include "app/composition.h"
#include "app/schedule.h"
#include "app/synthesize_flow.h"
#include "gpu/passes.h"

namespace {

constexpr int kBytesPerPixel = 4;

std::size_t frameBytes(const ExportFrames& frames) {
    return static_cast<std::size_t>(frames.width) * static_cast<std::size_t>(frames.height) * kBytesPerPixel;
}

// One grid step of the animation: the layers and the displaced picture.
void animateGridStep(AppState& state, const ExportFrames& frames, std::int64_t j) {
    const double t = exportGridTime(frames.timing, j);
    const float step = static_cast<float>(exportFrameStep(frames.timing));
    animateLayers(t, step, state.phaseSpacing, state.layerPhase, state.targets, frames.filter);
    glUseProgram(0);
}

}  // namespace

void startExportFrames(AppState& state, const ExportTiming& timing, bool withOverlay, ExportFrames& frames) {
    frames.timing = timing;
    frames.withOverlay = withOverlay;
    frames.width = state.picture.width;
    frames.height = state.picture.height;
    frames.rendered = -1;

    // 1. The composition's target and the two read-back buffers.
    frames.colour.upload(GL_RGBA8, frames.width, frames.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &frames.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, frames.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frames.colour.id(), 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGenBuffers(2, frames.packBuffers.data());
    for (const GLuint buffer : frames.packBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(frameBytes(frames)), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);

    // 2. The flow of the guides, then the warm-up.
    synthesizeFlowQuietly(state);
    frames.start = findExportStart(timing, state.phaseSpacing, state.layerPhase);
    // Only the layers already reset are advected, and nothing is displaced:
    // frame 0 is the first picture anyone sees.
    const float step = static_cast<float>(exportFrameStep(timing));
    std::array<bool, 3> everReset{false, false, false};
    for (std::int64_t j = frames.start.warmUpStart; j < frames.start.firstFrame; ++j) {
        warmUpLayers(exportGridTime(timing, j), step, state.phaseSpacing, state.layerPhase, state.targets, everReset);
    }
    // The displace pass once, into the output that frame 0 overwrites: every
    // shader is then built, so a missing one ends the run before the caller
    // creates any file.
    RenderTargets& t = state.targets;
    displacePass(t.picture, t.current[0], t.current[1], t.current[2], 1.0f, 0.0f, 0.0f, t.output, frames.filter);
    glUseProgram(0);
}

void renderExportFrame(AppState& state, ExportFrames& frames, std::int64_t k) {
    assert(k == frames.rendered + 1 && "export frames render in order: render frame rendered + 1");
    animateGridStep(state, frames, frames.start.firstFrame + k);
    composeExportFrame(state, frames, k);
}

void composeExportFrame(AppState& state, ExportFrames& frames, std::int64_t k) {
    glBindFramebuffer(GL_FRAMEBUFFER, frames.framebuffer);
    composePictureFrame(state, frames.withOverlay);

    // The read-back goes into a pixel buffer: glReadPixels returns at once
    // and the copy completes while the next frame renders.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, frames.packBuffers[static_cast<std::size_t>(k % 2)]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frames.width, frames.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    frames.rendered = k;
}

const std::uint8_t* readExportFrame(ExportFrames& frames, std::int64_t k) {
    assert(k <= frames.rendered && k + 1 >= frames.rendered && "read frame k before rendering k + 2");
    glBindBuffer(GL_PIXEL_PACK_BUFFER, frames.packBuffers[static_cast<std::size_t>(k % 2)]);
    const void* pixels =
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(frameBytes(frames)), GL_MAP_READ_BIT);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return static_cast<const std::uint8_t*>(pixels);
}

void finishReadingExportFrame(ExportFrames& frames, std::int64_t k) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, frames.packBuffers[static_cast<std::size_t>(k % 2)]);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

bool renderAllExportFrames(AppState& state, ExportFrames& frames, const ExportFrameConsumer& consume) {
    const std::int64_t count = frames.timing.frameCount;
    for (std::int64_t k = 0; k <= count; ++k) {
        if (k < count) renderExportFrame(state, frames, k);
        if (k == 0) continue;
        const std::int64_t previous = k - 1;
        const std::uint8_t* pixels = readExportFrame(frames, previous);
        const bool kept = pixels != nullptr && consume(pixels, previous);
        finishReadingExportFrame(frames, previous);
        if (!kept) return false;
    }
    return true;
}

void releaseExportFrames(ExportFrames& frames) {
    if (frames.packBuffers[0] != 0) glDeleteBuffers(2, frames.packBuffers.data());
    frames.packBuffers = {0, 0};
    if (frames.framebuffer != 0) glDeleteFramebuffers(1, &frames.framebuffer);
    frames.framebuffer = 0;
    frames.colour = Texture();
}
