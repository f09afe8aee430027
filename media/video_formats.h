#pragma once
// The video formats the export writes, as one table: one row per format says
// how a target names it, what FFmpeg writes it with, its quality scale, its
// sound and what it refuses. The encoder, the export's checks and its help
// read these rows; nothing else states a format fact.
//
// Plain data and pure functions: no FFmpeg here, so the rows and the frame
// names and sizes derived from them are tested on the CPU alone.

#include <cstdint>
#include <string>
#include <vector>

enum class VideoFormat { Unknown, Mp4, WebM, Gif, PngFrames };

// An encoder as FFmpeg finds it: the first of `preferred` and `alternative`
// (encoder names) that this FFmpeg has, else any encoder of `codec` (a codec
// name, "h264"). All null: none (a format without sound).
struct VideoEncoderChoice {
    const char* preferred = nullptr;
    const char* alternative = nullptr;
    const char* codec = nullptr;
};

// A constant rate factor: lower is better. `option` is the encoder's name
// for it; null for formats without a quality scale (GIF, PNG frames), which
// take no --quality.
struct VideoQualityScale {
    int lowest = 0;
    int highest = 0;
    int standard = 0;
    const char* option = nullptr;
};

struct VideoFormatRow {
    VideoFormat format = VideoFormat::Unknown;
    const char* extension = "";       // lower case, with its dot; a target's may be any case
    const char* name = "";            // in messages: "MP4", "PNG frames"
    const char* helpNote = "";        // what the export's help says of it: "H.264", "loops forever"
    // The container (FFmpeg's muxer name) and its options ("key=value:...").
    // No muxer: one file per frame, the target a name with a frame number.
    const char* muxer = nullptr;
    const char* muxerOptions = "";
    VideoEncoderChoice picture;
    const char* pixelFormat = "";     // what the picture encoder takes (FFmpeg's name)
    const char* codecOptions = "";    // the picture encoder's settings ("key=value:...")
    VideoQualityScale quality;
    // 4:2:0 colour: even sides only (a size is rounded), and the frames are
    // converted and tagged as BT.709, limited range.
    bool halfColour = false;
    // One palette for the whole file, from every frame (GIF).
    bool sharedPalette = false;
    VideoEncoderChoice sound;         // no codec and no encoder: refuses a sound track
    const char* exampleName = "";     // a name pattern for messages (formats of numbered files)
};

// H.264's constant rate factor runs 0-51, VP9's 0-63; the standards are the
// points where each codec's output is hard to tell from the source at
// ordinary viewing sizes. x264's "medium" preset; VP9 at "good" and speed 4,
// the usual compromise for files made once and watched often, and constant
// quality, which needs the bit rate ("b") at 0. MP4 puts its index first, so
// a browser plays while it loads; a GIF loops forever.
inline constexpr VideoFormatRow kVideoFormats[] = {
    {VideoFormat::Mp4, ".mp4", "MP4", "H.264",
     /* container */ "mp4", "movflags=+faststart",
     /* picture */ {"libx264", nullptr, "h264"}, "yuv420p", "preset=medium", {0, 51, 20, "crf"},
     /* colour */ true, false,
     /* sound */ {nullptr, nullptr, "aac"}, ""},
    {VideoFormat::WebM, ".webm", "WebM", "VP9",
     /* container */ "webm", "",
     /* picture */ {"libvpx-vp9", nullptr, "vp9"}, "yuv420p", "b=0:deadline=good:cpu-used=4:row-mt=1",
     {0, 63, 31, "crf"},
     /* colour */ true, false,
     /* sound */ {"libopus", "libvorbis", nullptr}, ""},
    {VideoFormat::Gif, ".gif", "GIF", "loops forever",
     /* container */ "gif", "loop=0",
     /* picture */ {nullptr, nullptr, "gif"}, "pal8", "", {},
     /* colour */ false, true,
     /* sound */ {}, ""},
    {VideoFormat::PngFrames, ".png", "PNG frames", "",
     /* one file per frame */ nullptr, "",
     /* picture */ {nullptr, nullptr, "png"}, "rgb24", "", {},
     /* colour */ false, false,
     /* sound */ {}, "frame-%05d.png"},
};

// The row of a format; Unknown has a row of its own that names it
// "unknown" and allows nothing.
const VideoFormatRow& videoFormatRow(VideoFormat format);

// The format a target's extension names (.mp4, .webm, .gif, .png; any case).
VideoFormat videoFormatOfPath(const std::string& path);
// "MP4", "WebM", "GIF", "PNG frames".
const char* videoFormatName(VideoFormat format);
// Whether the format can carry a sound track.
bool videoFormatHasSound(VideoFormat format);
// Whether the format writes one file per frame, its target a name pattern.
bool videoFormatIsNumberedFiles(VideoFormat format);
// The quality scale of the format's codec (constant rate factor: lower is
// better): its range and default. False for formats without one (GIF, PNG).
bool videoQualityRange(VideoFormat format, int& lowest, int& highest, int& standard);

// "a, b or c": the words with `separator` between them and `lastSeparator`
// before the last one, for lists of formats in messages.
std::string joinList(const std::vector<std::string>& words, const char* separator, const char* lastSeparator);
// The extensions of the formats for which `keep` holds, in the table's
// order, joined as joinList does.
std::string videoExtensionList(bool (*keep)(const VideoFormatRow&), const char* separator,
                               const char* lastSeparator);

// The file's frame size for frames of sourceWidth x sourceHeight: `width`
// (0: the source's own) and the height that keeps the aspect ratio. MP4 and
// WebM store 4:2:0 colour, which needs even sides: a width is rounded down to
// even, a height to the nearest even, and a source of odd size kept at its
// own size loses its last column or row rather than being resampled.
struct VideoFrameSize {
    int width = 0;
    int height = 0;
};
VideoFrameSize videoFrameSize(VideoFormat format, int sourceWidth, int sourceHeight, int width);

// The file name of frame k for a printf-style pattern holding one %d
// conversion (flags 0 and a width allowed, "%%" for a percent sign), e.g.
// "frame-%05d.png"; an empty string when the pattern holds no such number or
// more than one.
std::string frameFileName(const std::string& pattern, std::int64_t k);
