#include "media/audio_decoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "platform/music_limit.h"
#include "platform/regular_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

// Contents
//   1. owners of the libraries' objects
//   2. opening the file and its decoder
//   3. conversion to 16-bit interleaved samples
//   4. the decode loop

namespace {

// ---- 1. owners ---------------------------------------------------------------

struct FormatOwner {
    AVFormatContext* context = nullptr;
    ~FormatOwner() { avformat_close_input(&context); }
};
struct CodecOwner {
    AVCodecContext* context = nullptr;
    ~CodecOwner() { avcodec_free_context(&context); }
};
struct PacketOwner {
    AVPacket* packet = av_packet_alloc();
    ~PacketOwner() { av_packet_free(&packet); }
};
struct FrameOwner {
    AVFrame* frame = av_frame_alloc();
    ~FrameOwner() { av_frame_free(&frame); }
};
struct ResamplerOwner {
    SwrContext* context = nullptr;
    ~ResamplerOwner() { swr_free(&context); }
};

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

// ---- 2. opening ----------------------------------------------------------------

struct OpenedAudio {
    FormatOwner format;
    CodecOwner codec;
    int streamIndex = -1;
};

bool openAudio(const char* path, OpenedAudio& opened, std::string& error) {
    // The demuxers open the path themselves; a FIFO would make them wait for
    // a writer for ever and a device never end, so only a regular file goes on.
    std::string why;
    switch (checkRegularFile(path, why)) {
    case FileCheck::regular: break;
    case FileCheck::missing: error = describe(AVERROR(ENOENT)); return false;
    case FileCheck::unusable: error = why; return false;
    }
    int code = avformat_open_input(&opened.format.context, path, nullptr, nullptr);
    if (code < 0) {
        error = describe(code);
        return false;
    }
    code = avformat_find_stream_info(opened.format.context, nullptr);
    if (code < 0) {
        error = "cannot read its streams: " + describe(code);
        return false;
    }
    const AVCodec* decoder = nullptr;
    opened.streamIndex = av_find_best_stream(opened.format.context, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (opened.streamIndex < 0 || !decoder) {
        error = opened.streamIndex == AVERROR_DECODER_NOT_FOUND ? "no decoder for its sound" : "it holds no sound";
        return false;
    }
    opened.codec.context = avcodec_alloc_context3(decoder);
    if (!opened.codec.context) {
        error = "out of memory";
        return false;
    }
    const AVStream* stream = opened.format.context->streams[opened.streamIndex];
    code = avcodec_parameters_to_context(opened.codec.context, stream->codecpar);
    if (code >= 0) code = avcodec_open2(opened.codec.context, decoder, nullptr);
    if (code < 0) {
        error = "cannot start its decoder: " + describe(code);
        return false;
    }
    return true;
}

// "2.0 hours" or "75 minutes": a length for a message.
std::string lengthText(double seconds) {
    char text[48];
    if (seconds >= 7200.0) std::snprintf(text, sizeof text, "%.1f hours", seconds / 3600.0);
    else std::snprintf(text, sizeof text, "%.0f minutes", std::ceil(seconds / 60.0));
    return text;
}

// The limit as a message names it: the shared music limit by its own text.
std::string limitText(double seconds) {
    if (seconds == kLongestMusicSeconds) return kLongestMusicText;
    char text[48];
    std::snprintf(text, sizeof text, "%g seconds", seconds);
    return text;
}

std::string tooLong(double seconds, double limit) {
    return "it lasts " + lengthText(seconds) + ", longer than the " + limitText(limit) + " music may last";
}

// The length the file declares for the stream, in seconds; negative when it
// declares none that can be trusted. A length estimated from the bit rate
// alone (an MP3 without a length header) is no declaration: such a file is
// held to the limit while it is decoded instead.
double declaredSeconds(const OpenedAudio& opened) {
    const AVFormatContext* format = opened.format.context;
    if (format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return -1.0;
    const AVStream* stream = format->streams[opened.streamIndex];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    }
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
        return static_cast<double>(format->duration) / AV_TIME_BASE;
    }
    return -1.0;
}

// ---- 3. conversion ---------------------------------------------------------------

// Converts decoded frames of one format to the output format, appending to
// `samples`. Set up from the first frame, since only decoded frames are sure
// to state their layout, format and rate.
struct Converter {
    ResamplerOwner resampler;
    AVChannelLayout outputLayout{};
    int outputRate = 0;
    int inputFormat = -1;
    int inputRate = 0;
    AVChannelLayout inputLayout{};
    // The output frames the decode may produce, set from the options once
    // the output rate is known: keepFrames ends it early (0: never), more
    // than mostFrames refuses the sound (0: no limit), saying tooLongReason.
    std::int64_t keepFrames = 0;
    std::int64_t mostFrames = 0;
    std::string tooLongReason;

