#include "demo/music.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Equal temperament, A4 (note 69) at 440 Hz.
double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Equal-power pan gains for pan in [0, 1] (0 left, 1 right).
void panGains(float pan, float* l, float* r) {
    *l = static_cast<float>(std::cos(pan * kPi * 0.5));
    *r = static_cast<float>(std::sin(pan * kPi * 0.5));
}

// ---- voices -----------------------------------------------------------------

// One cycle of the pad's waveform: eight harmonics falling off steeply, a
// soft, hollow tone with nothing harsh at the top.
std::vector<float> padWavetable() {
    constexpr int kSize = 4096;
    std::vector<float> table(kSize + 1);
    for (int i = 0; i <= kSize; ++i) {
        const double phase = 2.0 * kPi * i / kSize;
        double v = 0.0;
        for (int n = 1; n <= 8; ++n) v += std::sin(n * phase + n * 0.7) / std::pow(n, 1.7);
        table[static_cast<std::size_t>(i)] = static_cast<float>(v * 0.6);
    }
    return table;
}

// A pad note: three slightly detuned oscillators spread across the stereo
// field, swelling in and fading out on raised-cosine ramps, so the note starts
// and ends at exactly zero.
void renderPad(LoopBuffer& buffer, const std::vector<float>& table, long start, int note, double holdSeconds,
                      float gain) {
    constexpr double kAttack = 1.4;
    constexpr double kRelease = 2.4;
    constexpr double kDetuneCents[3] = {-7.0, 0.0, 6.0};
    constexpr float kPans[3] = {0.2f, 0.5f, 0.8f};
    const double size = static_cast<double>(table.size() - 1);
    const long frames = static_cast<long>((holdSeconds + kRelease) * kSampleRate);
    for (int v = 0; v < 3; ++v) {
        const double step = noteFrequency(note) * std::pow(2.0, kDetuneCents[v] / 1200.0) * size / kSampleRate;
        float panL = 0.0f, panR = 0.0f;
        panGains(kPans[v], &panL, &panR);
        double phase = size * 0.31 * v;  // the three voices start out of phase
        for (long i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            double envelope = 1.0;
            if (t < kAttack) envelope = 0.5 - 0.5 * std::cos(kPi * t / kAttack);
            else if (t > holdSeconds) envelope = 0.5 + 0.5 * std::cos(kPi * (t - holdSeconds) / kRelease);
            const std::size_t k = static_cast<std::size_t>(phase);
            const double frac = phase - static_cast<double>(k);
            const double sample = table[k] + (table[k + 1] - table[k]) * frac;
            const float s = static_cast<float>(sample * envelope) * gain / 3.0f;
            buffer.add(start + i, s * panL, s * panR);
            phase += step;
            if (phase >= size) phase -= size;
        }
    }
}

// A round bass note: fundamental and a little second harmonic, a quick
// swell and a long decay that is faded to zero before the note ends.
void renderBass(LoopBuffer& buffer, long start, int note, double seconds, float gain) {
    const double w = 2.0 * kPi * noteFrequency(note) / kSampleRate;
    const long frames = static_cast<long>(seconds * kSampleRate);
    const long fade = kSampleRate / 4;
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double envelope = std::min(1.0, t / 0.03) * std::exp(-t / 1.6);
        if (i > frames - fade) envelope *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(frames - i) / fade);
        const double phase = w * static_cast<double>(i);
        const float s = static_cast<float>((std::sin(phase) + 0.25 * std::sin(2.0 * phase)) * envelope) * gain;
        buffer.add(start + i, s, s);
    }
}

