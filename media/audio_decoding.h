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
    // A sound longer than this many seconds is refused: from the length its
    // file declares before anything is decoded, or else once its decoded
    // length passes it. 0: no limit.
    double longestSeconds = 0.0;
    // Only the first this many seconds are decoded and returned; the rest of
    // a longer sound is not read, and no limit above refuses it for its
    // length. 0: the whole sound.
    double firstSeconds = 0.0;
};

// Decodes the best audio stream of the file at `path` (a regular file only),
// converted to 16-bit samples with min(file's channels, maxChannels)
// channels. On failure returns false, leaves `audio` unchanged and puts a
// one-line reason in `error` (without a trailing newline), as every media
// call does; a sound refused for its length says how long it is and names
// the limit ("it lasts 2.0 hours, longer than the 1 hour ...").
bool decodeAudioFile(const char* path, PcmAudio& audio, std::string& error, const AudioDecodeOptions& options = {});

// Silences FFmpeg's own log lines (stream probing notes, decoder warnings)
// for the rest of the process, for tools that report failures in one line of
// their own.
void quietMediaLibraryLogs();