    ~Converter() {
        av_channel_layout_uninit(&outputLayout);
        av_channel_layout_uninit(&inputLayout);
    }

    bool start(const AVFrame& frame, const AudioDecodeOptions& options, std::string& error) {
        if (frame.ch_layout.nb_channels < 1 || frame.sample_rate < 1) {
            error = "its sound states no channels or rate";
            return false;
        }
        // A layout of unspecified order (common in WAV files) is taken as
        // the usual one for its channel count, so that mixing down works.
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&inputLayout, frame.ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&inputLayout, &frame.ch_layout) < 0) {
            error = "out of memory";
            return false;
        }
        const int channels = std::max(1, std::min(frame.ch_layout.nb_channels, std::max(1, options.maxChannels)));
        av_channel_layout_default(&outputLayout, std::min(channels, 2));
        outputRate = options.sampleRate > 0 ? options.sampleRate : frame.sample_rate;
        inputFormat = frame.format;
        inputRate = frame.sample_rate;
        const int code = swr_alloc_set_opts2(&resampler.context, &outputLayout, AV_SAMPLE_FMT_S16, outputRate,
                                             &inputLayout, static_cast<AVSampleFormat>(inputFormat), inputRate, 0,
                                             nullptr);
        if (code < 0 || swr_init(resampler.context) < 0) {
            error = "cannot convert its sound to 16-bit samples";
            return false;
        }
        setBudget(options);
        return true;
    }

    void setBudget(const AudioDecodeOptions& options) {
        if (options.firstSeconds > 0.0) keepFrames = static_cast<std::int64_t>(std::ceil(options.firstSeconds * outputRate));
        mostFrames = options.maxFrames;
        tooLongReason = "its sound is too long";
        if (options.longestSeconds > 0.0 && options.firstSeconds <= 0.0) {
            const auto longest = static_cast<std::int64_t>(options.longestSeconds * outputRate);
            if (mostFrames == 0 || longest < mostFrames) {
                mostFrames = longest;
                tooLongReason = "it lasts longer than the " + limitText(options.longestSeconds) + " music may last";
            }
        }
    }

    bool haveEnough(std::size_t sampleCount) const {
        return keepFrames > 0 && static_cast<std::int64_t>(sampleCount) / outputLayout.nb_channels >= keepFrames;
    }

    bool sameInput(const AVFrame& frame) const {
        return frame.format == inputFormat && frame.sample_rate == inputRate &&
               frame.ch_layout.nb_channels == inputLayout.nb_channels;
    }

    // Converts `frame` (null: the resampler's buffered tail) and appends the
    // result, refusing before it allocates a result that would take the
    // sound past mostFrames: a header that declares a rate of 1 Hz makes
    // every input sample tens of thousands of output samples.
    bool convert(const AVFrame* frame, std::vector<std::int16_t>& samples, std::string& error) {
        const int inputCount = frame ? frame->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler.context, inputCount);
        if (capacity < 0) {
            error = "cannot convert its sound to 16-bit samples";
            return false;
        }
        if (capacity == 0) return true;
        const int channels = outputLayout.nb_channels;
        const std::size_t used = samples.size();
        if (mostFrames > 0 && static_cast<std::int64_t>(used / static_cast<std::size_t>(channels)) + capacity > mostFrames) {
            error = tooLongReason;
            return false;
        }
        samples.resize(used + static_cast<std::size_t>(capacity) * static_cast<std::size_t>(channels));
        auto* output = reinterpret_cast<std::uint8_t*>(samples.data() + used);
        const int converted = swr_convert(resampler.context, &output, capacity,
                                          frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                                          inputCount);
        if (converted < 0) {
            error = "cannot convert its sound to 16-bit samples";
            return false;
        }
        samples.resize(used + static_cast<std::size_t>(converted) * static_cast<std::size_t>(channels));
        return true;
    }
};

