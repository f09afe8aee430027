#pragma once
// The demo scene's music track: a slow ambient loop of eight bars. Soft pads
// play a chord progression, a round bass holds the roots, and a plucked
// melody on the major pentatonic scale floats over them with a ping-pong
// echo. The loop must repeat without a click, so every note is rendered into
// a circular buffer: a tail that runs past the loop's end continues at its
// start, exactly where the player lands when it wraps around. The echo runs
// round the loop twice for the same reason.
//
// Sections: timing, the loop buffer, voices, the score, mixing, WAV encoding.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo {

// ---- timing -----------------------------------------------------------------

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
// 75 beats per minute divides 44100 * 60 exactly: 35280 frames a beat, so
// every beat, bar and the loop itself fall on whole frames.
constexpr int kBeatsPerMinute = 75;
constexpr int kFramesPerBeat = kSampleRate * 60 / kBeatsPerMinute;
constexpr int kBeatsPerBar = 4;
constexpr int kBars = 8;
constexpr int kFramesPerBar = kFramesPerBeat * kBeatsPerBar;
constexpr int kLoopFrames = kFramesPerBar * kBars;  // 25.6 seconds
static_assert(kSampleRate * 60 % kBeatsPerMinute == 0, "a beat must be a whole number of frames");

// ---- the loop buffer --------------------------------------------------------

struct LoopBuffer {
    std::vector<float> left = std::vector<float>(kLoopFrames, 0.0f);
    std::vector<float> right = std::vector<float>(kLoopFrames, 0.0f);

    // Adds a sample at a frame counted from the loop's start; frames past
    // the end wrap round to the beginning.
    void add(long frame, float l, float r) {
        const std::size_t i = static_cast<std::size_t>(frame % kLoopFrames);
        left[i] += l;
        right[i] += r;
    }
};

// The whole loop, left and right, peaking at kPeak of full scale.
LoopBuffer renderTrack();

// ---- WAV encoding -----------------------------------------------------------

// A complete 16-bit PCM stereo WAV file: the 44-byte RIFF header ("RIFF",
// "WAVE", a 16-byte "fmt " chunk, a "data" chunk) and the interleaved
// samples, all little-endian whatever the host.
std::vector<std::uint8_t> encodeWav(const LoopBuffer& track);

}  // namespace demo
