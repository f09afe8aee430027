#include "media/audio_decoding.h"

#include <algorithm>
#include <utility>

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
        return true;
    }

    bool sameInput(const AVFrame& frame) const {
        return frame.format == inputFormat && frame.sample_rate == inputRate &&
               frame.ch_layout.nb_channels == inputLayout.nb_channels;
    }

    // Converts `frame` (null: the resampler's buffered tail) and appends the
    // result, refusing before it allocates a result that would take the
    // sound past maxFrames (0: no limit): a header that declares a rate of
    // 1 Hz makes every input sample tens of thousands of output samples.
    bool convert(const AVFrame* frame, std::int64_t maxFrames, std::vector<std::int16_t>& samples,
                 std::string& error) {
        const int inputCount = frame ? frame->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler.context, inputCount);
        if (capacity < 0) {
            error = "cannot convert its sound to 16-bit samples";
            return false;
        }
        if (capacity == 0) return true;
        const int channels = outputLayout.nb_channels;
        const std::size_t used = samples.size();
        if (maxFrames > 0 && static_cast<std::int64_t>(used / static_cast<std::size_t>(channels)) + capacity > maxFrames) {
            error = "its sound is too long";
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

// Receives every frame the decoder has ready and converts it.
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
        ok = ok && converter.convert(frame, options.maxFrames, samples, error);
        av_frame_unref(frame);
        if (!ok) return false;
        const std::int64_t frames = static_cast<std::int64_t>(samples.size()) / converter.outputLayout.nb_channels;
        if (options.maxFrames > 0 && frames > options.maxFrames) {
            error = "its sound is too long";
            return false;
        }
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

    OpenedAudio opened;
    if (!openAudio(path, opened, reason)) return fail(reason);
    PacketOwner packet;
    FrameOwner frame;
    if (!packet.packet || !frame.frame) return fail("out of memory");

    Converter converter;
    std::vector<std::int16_t> samples;
    AVCodecContext* codec = opened.codec.context;
    // Read packets of the chosen stream and decode them; at the end of the
    // file, an empty packet makes the decoder give up what it still holds.
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
        if (atEnd) break;
    }
    if (!converter.resampler.context) return fail("it holds no sound");
    if (!converter.convert(nullptr, options.maxFrames, samples, reason)) return fail(reason);
    if (samples.empty()) return fail("it holds no sound");
    if (options.maxFrames > 0 && static_cast<std::int64_t>(samples.size()) / converter.outputLayout.nb_channels >
                                     options.maxFrames) {
        return fail("its sound is too long");
    }

    audio.sampleRate = converter.outputRate;
    audio.channels = converter.outputLayout.nb_channels;
    audio.samples = std::move(samples);
    return true;
}

void quietMediaLibraryLogs() { av_log_set_level(AV_LOG_QUIET); }
