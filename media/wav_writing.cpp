#include "media/wav_writing.h"

#include <limits>
#include <string>

#include "platform/safe_file.h"

namespace {

constexpr std::uint32_t kHeaderBytes = 44;
constexpr std::uint32_t kBytesPerSample = 2;
// A RIFF size field counts everything after itself: the header's last 36
// bytes and the data.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - (kHeaderBytes - 8);

void putU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void putU16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}
void putTag(std::vector<std::uint8_t>& bytes, const char* tag) { bytes.insert(bytes.end(), tag, tag + 4); }

}  // namespace

std::int64_t maxWavFrames(int channels) {
    if (channels < 1) return 0;
    return static_cast<std::int64_t>(kMaxDataBytes / (static_cast<std::uint64_t>(channels) * kBytesPerSample));
}

std::vector<std::uint8_t> encodeWav(const PcmAudio& audio) {
    if (audio.channels < 1 || audio.channels > 2 || audio.sampleRate < 1) return {};
    if (audio.samples.size() % static_cast<std::size_t>(audio.channels) != 0) return {};
    if (audio.frameCount() > maxWavFrames(audio.channels)) return {};
    const auto channels = static_cast<std::uint32_t>(audio.channels);
    const auto rate = static_cast<std::uint32_t>(audio.sampleRate);
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * kBytesPerSample);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(kHeaderBytes + dataBytes);
    putTag(bytes, "RIFF");
    putU32(bytes, kHeaderBytes - 8 + dataBytes);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putU32(bytes, 16);  // size of the PCM format chunk
    putU16(bytes, 1);   // PCM
    putU16(bytes, channels);
    putU32(bytes, rate);
    putU32(bytes, rate * channels * kBytesPerSample);  // bytes per second
    putU16(bytes, channels * kBytesPerSample);         // bytes per frame
    putU16(bytes, 8 * kBytesPerSample);                // bits per sample
    putTag(bytes, "data");
    putU32(bytes, dataBytes);
    for (const std::int16_t sample : audio.samples) putU16(bytes, static_cast<std::uint16_t>(sample));
    return bytes;
}

bool writeWavFile(const char* path, const PcmAudio& audio) {
    const std::vector<std::uint8_t> bytes = encodeWav(audio);
    if (!path || bytes.empty()) return false;
    // Through a temporary created exclusively: never through a link planted
    // under the name, and never a half-written track.
    std::string error;
    return writeFileSafely(path, bytes.data(), bytes.size(), error);
}
