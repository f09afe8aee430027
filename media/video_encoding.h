#pragma once
// Writing frames as a video file (H.264 in MP4, VP9 in WebM), an animated
// GIF that loops forever, or one PNG file per frame, through FFmpeg's
// libraries, with an optional sound track.
//
// The output is written under a temporary name beside the target (for PNG
// frames, into a temporary folder) and moved into place by finishVideo only
// once complete, so a failed or abandoned export never leaves a broken file
// under the target's name and never replaces an older one.

#include <cstdint>
#include <memory>
#include <string>

#include "media/pcm_audio.h"

enum class VideoFormat { Unknown, Mp4, WebM, Gif, PngFrames };

// The format a target's extension names (.mp4, .webm, .gif, .png; any case).
VideoFormat videoFormatOfPath(const std::string& path);
// "MP4", "WebM", "GIF", "PNG frames".
const char* videoFormatName(VideoFormat format);
// Whether the format can carry a sound track.
bool videoFormatHasSound(VideoFormat format);
// The quality scale of the format's codec (constant rate factor: lower is
// better): its range and default. False for formats without one (GIF, PNG).
bool videoQualityRange(VideoFormat format, int& lowest, int& highest, int& standard);

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

struct VideoSettings {
    VideoFormat format = VideoFormat::Unknown;
    int sourceWidth = 0;                 // frames handed in: RGBA, rows top first, packed
    int sourceHeight = 0;
    VideoFrameSize size;                 // in the file (videoFrameSize)
    std::int64_t rateNumerator = 30;     // frames per second, exactly
    std::int64_t rateDenominator = 1;
    std::int64_t frameCount = 0;         // frames that will be written
    int quality = -1;                    // within videoQualityRange; -1: the format's standard
    const PcmAudio* sound = nullptr;     // played from the first frame; cut or padded with
                                         // silence to the video's length
};

struct VideoEncoderState;

// One file being written. Move-only; destroying it before finishVideo
// removes what was written.
struct VideoOutput {
    VideoOutput();
    ~VideoOutput();
    VideoOutput(VideoOutput&&) noexcept;
    VideoOutput& operator=(VideoOutput&&) noexcept;
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    std::unique_ptr<VideoEncoderState> state;
};

// Sound is accepted at this rate only: the callers decode to it.
constexpr int kVideoSoundRate = 48000;

// Opens the encoder and the temporary output for `path`. On failure returns
// false with a one-line reason in `error` and leaves nothing on disk.
bool openVideo(VideoOutput& output, const std::string& path, const VideoSettings& settings, std::string& error);

// Encodes the next frame (sourceWidth x sourceHeight RGBA, rows top first).
bool writeVideoFrame(VideoOutput& output, const std::uint8_t* rgba, std::string& error);

// Flushes the encoders, completes the file and moves it (or every frame
// file) into place under the target's name. After a failure nothing is left
// but what was there before.
bool finishVideo(VideoOutput& output, std::string& error);

// Bytes of the finished output (every frame file together for PNG frames).
std::uint64_t finishedVideoBytes(const VideoOutput& output);
