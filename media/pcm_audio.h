#pragma once
// Decoded sound as the media code hands it around: 16-bit signed samples,
// interleaved by channel.

#include <cstdint>
#include <vector>

struct PcmAudio {
    int sampleRate = 0;                 // frames per second
    int channels = 0;                   // 1 (mono) or 2 (left, right)
    std::vector<std::int16_t> samples;  // frame after frame, channels interleaved

    std::int64_t frameCount() const {
        return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};
