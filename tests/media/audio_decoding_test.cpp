// Sound files decoded to 16-bit PCM and written back as WAV.

#include "media/audio_decoding.h"
#include "media/wav_writing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/music_limit.h"
#include "support/scratch_folder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace {

// A WAV file of any sample encoding: `format` 1 (integer PCM) or 3 (float).
std::vector<std::uint8_t> wavFile(int format, int channels, int rate, int bits, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> b;
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i))); };
    auto u16 = [&](std::uint32_t v) { b.push_back(std::uint8_t(v)); b.push_back(std::uint8_t(v >> 8)); };
    const std::uint32_t frameBytes = std::uint32_t(channels * bits / 8);
    tag("RIFF");
    u32(4 + 8 + 18 + 8 + std::uint32_t(data.size()));
    tag("WAVE");
    tag("fmt ");
    u32(18);
    u16(std::uint32_t(format));
    u16(std::uint32_t(channels));
    u32(std::uint32_t(rate));
    u32(std::uint32_t(rate) * frameBytes);
    u16(frameBytes);
    u16(std::uint32_t(bits));
    u16(0);  // no extension
    tag("data");
    u32(std::uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

template <typename T>
void appendRaw(std::vector<std::uint8_t>& bytes, T value) {
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

// Writes one second of a 440 Hz tone at half scale, stereo at 44.1 kHz, with
// the named encoder into a file whose extension picks the container. False
// when this FFmpeg build lacks the encoder or the container.
bool encodeTone(const std::string& path, const char* encoderName) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
    AVFormatContext* format = nullptr;
    if (!encoder || avformat_alloc_output_context2(&format, nullptr, nullptr, path.c_str()) < 0) return false;
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    constexpr int kRate = 44100;
    codec->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    codec->sample_rate = kRate;
    codec->bit_rate = 128000;
    codec->time_base = AVRational{1, kRate};
    av_channel_layout_default(&codec->ch_layout, 2);
    if (format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVStream* stream = avformat_new_stream(format, nullptr);
    bool ok = stream && avcodec_open2(codec, encoder, nullptr) >= 0 &&
              avcodec_parameters_from_context(stream->codecpar, codec) >= 0 &&
              avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    if (ok) {
        stream->time_base = codec->time_base;
        ok = avformat_write_header(format, nullptr) >= 0;
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&]() {
        while (avcodec_receive_packet(codec, packet) >= 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) ok = false;
        }
    };
    const int frameSize = codec->frame_size > 0 ? codec->frame_size : 1024;
    for (int start = 0; ok && start < kRate; start += frameSize) {
        frame->nb_samples = std::min(frameSize, kRate - start);
        if (codec->frame_size > 0 && !(encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) {
            frame->nb_samples = frameSize;  // the last frame padded with the tone's continuation
        }
        frame->format = codec->sample_fmt;
        frame->sample_rate = kRate;
        av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
        ok = av_frame_get_buffer(frame, 0) >= 0;
        const auto sampleFormat = static_cast<AVSampleFormat>(frame->format);
        const bool planar = av_sample_fmt_is_planar(sampleFormat);
        for (int i = 0; ok && i < frame->nb_samples; ++i) {
            const double v = 0.5 * std::sin(2.0 * M_PI * 440.0 * (start + i) / kRate);
            for (int c = 0; c < 2; ++c) {
                std::uint8_t* plane = frame->extended_data[planar ? c : 0];
                const int index = planar ? i : 2 * i + c;
                switch (av_get_packed_sample_fmt(sampleFormat)) {
                    case AV_SAMPLE_FMT_S16: reinterpret_cast<std::int16_t*>(plane)[index] = std::int16_t(v * 32767); break;
                    case AV_SAMPLE_FMT_S32: reinterpret_cast<std::int32_t*>(plane)[index] = std::int32_t(v * 2147483647.0); break;
                    case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(plane)[index] = float(v); break;
                    default: ok = false;
                }
            }
        }
        frame->pts = start;
        if (ok) ok = avcodec_send_frame(codec, frame) >= 0;
        drain();
        av_frame_unref(frame);
    }
    if (ok) {
        avcodec_send_frame(codec, nullptr);
        drain();
        ok = av_write_trailer(format) >= 0;
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format->pb) avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

class AudioDecodingTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"stillflow-audio-test"};
};

TEST_F(AudioDecodingTest, SixteenBitWavSurvivesTheRoundTripSampleForSample) {
    PcmAudio original;
    original.sampleRate = 44100;
    original.channels = 2;
    for (int i = 0; i < 5000; ++i) {
        original.samples.push_back(static_cast<std::int16_t>(std::lround(20000 * std::sin(i * 0.05))));
        original.samples.push_back(static_cast<std::int16_t>(i % 2 ? -32768 : 32767));
    }
    const std::string path = scratch_.file("round.wav");
    ASSERT_TRUE(writeWavFile(path.c_str(), original));

    PcmAudio decoded;
    std::string error;
    ASSERT_TRUE(decodeAudioFile(path.c_str(), decoded, error)) << error;
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_TRUE(decoded.samples == original.samples);
}

TEST_F(AudioDecodingTest, OtherEncodingsAndChannelCountsArriveAsSixteenBitMonoOrStereo) {
    // 8-bit unsigned mono at 8 kHz: 0x80 is silence, 0xFF nearly full scale.
    std::vector<std::uint8_t> eightBit;
    for (int i = 0; i < 800; ++i) eightBit.push_back(i < 400 ? 0x80 : 0xFF);
    // 32-bit float, 6 channels at 22.05 kHz, mixed down to stereo.
    std::vector<std::uint8_t> surround;
    for (int i = 0; i < 2205; ++i)
        for (int c = 0; c < 6; ++c) appendRaw(surround, 0.25f);
    // 24-bit stereo at 48 kHz: left half scale, right a quarter, negative.
    std::vector<std::uint8_t> deep;
    for (int i = 0; i < 480; ++i) {
        for (const std::int32_t v : {0x400000, -0x200000}) {
            deep.push_back(std::uint8_t(v));
            deep.push_back(std::uint8_t(v >> 8));
            deep.push_back(std::uint8_t(v >> 16));
        }
    }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        int rate, channels;
        std::int64_t frames;
        std::int16_t lastLeft;  // the last frame's first channel
    };
    const Case cases[] = {
        {"8-bit mono", wavFile(1, 1, 8000, 8, eightBit), 8000, 1, 800, 32512},
        {"float 5.1", wavFile(3, 6, 22050, 32, surround), 22050, 2, 2205, 0},
        {"24-bit stereo", wavFile(1, 2, 48000, 24, deep), 48000, 2, 480, 16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch_.writeFile("sound.wav", c.file);
        PcmAudio audio;
        std::string error;
        ASSERT_TRUE(decodeAudioFile(path.c_str(), audio, error)) << error;
        EXPECT_EQ(audio.sampleRate, c.rate);
        EXPECT_EQ(audio.channels, c.channels);
        EXPECT_EQ(audio.frameCount(), c.frames);
        ASSERT_FALSE(audio.samples.empty());
        const std::int16_t lastLeft = audio.samples[audio.samples.size() - static_cast<std::size_t>(audio.channels)];
        if (c.lastLeft != 0) EXPECT_EQ(lastLeft, c.lastLeft);
        else EXPECT_GT(lastLeft, 0) << "the mixed-down channels keep their sign";
    }
}

TEST_F(AudioDecodingTest, CompressedFormatsDecodeToTheirToneAndLength) {
    struct Case {
        const char* file;
        const char* encoder;
    };
    const Case cases[] = {
        {"tone.flac", "flac"}, {"tone.m4a", "aac"}, {"tone.mp3", "libmp3lame"}, {"tone.ogg", "libvorbis"},
    };
    int decodedFormats = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = scratch_.file(c.file);
        if (!encodeTone(path, c.encoder)) {
            std::printf("note: this FFmpeg cannot write %s; not tested\n", c.file);
            continue;
        }
        PcmAudio audio;
        std::string error;
        ASSERT_TRUE(decodeAudioFile(path.c_str(), audio, error)) << error;
        ++decodedFormats;
        EXPECT_EQ(audio.sampleRate, 44100);
        EXPECT_EQ(audio.channels, 2);
        // Encoders pad to whole blocks and some decoders keep the priming
        // samples: about one second, give or take a few blocks.
        EXPECT_NEAR(static_cast<double>(audio.frameCount()), 44100.0, 4096.0);
        // The tone's level in the middle: RMS of a half-scale sine.
        double power = 0.0;
        const std::int64_t from = 11025, to = 33075;
        for (std::int64_t i = from; i < to; ++i) {
            const double left = audio.samples[static_cast<std::size_t>(2 * i)];
            power += left * left;
        }
        EXPECT_NEAR(std::sqrt(power / double(to - from)), 0.5 * 32767 / std::sqrt(2.0), 1200.0);
    }
    EXPECT_GE(decodedFormats, 2) << "FLAC and AAC encoders come with every FFmpeg build";
}