// A plucked note: six harmonics, each dying away faster than the one below,
// as a string's do, after a few milliseconds of attack (an instant one would
// click). The harmonics are turned by a rotation each frame instead of
// calling sin per sample.
void renderPluck(LoopBuffer& buffer, long start, int note, float gain, float pan, LoopBuffer* echoSend,
                        float sendLevel) {
    constexpr double kSeconds = 3.0;
    constexpr double kAttack = 0.004;
    constexpr int kHarmonics = 6;
    const long frames = static_cast<long>(kSeconds * kSampleRate);
    const long fade = kSampleRate / 10;
    double c[kHarmonics], s[kHarmonics], rc[kHarmonics], rs[kHarmonics], amp[kHarmonics], decay[kHarmonics];
    for (int n = 0; n < kHarmonics; ++n) {
        const double w = 2.0 * kPi * noteFrequency(note) * (n + 1) / kSampleRate;
        c[n] = 1.0;
        s[n] = 0.0;
        rc[n] = std::cos(w);
        rs[n] = std::sin(w);
        amp[n] = 1.0 / std::pow(n + 1, 1.3);
        decay[n] = std::exp(-(1.6 + 1.5 * n) / kSampleRate);
    }
    float panL = 0.0f, panR = 0.0f;
    panGains(pan, &panL, &panR);
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double v = 0.0;
        for (int n = 0; n < kHarmonics; ++n) {
            v += s[n] * amp[n];
            const double cn = c[n] * rc[n] - s[n] * rs[n];
            s[n] = s[n] * rc[n] + c[n] * rs[n];
            c[n] = cn;
            amp[n] *= decay[n];
        }
        double envelope = std::min(1.0, t / kAttack);
        if (i > frames - fade) envelope *= static_cast<double>(frames - i) / fade;
        const float sample = static_cast<float>(v * envelope) * gain;
        buffer.add(start + i, sample * panL, sample * panR);
        if (echoSend) echoSend->add(start + i, sample * panL * sendLevel, sample * panR * sendLevel);
    }
}

// ---- the score --------------------------------------------------------------

struct Chord {
    int bass;
    int pad[5];  // 0 ends the voicing early
};

// C major: Cmaj9, Am7, Fmaj7, G6, Cmaj9, Em7, Fmaj7, G. The pads keep E4 or
// D4 on top, so the voicings barely move from bar to bar.
constexpr Chord kProgression[kBars] = {
    {36, {55, 59, 62, 64, 0}}, {45, {52, 55, 60, 64, 0}}, {41, {53, 57, 60, 64, 0}}, {43, {55, 59, 62, 64, 0}},
    {36, {55, 59, 62, 64, 0}}, {40, {52, 55, 59, 62, 0}}, {41, {53, 57, 60, 64, 0}}, {43, {55, 59, 62, 67, 0}},
};

// The melody, one note per eighth (-1 is a rest), on C D E G A only: the
// pentatonic scale has no note that clashes with any of the chords.
constexpr int kMelody[kBars][8] = {
    {76, -1, 74, -1, 72, 67, -1, -1}, {69, -1, 72, -1, 76, -1, 74, -1},
    {72, -1, -1, 69, 67, -1, 69, -1}, {74, -1, -1, -1, 67, 69, 74, -1},
    {76, -1, 79, -1, 76, 74, -1, 72}, {74, -1, -1, 76, -1, -1, 67, -1},
    {69, -1, 72, -1, 69, 67, -1, -1}, {74, -1, -1, -1, -1, -1, 67, -1},
};

// ---- mixing -----------------------------------------------------------------

// Ping-pong echo of a dotted eighth: each repeat crosses to the other side
// and loses some level. It runs round the loop twice and keeps the second
// round, so the echoes that the end of the loop leaves behind are already
// sounding at its start.
void addPingPongEcho(const LoopBuffer& send, LoopBuffer& mix) {
    constexpr long kDelay = kFramesPerBeat * 3 / 4;
    constexpr float kFeedback = 0.42f;
    constexpr float kWet = 0.55f;
    std::vector<float> delayLeft(kDelay, 0.0f), delayRight(kDelay, 0.0f);
    long cursor = 0;
    for (int round = 0; round < 2; ++round) {
        for (long i = 0; i < kLoopFrames; ++i) {
            const float outLeft = delayLeft[static_cast<std::size_t>(cursor)];
            const float outRight = delayRight[static_cast<std::size_t>(cursor)];
            delayLeft[static_cast<std::size_t>(cursor)] = send.right[static_cast<std::size_t>(i)] + outRight * kFeedback;
            delayRight[static_cast<std::size_t>(cursor)] = send.left[static_cast<std::size_t>(i)] + outLeft * kFeedback;
            cursor = (cursor + 1) % kDelay;
            if (round == 1) mix.add(i, outLeft * kWet, outRight * kWet);
        }
    }
}

}  // namespace

