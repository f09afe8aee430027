#pragma once
// Writing frames as a video file, an animated GIF or one PNG file per frame
// (the formats of video_formats.h) through FFmpeg's libraries, with an
// optional sound track.
//
// The output is written under a temporary name beside the target (for PNG
// frames, into a temporary folder) and moved into place by finishVideo only
// once complete, so a failed or abandoned export never leaves a broken file
// under the target's name and never replaces an older one.

#include <cstdint>
#include <memory>
#include <string>

#include "media/pcm_audio.h"
#include "media/video_formats.h"

struct VideoSettings {
    VideoFormat format = VideoFormat::Unknown;
    int sourceWidth = 0;                 // frames handed in: RGBA, rows top first, packed
    int sourceHeight = 0;
    VideoFrameSize size;                 // in the file (videoFrameSize)
    std::int64_t rateNumerator = 30;     // frames per second, exactly
    std::int64_t rateDenominator = 1;
    std::int64_t frameCount = 0;         // frames that will be written
    // A loop's frames repeat every periodFrames frames (0: no repetition).
    // Only the first period's frames are handed in (videoFramesHandedIn);
    // the file repeats them (repeatVideoFrames): MP4 and WebM encode the
    // period as a group of pictures of its own and write its packets again
    // with later timestamps, GIF writes its encoded frames again, PNG frames
    // copy their files. A length that is not whole periods ends with the
    // first frames of one more.
    std::int64_t periodFrames = 0;
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

// Every call returns false on failure with a one-line reason in `error`
// (without a trailing newline or a program's name): what went wrong, for the
// caller to report.

// Opens the encoder and the temporary output for `path`. On failure leaves
// nothing on disk.
bool openVideo(VideoOutput& output, const std::string& path, const VideoSettings& settings, std::string& error);

// The frames the caller hands in with writeVideoFrame: frameCount, or for
// frames that repeat only the first period's (fewer when the whole length
// is shorter).
std::int64_t videoFramesHandedIn(const VideoSettings& settings);

// Encodes the next frame (sourceWidth x sourceHeight RGBA, rows top first).
bool writeVideoFrame(VideoOutput& output, const std::uint8_t* rgba, std::string& error);

// Once every frame was handed in: writes the next period of the file from
// the first one (or the shorter last part), with the sound that goes with
// it. Call until videoFramesWritten reaches frameCount; between the calls a
// caller may report progress or give the output up.
bool repeatVideoFrames(VideoOutput& output, std::string& error);

// Frames in the file so far: those encoded and those repeated.
std::int64_t videoFramesWritten(const VideoOutput& output);

// Writes whatever repeats are still missing, flushes the encoders, completes the file and moves it (or every frame
// file) into place under the target's name. After a failure nothing is left
// but what was there before.
bool finishVideo(VideoOutput& output, std::string& error);

// Bytes of the finished output (every frame file together for PNG frames).
std::uint64_t finishedVideoBytes(const VideoOutput& output);
