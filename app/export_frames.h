#pragma once
// Rendering a scene's animation frame by frame for a video file: the
// program's own passes and layer scheduling on virtual time (see
// export_timing.h), composed at the picture's own resolution into a
// framebuffer of the export's, and read back through two pixel buffers so
// that reading frame k overlaps rendering frame k + 1.

#include <cstdint>
#include <functional>
#include <optional>

#include "app/app_state.h"
#include "app/export_timing.h"
#include "gpu/frame_readback.h"
#include "gpu/passes.h"

// The export's GL objects and where it stands. Made by startExportFrames,
// released by releaseExportFrames while the context is current.
struct ExportFrames {
    ExportTiming timing;
    ExportStart start;
    // A loop's grid: the layers planned in whole steps (export_timing.h), so
    // that frame k + framesPerPeriod is frame k to the last bit. Empty for a
    // length in seconds, which runs the window's own planLayers.
    std::optional<LoopSchedule> loop;
    bool withOverlay = true;
    // A video keeps the picture's finest detail: the sharp filter, whatever
    // the window was showing.
    PictureFilter filter = PictureFilter::Sharp;
    int width = 0;                             // the picture's size: the frames'
    int height = 0;
    FrameReadback readback;                    // picture-sized; frame k reads back into slot k % 2
    std::int64_t rendered = -1;                // the last frame rendered
    // Why rendering stopped, when an animation pass could not draw after the
    // warm-up (renderAllExportFrames then returns false).
    std::optional<PassFailure> passFailure;
};

// Makes the framebuffer and pixel buffers, synthesises the flow if the
// guides call for it (without the console line of the program), and renders
// the warm-up: every grid step from start.warmUpStart up to frame 0
// (warmUpLayers), so that every layer has been reset at least once, then
// builds the displace program. Every pass's program is built by then, so a
// shader that is missing or does not link comes back here, its logs printed
// as the program prints them, before the caller writes anything. The scene's
// phases are those of openScene at time 0 (headlessSceneOptions).
[[nodiscard]] std::optional<PassFailure> startExportFrames(AppState& state, const ExportTiming& timing,
                                                           bool withOverlay, ExportFrames& frames);

// Renders frame k (the next one after the last rendered: frames go in order)
// and starts its read-back; a pass that cannot draw leaves frame k unrendered.
[[nodiscard]] std::optional<PassFailure> renderExportFrame(AppState& state, ExportFrames& frames, std::int64_t k);

// The second half of renderExportFrame, for measuring the halves apart:
// composes the output of the last animated step and starts its read-back as
// frame k.
void composeExportFrame(AppState& state, ExportFrames& frames, std::int64_t k);

// Waits for frame k's pixels (k rendered, and k + 1 at most since) and lends
// them: width x height RGBA, rows top row first, tightly packed. They stay
// valid until finishReadingExportFrame.
const std::uint8_t* readExportFrame(ExportFrames& frames, std::int64_t k);
void finishReadingExportFrame(ExportFrames& frames, std::int64_t k);

// Renders frames 0 .. frameCount - 1 and hands each to `consume` in order,
// reading frame k back while frame k + 1 renders. Stops when consume returns
// false, or when a pass cannot draw (frames.passFailure says why), and
// returns false then.
using ExportFrameConsumer = std::function<bool(const std::uint8_t* rgba, std::int64_t k)>;
bool renderAllExportFrames(AppState& state, ExportFrames& frames, const ExportFrameConsumer& consume);

void releaseExportFrames(ExportFrames& frames);