LoopBuffer renderTrack() {
    constexpr float kPeak = 0.85f;
    LoopBuffer mix;
    LoopBuffer echoSend;
    const std::vector<float> table = padWavetable();
    const double barSeconds = static_cast<double>(kFramesPerBar) / kSampleRate;
    const long eighth = kFramesPerBeat / 2;
    for (int bar = 0; bar < kBars; ++bar) {
        const long barStart = static_cast<long>(bar) * kFramesPerBar;
        const Chord& chord = kProgression[bar];
        for (int note : chord.pad) {
            if (note == 0) break;
            renderPad(mix, table, barStart, note, barSeconds, 0.16f);
        }
        renderBass(mix, barStart, chord.bass, barSeconds * 0.95, 0.22f);
        renderBass(mix, barStart + 2 * kFramesPerBeat + eighth, chord.bass + 12, barSeconds * 0.4, 0.08f);
        for (int step = 0; step < 8; ++step) {
            const int note = kMelody[bar][step];
            if (note < 0) continue;
            // Downbeats a touch louder; notes drift from side to side.
            const float accent = (step % 4 == 0) ? 1.0f : 0.8f;
            const float pan = 0.5f + 0.2f * static_cast<float>(std::sin(0.9 * (bar * 8 + step)));
            renderPluck(mix, barStart + step * eighth, note, 0.16f * accent, pan, &echoSend, 0.5f);
        }
    }
    addPingPongEcho(echoSend, mix);
    float peak = 0.0f;
    for (long i = 0; i < kLoopFrames; ++i) {
        peak = std::max(peak, std::fabs(mix.left[static_cast<std::size_t>(i)]));
        peak = std::max(peak, std::fabs(mix.right[static_cast<std::size_t>(i)]));
    }
    const float gain = peak > 0.0f ? kPeak / peak : 1.0f;
    for (long i = 0; i < kLoopFrames; ++i) {
        mix.left[static_cast<std::size_t>(i)] *= gain;
        mix.right[static_cast<std::size_t>(i)] *= gain;
    }
    return mix;
}

std::vector<std::uint8_t> encodeWav(const LoopBuffer& track) {
    constexpr std::uint32_t kBytesPerSample = 2;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(kLoopFrames) * kChannels * kBytesPerSample;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44 + dataBytes);
    auto text = [&](const char* s) { bytes.insert(bytes.end(), s, s + 4); };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint32_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    text("RIFF");
    u32(36 + dataBytes);  // everything after this field
    text("WAVE");
    text("fmt ");
    u32(16);  // size of the PCM format chunk
    u16(1);   // PCM
    u16(kChannels);
    u32(kSampleRate);
    u32(kSampleRate * kChannels * kBytesPerSample);  // bytes per second
    u16(kChannels * kBytesPerSample);                // bytes per frame
    u16(8 * kBytesPerSample);                        // bits per sample
    text("data");
    u32(dataBytes);
    for (long i = 0; i < kLoopFrames; ++i) {
        for (const std::vector<float>* channel : {&track.left, &track.right}) {
            const float v = std::max(-1.0f, std::min(1.0f, (*channel)[static_cast<std::size_t>(i)]));
            const auto sample = static_cast<std::int16_t>(std::lround(v * 32767.0f));
            u16(static_cast<std::uint16_t>(sample));
        }
    }
    return bytes;
}

}  // namespace demo
