#pragma once
// PcmAudio as a RIFF WAVE file: 16-bit PCM, the plain 44-byte header that
// every player and the program's own audio reads.

#include <cstdint>
#include <vector>

#include "media/pcm_audio.h"

// The largest number of sample frames a WAV file can hold at `channels`
// channels: its sizes are 32-bit fields.
std::int64_t maxWavFrames(int channels);

// The whole file in memory; empty when the audio has no channels or rate, or
// does not fit the format's 32-bit sizes.
std::vector<std::uint8_t> encodeWav(const PcmAudio& audio);

// Writes encodeWav's bytes to `path` through writeFileSafely (a temporary
// created exclusively beside it, synced, renamed over it). False when there
// is nothing to write or the file cannot be written in full; `path` is then
// as it was.
bool writeWavFile(const char* path, const PcmAudio& audio);
