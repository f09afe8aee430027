#pragma once
// Any sound file FFmpeg's libraries read (WAV, MP3, OGG, FLAC, M4A, the
// sound of a video file, ...) decoded to PcmAudio.

#include <cstdint>
#include <string>

#include "media/pcm_audio.h"

struct AudioDecodeOptions {
    int sampleRate = 0;          // output rate; 0 keeps the file's own
    int maxChannels = 2;         // more channels are mixed down to stereo (2) or mono (1)
    std::int64_t maxFrames = 0;  // a longer sound is refused; 0: no limit
};

// Decodes the best audio stream of the file at `path`, converted to 16-bit
// samples with min(file's channels, maxChannels) channels. On failure
// returns false, leaves `audio` unchanged and puts a one-line reason in
// `error` (without a trailing newline), as every media call does.
bool decodeAudioFile(const char* path, PcmAudio& audio, std::string& error, const AudioDecodeOptions& options = {});

// Silences FFmpeg's own log lines (stream probing notes, decoder warnings)
// for the rest of the process, for tools that report failures in one line of
// their own.
void quietMediaLibraryLogs();