// ---- 4. the decode loop -----------------------------------------------------------

// Receives every frame the decoder has ready and converts it; stops early
// once the converter holds the frames it keeps.
bool drainDecoder(AVCodecContext* codec, AVFrame* frame, Converter& converter, const AudioDecodeOptions& options,
                  std::vector<std::int16_t>& samples, std::string& error) {
    for (;;) {
        const int code = avcodec_receive_frame(codec, frame);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
        if (code < 0) {
            error = "its sound is damaged: " + describe(code);
            return false;
        }
        bool ok = true;
        if (!converter.resampler.context) {
            ok = converter.start(*frame, options, error);
        } else if (!converter.sameInput(*frame)) {
            error = "its sound changes format part-way";
            ok = false;
        }
        ok = ok && converter.convert(frame, samples, error);
        av_frame_unref(frame);
        if (!ok) return false;
        if (converter.haveEnough(samples.size())) return true;
    }
}

}  // namespace

bool decodeAudioFile(const char* path, PcmAudio& audio, std::string& error, const AudioDecodeOptions& options) {
    std::string reason;
    auto fail = [&](std::string why) {
        error = std::move(why);
        return false;
    };
    if (!path) return fail("no file named");

    // 1. The file and its decoder; a sound whose file declares it longer
    //    than the limit is refused before anything is decoded.
    OpenedAudio opened;
    if (!openAudio(path, opened, reason)) return fail(reason);
    const double declared = declaredSeconds(opened);
    if (options.longestSeconds > 0.0 && options.firstSeconds <= 0.0 && declared > options.longestSeconds) {
        return fail(tooLong(declared, options.longestSeconds));
    }
    PacketOwner packet;
    FrameOwner frame;
    if (!packet.packet || !frame.frame) return fail("out of memory");

    // 2. Packets of the chosen stream, decoded and converted, until the end
    //    of the file (an empty packet makes the decoder give up what it still
    //    holds) or until the frames kept are there.
    Converter converter;
    std::vector<std::int16_t> samples;
    AVCodecContext* codec = opened.codec.context;
    for (;;) {
        const int readCode = av_read_frame(opened.format.context, packet.packet);
        const bool atEnd = readCode == AVERROR_EOF;
        if (readCode < 0 && !atEnd) return fail("cannot read it: " + describe(readCode));
        if (!atEnd && packet.packet->stream_index != opened.streamIndex) {
            av_packet_unref(packet.packet);
            continue;
        }
        const int sendCode = avcodec_send_packet(codec, atEnd ? nullptr : packet.packet);
        if (!atEnd) av_packet_unref(packet.packet);
        // A damaged packet is skipped, as players do; the rest still plays.
        if (sendCode < 0 && sendCode != AVERROR_INVALIDDATA && sendCode != AVERROR(EAGAIN)) {
            return fail("its sound is damaged: " + describe(sendCode));
        }
        if (!drainDecoder(codec, frame.frame, converter, options, samples, reason)) return fail(reason);
        if (atEnd || converter.haveEnough(samples.size())) break;
    }

    // 3. The resampler's tail, then exactly the frames kept.
    if (!converter.resampler.context) return fail("it holds no sound");
    if (!converter.haveEnough(samples.size()) && !converter.convert(nullptr, samples, reason)) return fail(reason);
    const auto channels = static_cast<std::size_t>(converter.outputLayout.nb_channels);
    if (converter.keepFrames > 0) {
        samples.resize(std::min(samples.size(), static_cast<std::size_t>(converter.keepFrames) * channels));
    }
    if (samples.empty()) return fail("it holds no sound");

    audio.sampleRate = converter.outputRate;
    audio.channels = converter.outputLayout.nb_channels;
    audio.samples = std::move(samples);
    return true;
}

void quietMediaLibraryLogs() { av_log_set_level(AV_LOG_QUIET); }
