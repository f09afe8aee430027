// The music player behind the three BASS calls: SDL2 audio, the whole track
// decoded into the device's format up front and copied out by the audio
// callback on SDL's audio thread.
#include "platform/audio.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/audio_loop.h"
#include "platform/gui_backend.h"
#include "platform/quiet_stderr.h"

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

// The bytes of the file (or memory block) the stream is made from.
bool readSource(bool inMemory, const void* file, std::uint64_t offset, std::uint64_t length,
                std::vector<std::uint8_t>& bytes) {
    if (!file) return false;
    if (inMemory) {
        if (length == 0) return false;
        const auto* begin = static_cast<const std::uint8_t*>(file) + offset;
        bytes.assign(begin, begin + length);
        return true;
    }
    SDL_RWops* rw = SDL_RWFromFile(static_cast<const char*>(file), "rb");
    if (!rw) return false;
    const Sint64 size = SDL_RWsize(rw);
    bool ok = size >= 0 && offset <= static_cast<std::uint64_t>(size);
    if (ok) {
        const std::uint64_t available = static_cast<std::uint64_t>(size) - offset;
        const std::uint64_t take = length == 0 ? available : std::min(length, available);
        bytes.resize(static_cast<std::size_t>(take));
        ok = SDL_RWseek(rw, static_cast<Sint64>(offset), RW_SEEK_SET) >= 0 &&
             (take == 0 || SDL_RWread(rw, bytes.data(), 1, bytes.size()) == bytes.size());
    }
    SDL_RWclose(rw);
    return ok;
}

// Decodes a WAV file's bytes into the device's format.
bool decodeWav(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& samples) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return false;
    SDL_AudioSpec source{};
    Uint8* wav = nullptr;
    Uint32 wavLength = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, &source, &wav,
                        &wavLength))
        return false;
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

bool BASS_Init(int, std::uint32_t freq, std::uint32_t, void*, const void*) {
    // Offscreen runs are silent and deterministic.
    if (guiIsOffscreen()) return false;
    if (audio.device != 0) return true;
    return openDevice(freq > 0 ? static_cast<int>(freq) : 44100);
}

std::uint32_t BASS_StreamCreateFile(bool mem, const void* file, std::uint64_t offset, std::uint64_t length,
                                    std::uint32_t flags) {
    if (audio.device == 0) return 0;
    std::vector<std::uint8_t> bytes;
    auto track = std::make_unique<Track>();
    if (!readSource(mem, file, offset, length, bytes) || !decodeWav(bytes, track->samples)) return 0;
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
