#pragma once
// The export of a scene's animation to a video file, a GIF or PNG frames:
// the steps that stillflow-export runs, for any caller that has the scene
// open (the tool's main, a window). Each step returns false with one line
// in `error` (without a program's name) and never ends the process.
//
//   checkExportRequest  what can be refused before the scene is read;
//   planExport          after the scene is open: the music, the frames' timing;
//   writeExport         the warm-up, the output, every distinct frame rendered
//                       once and encoded, the repeats of a loop, the file put
//                       in place; progress through a callback, and a caller
//                       may give the export up between frames.
//
// A loop's frames repeat every framesPerPeriod frames, to the bit (see
// export_timing.h), so only the first period is rendered and encoded; the
// rest of the file is written from it (media/video_encoding.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "app/export_timing.h"
#include "media/pcm_audio.h"
#include "media/video_formats.h"

// What an export is asked for.
struct ExportRequest {
    std::string output;             // a file name, or a frame-name pattern (frames/frame-%05d.png)
    double fps = 30.0;              // frames per second asked for (a loop adapts it to whole frames a period)
    int loops = 0;                  // whole periods of the loop; 0: the fewest lasting kDefaultLoopSeconds
    std::optional<double> seconds;  // a length instead of whole periods (no loop promise)
    int width = 0;                  // the output's width; 0: the picture's own
    bool music = false;             // the scene's track as the sound; without a length, the video lasts as long
    int quality = -1;               // the format's constant rate factor; -1: its standard
    bool overlay = true;            // draw the overlay picture over the animation
};

// What can be refused before any work: a format the name does not tell,
// music for a format without sound, a quality beyond the format's range, an
// output name that is a folder.
bool checkExportRequest(const ExportRequest& request, std::string& error);

// The export as planned for the open scene.
struct ExportPlan {
    VideoFormat format = VideoFormat::Unknown;
    ExportTiming timing;
    std::optional<PcmAudio> sound;  // the track at the video's sound rate, when asked for
};

// Reads the track (when asked for) and plans the frames. A loop, and music
// without a length, run on the loop's grid, whose frames repeat every
// period. A phase spacing that makes no sensible video (a period shorter
// than a frame, or longer than the hour an export may last) is refused with
// a line that names the document's value.
bool planExport(const AppState& state, const ExportRequest& request, ExportPlan& plan, std::string& error);

// How a caller follows an export. Both may be empty.
struct ExportProgress {
    // Frames in the file so far, of `total`: once per frame rendered, then
    // once per period written from the first (the count jumps there).
    std::function<void(std::int64_t done, std::int64_t total)> report;
    // Asked between frames: true gives the export up (nothing is written).
    std::function<bool()> cancelled;
};

struct ExportResult {
    bool cancelled = false;      // given up through ExportProgress::cancelled
    std::uint64_t bytes = 0;     // the finished output (every frame file together)
    VideoFrameSize size;         // the frames' size in the file
};

// Renders the planned frames with the scene's passes and writes them under
// request.output: under a temporary name until complete, so that a failure
// or a cancellation leaves no temporary and an older output of that name as
// it was. A shader that is missing or does not build comes back before any
// file exists (its logs on standard output). The scene's animation is spent
// afterwards: its layer phases stand at the export's last frame, and its
// textures (state.targets) and the passes' programs are released once the
// frames are rendered, so that the encoder has their memory; a caller that
// animates on makes them again (createSceneTextures, the passes on their
// next use) and sets its layer phases afresh.
bool writeExport(AppState& state, const ExportRequest& request, const ExportPlan& plan,
                 const ExportProgress& progress, ExportResult& result, std::string& error);
