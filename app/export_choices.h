#pragma once
// What the window asks of an export, and the command line of the export tool
// that makes it: the window runs stillflow-export itself, so that there is
// one export. Plain CPU code.

#include <string>
#include <vector>

#include "media/video_formats.h"

// How long the video lasts.
enum class WindowExportLength {
    Standard,  // the export's own: the fewest whole loops that last 3 s (or the track, with music)
    Loops,     // whole loops
    Seconds,   // a length in seconds
};

// The panel's choices; at their start values the export is stillflow-export's
// standard one, as an MP4.
struct WindowExportChoices {
    VideoFormat format = VideoFormat::Mp4;
    int width = 0;             // 0: the picture's own
    WindowExportLength length = WindowExportLength::Standard;
    int loops = 1;             // with WindowExportLength::Loops
    double seconds = 3.0;      // with WindowExportLength::Seconds
    bool music = false;        // the scene's track as the sound (formats with sound only)
};

// The formats the window offers, in the table's order: those written as one
// file (MP4, WebM, GIF).
std::vector<VideoFormat> windowExportFormats();

// The file the window's export writes in `folder`: "loop" with the format's
// extension, or "loop-2", "loop-3", ... when that is taken.
std::string freeExportName(const std::string& folder, VideoFormat format);

// stillflow-export's arguments after its own path: the scene folder given
// (-C), lines of progress, the request's options, and the output (a path
// the tool takes as it is when absolute).
std::vector<std::string> exportArguments(const WindowExportChoices& request, const std::string& sceneFolder,
                                         const std::string& output);

// Reads one "frame K/N" line of the tool's progress; false for any other line.
bool parseExportProgress(const std::string& line, long long& done, long long& total);
