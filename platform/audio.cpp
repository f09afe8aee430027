// The music player behind the three BASS calls: SDL2 audio, the whole track
// decoded into the device's format up front and copied out by the audio
// callback on SDL's audio thread.
#include "platform/audio.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/audio_loop.h"
#include "platform/fatal_error.h"
#include "platform/audio_control.h"
#include "platform/music_limit.h"
#include "platform/quiet_stderr.h"
#include "platform/regular_file.h"

namespace {
// One decoded track, ready for the callback.
struct Track {
    std::vector<std::uint8_t> samples;   // in the device's format
    bool loop = false;
    bool playing = false;     // written under the device lock
    std::size_t position = 0; // byte offset of the next sample
};

// The process's audio device and its tracks; handle n is tracks[n - 1].
struct AudioState {
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec obtained{}; // what the device really plays
    std::vector<std::unique_ptr<Track>> tracks;
    std::vector<std::uint8_t> mixBuffer;   // callback scratch, sized at open
    bool silenced = false;                 // the offscreen backend runs: open no device
};
// Never destroyed: the device's thread keeps calling the callback until the
// process is gone, also while static objects are destroyed at exit, so the
// state it reads must outlive them.
AudioState& audio = *new AudioState;

// Bytes of the device buffer one callback fills; small enough for low
// latency, large enough not to starve on a busy machine.
constexpr int deviceBufferFrames = 2048;
// Bytes fed to the converter at once while decoding a track.
constexpr std::size_t convertChunkBytes = 1 << 16;

// The most music a track may decode to: kLongestMusicSeconds (the limit the
// export and stillflow-new share), and never more than 1 GiB in the device's
// format. Anything longer is refused from its header, before its samples are
// read (a three-hour WAV cost 3.7 GB and 20 s before), and a WAV declaring
// a rate of 1 Hz is not resampled into gigabytes.
constexpr std::uint64_t largestTrackBytes = std::uint64_t{1} << 30;
// The format a track is checked against when no device is open.
constexpr int defaultOutputRate = 44100;
constexpr std::uint64_t defaultOutputFrameBytes = 2 * 2;  // 16-bit stereo

void SDLCALL fillAudio(void*, Uint8* out, int length) {
    std::memset(out, audio.obtained.silence, static_cast<std::size_t>(length));
    const std::size_t count = static_cast<std::size_t>(length);
    if (audio.mixBuffer.size() < count) return;  // never: sized from the obtained format
    for (const auto& track : audio.tracks) {
        if (!track->playing) continue;
        const std::size_t copied = readTrack(track->samples, track->position, track->loop, audio.mixBuffer.data(), count);
        if (copied < count) track->playing = false;
        SDL_MixAudioFormat(out, audio.mixBuffer.data(), audio.obtained.format, static_cast<Uint32>(copied),
                           SDL_MIX_MAXVOLUME);
    }
}

bool openDevice(int frequency) {
    // Without a sound card ALSA complains on standard error; stay silent.
    QuietStderr quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = frequency;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = deviceBufferFrames;
    wanted.callback = fillAudio;
    audio.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &audio.obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (audio.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audio.mixBuffer.resize(audio.obtained.size);
    return true;
}

// The bytes of a memory block the stream is made from.
bool readMemorySource(const void* file, std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& bytes) {
    if (!file || length == 0 || length > static_cast<std::uint64_t>(INT32_MAX)) return false;
    const auto* begin = static_cast<const std::uint8_t*>(file) + offset;
    bytes.assign(begin, begin + length);
    return true;
}

// ---- the WAV header, read before any sample ------------------------------------

// What a WAV file's header declares: its format chunk and the bytes of its
// data chunk (no more than the file holds).
struct WavHeader {
    std::uint32_t formatTag = 0;
    std::uint32_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t blockAlign = 0;
    std::uint32_t bits = 0;
    std::uint64_t dataBytes = 0;
};

std::uint32_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// Walks the RIFF chunks by their sizes, reading only the headers and the
// format chunk. False when the file is not a RIFF WAVE file with both
// chunks; the decoder then says why.
bool readWavHeader(std::FILE* in, std::uint64_t fileSize, WavHeader& header) {
    std::uint8_t riff[12];
    if (std::fread(riff, 1, sizeof riff, in) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return false;
    }
    constexpr int kMostChunks = 4096;  // a file of nothing but empty chunks ends the walk too
    bool haveFormat = false;
    std::uint64_t position = sizeof riff;
    for (int chunk = 0; chunk < kMostChunks; ++chunk) {
        std::uint8_t head[8];
        if (std::fseek(in, static_cast<long>(position), SEEK_SET) != 0 ||
            std::fread(head, 1, sizeof head, in) != sizeof head) {
            return false;
        }
        const std::uint64_t size = littleEndian(head + 4, 4);
        const std::uint64_t body = position + sizeof head;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            std::uint8_t format[16];
            if (size < sizeof format || std::fread(format, 1, sizeof format, in) != sizeof format) return false;
            header.formatTag = littleEndian(format, 2);
            header.channels = littleEndian(format + 2, 2);
            header.rate = littleEndian(format + 4, 4);
            header.blockAlign = littleEndian(format + 12, 2);
            header.bits = littleEndian(format + 14, 2);
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            header.dataBytes = std::min(size, fileSize > body ? fileSize - body : 0);
            return haveFormat;
        }
        position = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return false;
}

// An upper bound on the sample frames the data chunk decodes to; 0 when the
// format is not one the decoder takes (it then refuses the file itself).
std::uint64_t declaredFrames(const WavHeader& header) {
    constexpr std::uint32_t kPcm = 1, kMsAdpcm = 2, kFloat = 3, kALaw = 6, kMuLaw = 7, kImaAdpcm = 0x11,
                            kExtensible = 0xFFFE;
    if (header.channels == 0) return 0;
    switch (header.formatTag) {
    case kPcm:
    case kFloat:
    case kALaw:
    case kMuLaw:
    case kExtensible: {
        std::uint64_t frameBytes = header.blockAlign;
        if (frameBytes == 0) frameBytes = static_cast<std::uint64_t>(header.channels) * (header.bits / 8);
        return frameBytes == 0 ? 0 : header.dataBytes / frameBytes;
    }
    case kMsAdpcm:
    case kImaAdpcm:
        // Four bits a sample at the least.
        return header.dataBytes * 2 / header.channels;
    default:
        return 0;
    }
}

// Frame rate and bytes per frame of what the track is decoded into: the
// device's format, or the default one when no device is open.
struct OutputFormat {
    int rate;
    std::uint64_t frameBytes;
};

OutputFormat outputFormat() {
    if (audio.device == 0) return {defaultOutputRate, defaultOutputFrameBytes};
    return {audio.obtained.freq, (SDL_AUDIO_BITSIZE(audio.obtained.format) / 8u) * std::uint64_t{audio.obtained.channels}};
}

// Why a source of this many sample frames at this rate can't be played:
// too long, or too large in the device's format. Empty when it can.
std::string trackSizeProblem(std::uint64_t frames, std::uint32_t rate) {
    if (rate == 0) return "its format is not one that can be played";
    const double seconds = static_cast<double>(frames) / rate;
    const OutputFormat out = outputFormat();
    const double outputBytes = seconds * out.rate * static_cast<double>(out.frameBytes);
    if (seconds > kLongestMusicSeconds || outputBytes > static_cast<double>(largestTrackBytes)) {
        char text[160];
        std::snprintf(text, sizeof text, "it lasts %.1f hours at %u Hz; at most %s of music is played",
                      seconds / 3600.0, rate, kLongestMusicText);
        return text;
    }
    return {};
}

// The same from what SDL decoded.
std::string decodedSizeProblem(const SDL_AudioSpec& source, Uint32 wavLength) {
    const std::uint64_t sourceFrameBytes = (SDL_AUDIO_BITSIZE(source.format) / 8u) * std::uint64_t{source.channels};
    if (source.freq <= 0 || sourceFrameBytes == 0) return "its format is not one that can be played";
    return trackSizeProblem(wavLength / sourceFrameBytes, static_cast<std::uint32_t>(source.freq));
}

// The stream the WAV decoder reads: a regular file at `path` whose header
// declares a track short enough to play, or null with `why` saying why
// (empty for a missing file, the ordinary case of a run without music).
SDL_RWops* openTrackFile(const char* path, std::string& why) {
    FileCheck check = FileCheck::unusable;
    std::uint64_t size = 0;
    std::FILE* in = openRegularFile(path, check, why, &size);
    if (!in) return nullptr;
    if (size == 0) {
        std::fclose(in);
        why = "it is empty";
        return nullptr;
    }
    WavHeader header;
    if (readWavHeader(in, size, header)) {
        why = trackSizeProblem(declaredFrames(header), header.rate);
        if (!why.empty()) {
            std::fclose(in);
            return nullptr;
        }
    }
    SDL_RWops* stream = std::fseek(in, 0, SEEK_SET) == 0 ? SDL_RWFromFP(in, SDL_TRUE) : nullptr;
    if (!stream) {
        std::fclose(in);
        why = "it cannot be read";
    }
    return stream;
}

// Decodes a WAV stream into the device's format, closing the stream; `why`
// says why not. With no device open, only checks that the track could be
// decoded.
bool decodeWav(SDL_RWops* wavStream, std::vector<std::uint8_t>& samples, std::string& why) {
    SDL_AudioSpec source{};
    Uint8* wav = nullptr;
    Uint32 wavLength = 0;
    if (!SDL_LoadWAV_RW(wavStream, 1, &source, &wav, &wavLength)) {
        why = std::string("it is not a WAV file that can be decoded (") + SDL_GetError() + ")";
        return false;
    }
    why = decodedSizeProblem(source, wavLength);
    if (!why.empty() || audio.device == 0) {
        SDL_FreeWAV(wav);
        return false;
    }
    SDL_AudioStream* stream = SDL_NewAudioStream(source.format, source.channels, source.freq, audio.obtained.format,
                                                 audio.obtained.channels, audio.obtained.freq);
    const std::size_t sourceFrameBytes = (SDL_AUDIO_BITSIZE(source.format) / 8u) * source.channels;
    bool ok = stream != nullptr && sourceFrameBytes > 0;
    // Moves whatever the converter has ready to the end of samples.
    auto drain = [&] {
        while (ok && SDL_AudioStreamAvailable(stream) > 0) {
            const std::size_t at = samples.size();
            samples.resize(at + static_cast<std::size_t>(SDL_AudioStreamAvailable(stream)));
            const int got = SDL_AudioStreamGet(stream, samples.data() + at, static_cast<int>(samples.size() - at));
            ok = got >= 0;
            samples.resize(at + static_cast<std::size_t>(std::max(got, 0)));
            if (got == 0) break;
        }
    };
    // The converter takes whole sample frames only.
    const std::size_t chunkBytes = ok ? convertChunkBytes - convertChunkBytes % sourceFrameBytes : 0;
    const Uint32 wholeLength = ok ? static_cast<Uint32>(wavLength - wavLength % sourceFrameBytes) : 0;
    for (Uint32 done = 0; ok && done < wholeLength;) {
        const Uint32 chunk = static_cast<Uint32>(std::min<std::size_t>(chunkBytes, wholeLength - done));
        ok = SDL_AudioStreamPut(stream, wav + done, static_cast<int>(chunk)) == 0;
        done += chunk;
        drain();
    }
    if (ok) ok = SDL_AudioStreamFlush(stream) == 0;
    drain();
    if (stream) SDL_FreeAudioStream(stream);
    SDL_FreeWAV(wav);
    // Whole sample frames only, so looping never shifts the channels.
    const std::size_t frameBytes = (SDL_AUDIO_BITSIZE(audio.obtained.format) / 8u) * audio.obtained.channels;
    samples.resize(samples.size() - samples.size() % frameBytes);
    if (!ok) why = std::string("converting it failed (") + SDL_GetError() + ")";
    return ok && !samples.empty();
}
}  // namespace

std::size_t readTrack(const std::vector<std::uint8_t>& track, std::size_t& position, bool loop, std::uint8_t* out,
                      std::size_t count) {
    std::size_t copied = 0;
    while (copied < count && !track.empty()) {
        if (position >= track.size()) {
            if (!loop) break;
            position = 0;
        }
        const std::size_t take = std::min(count - copied, track.size() - position);
        std::memcpy(out + copied, track.data() + position, take);
        copied += take;
        position += take;
    }
    if (loop && position >= track.size()) position = 0;
    return copied;
}

void silenceAudioOutput() { audio.silenced = true; }

bool BASS_Init(int, std::uint32_t freq, std::uint32_t, void*, const void*) {
    // Offscreen runs are silent and deterministic.
    if (audio.silenced) return false;
    if (audio.device != 0) return true;
    return openDevice(freq > 0 ? static_cast<int>(freq) : 44100);
}

std::uint32_t BASS_StreamCreateFile(bool mem, const void* file, std::uint64_t offset, std::uint64_t length,
                                    std::uint32_t flags) {
    // The track is checked also without a device, so that a user learns of
    // an unusable one wherever the program runs.
    auto track = std::make_unique<Track>();
    std::string why;
    SDL_RWops* source = nullptr;
    std::vector<std::uint8_t> bytes;
    if (mem) {
        if (readMemorySource(file, offset, length, bytes)) {
            source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        }
    } else if (file && offset == 0 && length == 0) {
        source = openTrackFile(static_cast<const char*>(file), why);
    }
    if (!source || !decodeWav(source, track->samples, why)) {
        if (!why.empty()) {
            reportProblem("\"%s\" is not played: %s", mem ? "the music in memory" : static_cast<const char*>(file),
                          why.c_str());
        }
        return 0;
    }
    track->loop = (flags & BASS_SAMPLE_LOOP) != 0;
    SDL_LockAudioDevice(audio.device);
    audio.tracks.push_back(std::move(track));
    const auto handle = static_cast<std::uint32_t>(audio.tracks.size());
    SDL_UnlockAudioDevice(audio.device);
    return handle;
}

bool BASS_ChannelPlay(std::uint32_t handle, bool restart) {
    if (audio.device == 0 || handle == 0 || handle > audio.tracks.size()) return false;
    SDL_LockAudioDevice(audio.device);
    Track& track = *audio.tracks[handle - 1];
    if (restart) track.position = 0;
    track.playing = true;
    SDL_UnlockAudioDevice(audio.device);
    SDL_PauseAudioDevice(audio.device, 0);
    return true;
}

bool BASS_StreamFree(std::uint32_t handle) {
    if (handle == 0 || handle > audio.tracks.size()) return false;
    // The slot stays, so the other handles keep naming their tracks.
    std::vector<std::uint8_t> samples;
    SDL_LockAudioDevice(audio.device);
    Track& track = *audio.tracks[handle - 1];
    track.playing = false;
    track.position = 0;
    samples.swap(track.samples);
    SDL_UnlockAudioDevice(audio.device);
    return true;
}