TEST_F(AudioDecodingTest, AskedRateAndChannelsAreWhatComesOut) {
    PcmAudio stereo;
    stereo.sampleRate = 22050;
    stereo.channels = 2;
    stereo.samples.assign(2 * 22050, 1000);
    const std::string path = scratch_.file("second.wav");
    ASSERT_TRUE(writeWavFile(path.c_str(), stereo));

    AudioDecodeOptions options;
    options.sampleRate = 44100;
    options.maxChannels = 1;
    PcmAudio audio;
    std::string error;
    ASSERT_TRUE(decodeAudioFile(path.c_str(), audio, error, options)) << error;
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_NEAR(static_cast<double>(audio.frameCount()), 44100.0, 64.0);
    EXPECT_NEAR(audio.samples[22050], 1000, 20);
}

TEST_F(AudioDecodingTest, FilesWithoutUsableSoundAreRefusedWithAReasonAndChangeNothing) {
    quietMediaLibraryLogs();  // the probing notes on these files are expected
    PcmAudio long_;
    long_.sampleRate = 8000;
    long_.channels = 1;
    long_.samples.assign(8000, 0);
    const std::string oneSecond = scratch_.file("long.wav");
    ASSERT_TRUE(writeWavFile(oneSecond.c_str(), long_));
    // Only a regular file is read: a FIFO would wait for a writer for ever.
    const std::string fifo = scratch_.file("fifo.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    struct Case {
        const char* name;
        std::string path;
        std::int64_t maxFrames;
        int sampleRate = 0;
    };
    const Case cases[] = {
        {"missing", scratch_.file("missing.mp3"), 0},
        {"text", scratch_.writeFile("notes.ogg", std::vector<std::uint8_t>(200, 'a')), 0},
        {"FIFO", fifo, 0},
        {"device", "/dev/zero", 0},
        {"empty", scratch_.writeFile("empty.flac", std::vector<std::uint8_t>{}), 0},
        {"header only", scratch_.writeFile("header.wav", wavFile(1, 2, 44100, 16, {})), 0},
        {"longer than allowed", oneSecond, 7999},
        // 100 samples at a declared 1 Hz: 100 s once resampled, past a
        // one-minute limit, refused before the resampler's output is held.
        {"absurd rate resampled past the limit",
         scratch_.writeFile("one-hertz.wav", wavFile(1, 1, 1, 16, std::vector<std::uint8_t>(200, 0))), 60 * 48000,
         48000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PcmAudio audio;
        audio.sampleRate = 1;
        audio.channels = 1;
        audio.samples = {7};
        std::string error;
        AudioDecodeOptions options;
        options.maxFrames = c.maxFrames;
        options.sampleRate = c.sampleRate;
        EXPECT_FALSE(decodeAudioFile(c.path.c_str(), audio, error, options));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(audio.sampleRate, 1);
        EXPECT_EQ(audio.samples.size(), 1u);
    }
}

// A FLAC file whose STREAMINFO declares `seconds` of sound at 44.1 kHz while
// it holds the one second encodeTone wrote: the length a header may claim.
// Empty when this FFmpeg cannot write FLAC.
std::string flacDeclaring(const ScratchFolder& scratch, const char* name, double seconds) {
    const std::string path = scratch.file(name);
    if (!encodeTone(path, "flac")) return {};
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    std::uint8_t field[8];
    // "fLaC", the block header, then 10 bytes of block and frame sizes; the
    // total sample count is the low 36 bits of the next 8 bytes, big-endian.
    const bool read = file && std::fseek(file, 18, SEEK_SET) == 0 && std::fread(field, 1, 8, file) == 8;
    std::uint64_t bits = 0;
    for (const std::uint8_t byte : field) bits = (bits << 8) | byte;
    bits = (bits & ~((std::uint64_t{1} << 36) - 1)) | static_cast<std::uint64_t>(seconds * 44100.0);
    for (int i = 7; i >= 0; --i, bits >>= 8) field[i] = static_cast<std::uint8_t>(bits);
    const bool written = read && std::fseek(file, 18, SEEK_SET) == 0 && std::fwrite(field, 1, 8, file) == 8;
    if (file) std::fclose(file);
    return written ? path : std::string();
}

// The music limit is decided from the length a file declares, before any
// decoding (a 10-hour FLAC cost the scene tool 4.7 GB before its refusal),
// and the refusal names it; a sound asked for in part is decoded only that
// far, however long it declares itself, and is exactly that long.
TEST_F(AudioDecodingTest, TheLengthAFileDeclaresDecidesAndAPartOfItIsDecodedOnlyThatFar) {
    quietMediaLibraryLogs();
    const std::string twoHours = flacDeclaring(scratch_, "two-hours.flac", 7200.0);
    if (twoHours.empty()) GTEST_SKIP() << "this FFmpeg cannot write FLAC";
    AudioDecodeOptions limited;
    limited.longestSeconds = kLongestMusicSeconds;
    PcmAudio audio;
    std::string error;
    EXPECT_FALSE(decodeAudioFile(twoHours.c_str(), audio, error, limited));
    EXPECT_EQ(error, "it lasts 2.0 hours, longer than the 1 hour music may last");

    struct Case {
        const char* name;
        std::string path;
        double firstSeconds;
        std::int64_t frames;
    };
    PcmAudio ramp;
    ramp.sampleRate = 8000;
    ramp.channels = 2;
    for (int i = 0; i < 8000; ++i) ramp.samples.insert(ramp.samples.end(), {std::int16_t(i), std::int16_t(-i)});
    const std::string rampPath = scratch_.file("ramp.wav");
    ASSERT_TRUE(writeWavFile(rampPath.c_str(), ramp));
    const Case cases[] = {
        {"the first half second of a FLAC declaring two hours", twoHours, 0.5, 22050},
        {"a quarter second of a one-second WAV", rampPath, 0.25, 2000},
        {"more than the WAV holds: all of it", rampPath, 3.0, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioDecodeOptions first = limited;
        first.firstSeconds = c.firstSeconds;
        PcmAudio part;
        ASSERT_TRUE(decodeAudioFile(c.path.c_str(), part, error, first)) << error;
        EXPECT_EQ(part.frameCount(), c.frames);
    }
    PcmAudio part;
    AudioDecodeOptions first;
    first.firstSeconds = 0.25;
    ASSERT_TRUE(decodeAudioFile(rampPath.c_str(), part, error, first)) << error;
    EXPECT_TRUE(std::equal(part.samples.begin(), part.samples.end(), ramp.samples.begin()));
}

// Frame limits count frames, not samples: a stereo sound of more than half
// its limit, and one of exactly the limit, decode; one frame more does not.
TEST_F(AudioDecodingTest, AStereoSoundWithinItsFrameLimitDecodesAtAnyLengthUpToIt) {
    PcmAudio stereo;
    stereo.sampleRate = 8000;
    stereo.channels = 2;
    stereo.samples.assign(2 * 3000, 100);
    const std::string path = scratch_.file("stereo.wav");
    ASSERT_TRUE(writeWavFile(path.c_str(), stereo));
    struct Case {
        std::int64_t maxFrames;
        bool decodes;
    };
    for (const Case c : {Case{4000, true}, Case{5999, true}, Case{3000, true}, Case{2999, false}}) {
        SCOPED_TRACE(c.maxFrames);
        AudioDecodeOptions options;
        options.maxFrames = c.maxFrames;
        PcmAudio audio;
        std::string error;
        EXPECT_EQ(decodeAudioFile(path.c_str(), audio, error, options), c.decodes) << error;
        if (c.decodes) {
            EXPECT_EQ(audio.frameCount(), 3000);
        }
    }
}

TEST(WavWriting, HeaderStatesTheFormatAndSizesThatCannotBeStoredAreRefused) {
    PcmAudio mono;
    mono.sampleRate = 32000;
    mono.channels = 1;
    mono.samples = {1, -2, 3};
    const std::vector<std::uint8_t> wav = encodeWav(mono);
    ASSERT_EQ(wav.size(), 44u + 6u);
    EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(wav[4], 42);                 // RIFF size: 36 + 6
    EXPECT_EQ(wav[22], 1);                 // channels
    EXPECT_EQ(wav[24] | wav[25] << 8, 32000);
    EXPECT_EQ(wav[40], 6);                 // data bytes
    EXPECT_EQ(wav[46], 0xFE);              // -2, little-endian
    EXPECT_EQ(wav[47], 0xFF);

    PcmAudio ragged = mono;
    ragged.channels = 2;  // three samples are not whole stereo frames
    EXPECT_TRUE(encodeWav(ragged).empty());
    EXPECT_TRUE(encodeWav(PcmAudio{}).empty());
    EXPECT_EQ(maxWavFrames(2), (0xFFFFFFFFll - 36) / 4);
}

}  // namespace
