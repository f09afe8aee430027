// Video files through FFmpeg's libraries.
//
// Sections
//   1. formats, sizes and frame names
//   2. the encoder's state and its release
//   3. the staging of the output (temporary names, moving into place)
//   4. opening: the picture stream, the sound stream, the GIF palette graph
//   5. frames: conversion, encoding, muxing; the sound alongside
//   6. finishing
#include "media/video_encoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

// ---- 1. formats, sizes and frame names --------------------------------------------
namespace {

std::string lowerExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool storesHalfColour(VideoFormat format) { return format == VideoFormat::Mp4 || format == VideoFormat::WebM; }

// H.264's constant rate factor runs 0-51, VP9's 0-63; the standards are the
// points where each codec's output is hard to tell from the source at
// ordinary viewing sizes.
constexpr int kH264DefaultCrf = 20;
constexpr int kVp9DefaultCrf = 31;

}  // namespace

VideoFormat videoFormatOfPath(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".mp4") return VideoFormat::Mp4;
    if (extension == ".webm") return VideoFormat::WebM;
    if (extension == ".gif") return VideoFormat::Gif;
    if (extension == ".png") return VideoFormat::PngFrames;
    return VideoFormat::Unknown;
}

const char* videoFormatName(VideoFormat format) {
    switch (format) {
        case VideoFormat::Mp4: return "MP4";
        case VideoFormat::WebM: return "WebM";
        case VideoFormat::Gif: return "GIF";
        case VideoFormat::PngFrames: return "PNG frames";
        case VideoFormat::Unknown: break;
    }
    return "unknown";
}

bool videoFormatHasSound(VideoFormat format) { return storesHalfColour(format); }

bool videoQualityRange(VideoFormat format, int& lowest, int& highest, int& standard) {
    lowest = 0;
    if (format == VideoFormat::Mp4) {
        highest = 51;
        standard = kH264DefaultCrf;
        return true;
    }
    if (format == VideoFormat::WebM) {
        highest = 63;
        standard = kVp9DefaultCrf;
        return true;
    }
    highest = standard = 0;
    return false;
}

VideoFrameSize videoFrameSize(VideoFormat format, int sourceWidth, int sourceHeight, int width) {
    VideoFrameSize size{sourceWidth, sourceHeight};
    const bool even = storesHalfColour(format);
    if (width > 0 && width != sourceWidth) {
        size.width = width;
        const double height = static_cast<double>(width) * sourceHeight / sourceWidth;
        size.height = std::max(1, static_cast<int>(std::lround(height)));
        if (even) {
            size.width = std::max(2, size.width / 2 * 2);
            size.height = std::max(2, static_cast<int>(std::lround(height / 2.0)) * 2);
        }
        return size;
    }
    if (even) {
        size.width = std::max(2, sourceWidth / 2 * 2);
        size.height = std::max(2, sourceHeight / 2 * 2);
    }
    return size;
}

std::string frameFileName(const std::string& pattern, std::int64_t k) {
    std::string name;
    int numbers = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        // %[0][width]d, the only conversion a frame name has.
        std::size_t j = i + 1;
        bool zeros = false;
        if (j < pattern.size() && pattern[j] == '0') {
            zeros = true;
            ++j;
        }
        int width = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && width < 100) {
            width = width * 10 + (pattern[j] - '0');
            ++j;
        }
        if (j >= pattern.size() || pattern[j] != 'd' || width >= 100) return {};
        std::string digits = std::to_string(k);
        if (static_cast<int>(digits.size()) < width) {
            digits.insert(0, static_cast<std::size_t>(width) - digits.size(), zeros ? '0' : ' ');
        }
        name += digits;
        ++numbers;
        i = j;
    }
    return numbers == 1 ? name : std::string();
}

// ---- 2. the encoder's state ---------------------------------------------------------
struct VideoEncoderState {
    VideoSettings settings;
    fs::path target;              // the user's name (for frames: the pattern)
    fs::path staging;             // the temporary file or folder
    bool stagingIsFolder = false;
    bool stagingBecomesFolder = false;   // frames: the staging folder is renamed to the frames' folder
    bool finished = false;
    std::uint64_t bytes = 0;

    // The picture.
    AVFormatContext* format = nullptr;   // null for PNG frames
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    SwsContext* scaler = nullptr;
    int scalerInputHeight = 0;           // source rows the scaler reads (one less when cropping)
    AVFrame* frame = nullptr;            // the converted picture handed to the encoder (or the graph)
    AVPacket* packet = nullptr;
    std::int64_t framesWritten = 0;

    // The GIF palette: frames -> split -> palettegen + paletteuse -> sink.
    AVFilterGraph* graph = nullptr;
    AVFilterContext* graphSource = nullptr;
    AVFilterContext* graphSink = nullptr;
    AVFrame* filtered = nullptr;

    // The sound.
    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* audioFrame = nullptr;
    std::int64_t audioFramesTotal = 0;   // sample frames in the file: the video's length
    std::int64_t audioFramesWritten = 0;

    ~VideoEncoderState() {
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (!(format->oformat->flags & AVFMT_NOFILE) && format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_frame_free(&filtered);
        av_frame_free(&audioFrame);
        av_packet_free(&packet);
        avfilter_graph_free(&graph);
        if (!finished && !staging.empty()) {
            std::error_code ignored;
            fs::remove_all(staging, ignored);
        }
    }
};

VideoOutput::VideoOutput() = default;
VideoOutput::~VideoOutput() = default;
VideoOutput::VideoOutput(VideoOutput&&) noexcept = default;
VideoOutput& VideoOutput::operator=(VideoOutput&&) noexcept = default;

namespace {

std::string libraryError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// ---- 3. staging -------------------------------------------------------------------------
fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// A name beside `path` that nothing has: ".NAME.RANDOM.part".
fs::path stagingName(const fs::path& path) {
    std::random_device seed;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate =
            folderOf(path) / ("." + path.filename().string() + "." + std::to_string(seed()) + ".part");
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
    return {};
}

bool checkFolder(const fs::path& folder, std::string& error) {
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        error = "the folder " + quoted(folder) + " does not exist";
        return false;
    }
    return true;
}

// PNG frames go into a staging folder: beside the frames' folder when that
// does not exist yet (it is then renamed into place whole), inside it
// otherwise (the frames are then moved out one by one).
bool stageFrameFolder(VideoEncoderState& s, std::string& error) {
    const fs::path folder = folderOf(s.target);
    std::error_code code;
    const bool folderExists = fs::is_directory(folder, code);
    const fs::path parent = folderExists ? folder : folderOf(folder);
    if (!folderExists && !checkFolder(parent, error)) return false;
    s.staging = stagingName(folderExists ? folder / s.target.filename() : folder);
    if (s.staging.empty() || !fs::create_directory(s.staging, code) || code) {
        error = "cannot write in " + quoted(parent) + (code ? ": " + code.message() : std::string());
        s.staging.clear();
        return false;
    }
    s.stagingIsFolder = true;
    s.stagingBecomesFolder = !folderExists;
    return true;
}

// ---- 4. opening --------------------------------------------------------------------------
const AVCodec* findVideoEncoder(VideoFormat format) {
    switch (format) {
        case VideoFormat::Mp4: {
            const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
            return codec ? codec : avcodec_find_encoder(AV_CODEC_ID_H264);
        }
        case VideoFormat::WebM: {
            const AVCodec* codec = avcodec_find_encoder_by_name("libvpx-vp9");
            return codec ? codec : avcodec_find_encoder(AV_CODEC_ID_VP9);
        }
        case VideoFormat::Gif: return avcodec_find_encoder(AV_CODEC_ID_GIF);
        case VideoFormat::PngFrames: return avcodec_find_encoder(AV_CODEC_ID_PNG);
        case VideoFormat::Unknown: break;
    }
    return nullptr;
}

AVPixelFormat encoderPixelFormat(VideoFormat format) {
    switch (format) {
        case VideoFormat::Mp4:
        case VideoFormat::WebM: return AV_PIX_FMT_YUV420P;
        case VideoFormat::Gif: return AV_PIX_FMT_PAL8;
        case VideoFormat::PngFrames:
        case VideoFormat::Unknown: break;
    }
    return AV_PIX_FMT_RGB24;
}

// The codec's own settings: quality, speed and the colour description.
void configureVideoCodec(VideoEncoderState& s, AVCodecContext* c) {
    const VideoSettings& v = s.settings;
    int lowest = 0, highest = 0, standard = 0;
    videoQualityRange(v.format, lowest, highest, standard);
    const int quality = v.quality >= 0 ? v.quality : standard;
    if (v.format == VideoFormat::Mp4) {
        av_opt_set(c->priv_data, "preset", "medium", 0);
        av_opt_set_int(c->priv_data, "crf", quality, 0);
    } else if (v.format == VideoFormat::WebM) {
        // Constant quality needs the bit rate at 0; "good" at speed 4 is the
        // usual compromise for files made once and watched often.
        c->bit_rate = 0;
        av_opt_set_int(c->priv_data, "crf", quality, 0);
        av_opt_set(c->priv_data, "deadline", "good", 0);
        av_opt_set_int(c->priv_data, "cpu-used", 4, 0);
        av_opt_set_int(c->priv_data, "row-mt", 1, 0);
    }
    if (storesHalfColour(v.format)) {
        // The frames are sRGB, whose primaries are BT.709's; the conversion
        // uses BT.709's matrix and limited range, and the file says so.
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_IEC61966_2_1;
        c->colorspace = AVCOL_SPC_BT709;
        c->color_range = AVCOL_RANGE_MPEG;
    }
}

// Opens the configured encoder and, when `stream` is given, adds its stream
// to the container in the encoder's time base.
bool startEncoder(VideoEncoderState& s, AVCodecContext* c, const AVCodec* codec, AVStream** stream,
                  std::string& error) {
    const int opened = avcodec_open2(c, codec, nullptr);
    if (opened < 0) {
        error = std::string("cannot start the ") + codec->name + " encoder: " + libraryError(opened);
        return false;
    }
    if (!stream) return true;
    *stream = avformat_new_stream(s.format, nullptr);
    if (!*stream || avcodec_parameters_from_context((*stream)->codecpar, c) < 0) {
        error = std::string("cannot add the ") + codec->name + " stream";
        return false;
    }
    (*stream)->time_base = c->time_base;
    return true;
}

bool openPictureEncoder(VideoEncoderState& s, std::string& error) {
    const VideoSettings& v = s.settings;
    const AVCodec* codec = findVideoEncoder(v.format);
    if (!codec) {
        error = std::string("this FFmpeg has no encoder for ") + videoFormatName(v.format);
        return false;
    }
    s.video = avcodec_alloc_context3(codec);
    if (!s.video) {
        error = "not enough memory for the encoder";
        return false;
    }
    AVCodecContext* c = s.video;
    c->width = v.size.width;
    c->height = v.size.height;
    c->pix_fmt = encoderPixelFormat(v.format);
    c->time_base = AVRational{static_cast<int>(v.rateDenominator), static_cast<int>(v.rateNumerator)};
    c->framerate = AVRational{static_cast<int>(v.rateNumerator), static_cast<int>(v.rateDenominator)};
    c->sample_aspect_ratio = AVRational{1, 1};
    configureVideoCodec(s, c);
    if (s.format && (s.format->oformat->flags & AVFMT_GLOBALHEADER)) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!startEncoder(s, c, codec, s.format ? &s.videoStream : nullptr, error)) return false;
    if (s.format) {
        s.videoStream->avg_frame_rate = c->framerate;
        s.videoStream->r_frame_rate = c->framerate;
        s.videoStream->sample_aspect_ratio = c->sample_aspect_ratio;
    }
    return true;
}

// The scaler takes the source as it is; a source of odd size kept at its own
// size is cropped by handing the scaler one column or row less. Lanczos where
// the size changes: sharp without ringing worth seeing on photos.
bool openScaler(VideoEncoderState& s, std::string& error) {
    const VideoSettings& v = s.settings;
    const bool resized = v.size.width != v.sourceWidth && v.size.width != v.sourceWidth / 2 * 2;
    const bool resizedHeight = v.size.height != v.sourceHeight && v.size.height != v.sourceHeight / 2 * 2;
    const bool scaling = resized || resizedHeight;
    const int inWidth = scaling ? v.sourceWidth : v.size.width;
    const int inHeight = scaling ? v.sourceHeight : v.size.height;
    const AVPixelFormat target = v.format == VideoFormat::Gif ? AV_PIX_FMT_RGB24 : encoderPixelFormat(v.format);
    const int flags = (scaling ? SWS_LANCZOS : SWS_POINT) | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;
    s.scalerInputHeight = inHeight;
    s.scaler = sws_getContext(inWidth, inHeight, AV_PIX_FMT_RGBA, v.size.width, v.size.height, target, flags, nullptr,
                              nullptr, nullptr);
    if (!s.scaler) {
        error = "cannot set up the picture conversion";
        return false;
    }
    if (storesHalfColour(v.format)) {
        sws_setColorspaceDetails(s.scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_ITU709),
                                 0, 0, 1 << 16, 1 << 16);
    }
    s.frame = av_frame_alloc();
    if (!s.frame) {
        error = "not enough memory for a frame";
        return false;
    }
    s.frame->format = target;
    s.frame->width = v.size.width;
    s.frame->height = v.size.height;
    if (storesHalfColour(v.format)) {
        s.frame->color_primaries = AVCOL_PRI_BT709;
        s.frame->color_trc = AVCOL_TRC_IEC61966_2_1;
        s.frame->colorspace = AVCOL_SPC_BT709;
        s.frame->color_range = AVCOL_RANGE_MPEG;
    }
    if (av_frame_get_buffer(s.frame, 0) < 0) {
        error = "not enough memory for a frame";
        return false;
    }
    return true;
}

// One global palette for the whole GIF, from every frame (the loop's colours
// do not change over time, so a per-frame palette would only flicker), and
// ordered dithering, which stays put from frame to frame where error
// diffusion would crawl.
bool openPaletteGraph(VideoEncoderState& s, std::string& error) {
    const VideoSettings& v = s.settings;
    s.graph = avfilter_graph_alloc();
    s.filtered = av_frame_alloc();
    if (!s.graph || !s.filtered) {
        error = "not enough memory for the GIF palette";
        return false;
    }
    char sourceArguments[256];
    std::snprintf(sourceArguments, sizeof sourceArguments,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%lld/%lld:pixel_aspect=1/1", v.size.width, v.size.height,
                  static_cast<int>(AV_PIX_FMT_RGB24), static_cast<long long>(v.rateDenominator),
                  static_cast<long long>(v.rateNumerator));
    if (avfilter_graph_create_filter(&s.graphSource, avfilter_get_by_name("buffer"), "in", sourceArguments, nullptr,
                                     s.graph) < 0 ||
        avfilter_graph_create_filter(&s.graphSink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     s.graph) < 0) {
        error = "this FFmpeg lacks the filters for a GIF palette";
        return false;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        error = "not enough memory for the GIF palette";
        return false;
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = s.graphSource;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = s.graphSink;
    const char* description =
        "split[frames][forPalette];[forPalette]palettegen=max_colors=256:stats_mode=full[palette];"
        "[frames][palette]paletteuse=dither=bayer:bayer_scale=3:diff_mode=rectangle";
    const int parsed = avfilter_graph_parse_ptr(s.graph, description, &inputs, &outputs, nullptr);
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    if (parsed < 0 || avfilter_graph_config(s.graph, nullptr) < 0) {
        error = "this FFmpeg lacks the filters for a GIF palette";
        return false;
    }
    return true;
}

bool openSoundEncoder(VideoEncoderState& s, std::string& error) {
    const VideoSettings& v = s.settings;
    const AVCodec* codec = nullptr;
    if (v.format == VideoFormat::Mp4) codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (v.format == VideoFormat::WebM) {
        codec = avcodec_find_encoder_by_name("libopus");
        if (!codec) codec = avcodec_find_encoder_by_name("libvorbis");
    }
    if (!codec) {
        error = std::string("this FFmpeg has no sound encoder for ") + videoFormatName(v.format);
        return false;
    }
    s.audio = avcodec_alloc_context3(codec);
    if (!s.audio) {
        error = "not enough memory for the sound encoder";
        return false;
    }
    AVCodecContext* c = s.audio;
    c->sample_rate = kVideoSoundRate;
    av_channel_layout_default(&c->ch_layout, v.sound->channels);
    // Every encoder used here takes planar or interleaved float or 16-bit.
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    c->bit_rate = v.sound->channels > 1 ? 192000 : 128000;
    c->time_base = AVRational{1, kVideoSoundRate};
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!startEncoder(s, c, codec, &s.audioStream, error)) return false;
    s.audioFrame = av_frame_alloc();
    if (!s.audioFrame) {
        error = "not enough memory for the sound";
        return false;
    }
    // Encoders that take any frame size get 20 ms at a time.
    const int frameSize = c->frame_size > 0 ? c->frame_size : kVideoSoundRate / 50;
    s.audioFrame->format = c->sample_fmt;
    s.audioFrame->sample_rate = c->sample_rate;
    s.audioFrame->nb_samples = frameSize;
    if (av_channel_layout_copy(&s.audioFrame->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(s.audioFrame, 0) < 0) {
        error = "not enough memory for the sound";
        return false;
    }
    const double seconds = static_cast<double>(v.frameCount) * static_cast<double>(v.rateDenominator) /
                           static_cast<double>(v.rateNumerator);
    s.audioFramesTotal = std::llround(seconds * kVideoSoundRate);
    return true;
}

const char* muxerName(VideoFormat format) {
    switch (format) {
        case VideoFormat::Mp4: return "mp4";
        case VideoFormat::WebM: return "webm";
        case VideoFormat::Gif: return "gif";
        case VideoFormat::PngFrames:
        case VideoFormat::Unknown: break;
    }
    return nullptr;
}

bool openContainer(VideoEncoderState& s, std::string& error) {
    if (!checkFolder(folderOf(s.target), error)) return false;
    s.staging = stagingName(s.target);
    if (s.staging.empty()) {
        error = "cannot find a free temporary name beside " + quoted(s.target);
        return false;
    }
    if (avformat_alloc_output_context2(&s.format, nullptr, muxerName(s.settings.format), s.staging.string().c_str()) <
            0 ||
        !s.format) {
        error = std::string("this FFmpeg cannot write ") + videoFormatName(s.settings.format);
        s.staging.clear();
        return false;
    }
    return true;
}

bool startContainer(VideoEncoderState& s, std::string& error) {
    const int opened = avio_open(&s.format->pb, s.staging.string().c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
        error = "cannot write in " + quoted(folderOf(s.target)) + ": " + libraryError(opened);
        s.staging.clear();  // nothing was created
        return false;
    }
    AVDictionary* options = nullptr;
    // MP4: the index first, so a browser plays while it loads. GIF: loop
    // forever.
    if (s.settings.format == VideoFormat::Mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    if (s.settings.format == VideoFormat::Gif) av_dict_set(&options, "loop", "0", 0);
    const int written = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (written < 0) {
        error = "cannot start " + quoted(s.target) + ": " + libraryError(written);
        return false;
    }
    return true;
}

// ---- 5. frames ------------------------------------------------------------------------------

// Writes one encoded packet: into the container, or as the next frame's file.
bool writePacket(VideoEncoderState& s, AVPacket* packet, AVCodecContext* codec, AVStream* stream,
                 std::string& error) {
    if (!s.format) {
        const fs::path name = s.staging / frameFileName(s.target.filename().string(), packet->pts);
        std::ofstream file(name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(packet->data), packet->size);
        file.close();
        if (!file) {
            error = "cannot write " + quoted(name) + " (is the disk full?)";
            return false;
        }
        return true;
    }
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    const int written = av_interleaved_write_frame(s.format, packet);
    if (written < 0) {
        error = "cannot write " + quoted(s.target) + ": " + libraryError(written);
        return false;
    }
    return true;
}

// Sends a frame (null: the end) and writes every packet that comes out.
bool encode(VideoEncoderState& s, AVCodecContext* codec, AVStream* stream, const AVFrame* frame, std::string& error) {
    int sent = avcodec_send_frame(codec, frame);
    if (sent < 0) {
        error = std::string("the ") + codec->codec->name + " encoder failed: " + libraryError(sent);
        return false;
    }
    for (;;) {
        const int received = avcodec_receive_packet(codec, s.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
        if (received < 0) {
            error = std::string("the ") + codec->codec->name + " encoder failed: " + libraryError(received);
            return false;
        }
        const bool ok = writePacket(s, s.packet, codec, stream, error);
        av_packet_unref(s.packet);
        if (!ok) return false;
    }
}

// Takes every palettised frame the graph has ready into the GIF encoder.
bool drainPaletteGraph(VideoEncoderState& s, std::string& error) {
    for (;;) {
        const int got = av_buffersink_get_frame(s.graphSink, s.filtered);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) {
            error = "the GIF palette failed: " + libraryError(got);
            return false;
        }
        const bool ok = encode(s, s.video, s.videoStream, s.filtered, error);
        av_frame_unref(s.filtered);
        if (!ok) return false;
    }
}

// One sample of the track (frame i, channel ch) as float in [-1, 1), silence
// past its end.
float soundSample(const PcmAudio& sound, std::int64_t i, int ch) {
    if (i >= sound.frameCount()) return 0.0f;
    return static_cast<float>(sound.samples[static_cast<std::size_t>(i * sound.channels + ch)]) / 32768.0f;
}

// Fills the sound frame with `count` sample frames from `first` on, in the
// encoder's sample layout.
void fillSoundFrame(VideoEncoderState& s, std::int64_t first, int count) {
    const PcmAudio& sound = *s.settings.sound;
    AVFrame* f = s.audioFrame;
    const int channels = sound.channels;
    const auto format = static_cast<AVSampleFormat>(f->format);
    for (int i = 0; i < count; ++i) {
        for (int ch = 0; ch < channels; ++ch) {
            const float value = soundSample(sound, first + i, ch);
            switch (format) {
                case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(f->data[ch])[i] = value; break;
                case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(f->data[0])[i * channels + ch] = value; break;
                case AV_SAMPLE_FMT_S16P:
                    reinterpret_cast<std::int16_t*>(f->data[ch])[i] =
                        static_cast<std::int16_t>(std::lround(value * 32768.0f));
                    break;
                default:
                    reinterpret_cast<std::int16_t*>(f->data[0])[i * channels + ch] =
                        static_cast<std::int16_t>(std::lround(value * 32768.0f));
                    break;
            }
        }
    }
}

// Encodes the sound up to `untilFrame` sample frames (as far as whole sound
// frames go; `final` writes the shorter last one too).
bool writeSoundUntil(VideoEncoderState& s, std::int64_t untilFrame, bool final, std::string& error) {
    if (!s.audio) return true;
    untilFrame = std::min(untilFrame, s.audioFramesTotal);
    const int frameSize = s.audioFrame->nb_samples;
    while (s.audioFramesWritten < untilFrame) {
        const std::int64_t left = untilFrame - s.audioFramesWritten;
        if (left < frameSize && !final) break;
        const int count = static_cast<int>(std::min<std::int64_t>(left, frameSize));
        if (av_frame_make_writable(s.audioFrame) < 0) {
            error = "not enough memory for the sound";
            return false;
        }
        const int fullSize = s.audioFrame->nb_samples;
        s.audioFrame->nb_samples = count;
        fillSoundFrame(s, s.audioFramesWritten, count);
        s.audioFrame->pts = s.audioFramesWritten;
        const bool ok = encode(s, s.audio, s.audioStream, s.audioFrame, error);
        s.audioFrame->nb_samples = fullSize;
        if (!ok) return false;
        s.audioFramesWritten += count;
    }
    return true;
}

}  // namespace

bool openVideo(VideoOutput& output, const std::string& path, const VideoSettings& settings, std::string& error) {
    output.state = std::make_unique<VideoEncoderState>();
    VideoEncoderState& s = *output.state;
    s.settings = settings;
    s.target = path;
    if (settings.format == VideoFormat::Unknown) {
        error = "cannot tell the format of " + quoted(fs::path(path)) + ": name it .mp4, .webm, .gif or .png";
        return false;
    }
    if (settings.sound && !videoFormatHasSound(settings.format)) {
        error = std::string(videoFormatName(settings.format)) + " has no sound: use .mp4 or .webm for music";
        return false;
    }
    if (settings.sound && (settings.sound->sampleRate != kVideoSoundRate || settings.sound->channels < 1 ||
                           settings.sound->channels > 2)) {
        error = "the sound must be mono or stereo at 48000 Hz";
        return false;
    }
    s.packet = av_packet_alloc();
    if (!s.packet) {
        error = "not enough memory for the encoder";
        return false;
    }
    if (settings.format == VideoFormat::PngFrames) {
        if (frameFileName(s.target.filename().string(), 0).empty()) {
            error = "a PNG name needs one frame number in it, as in frame-%05d.png";
            return false;
        }
        if (!stageFrameFolder(s, error)) return false;
    } else if (!openContainer(s, error)) {
        return false;
    }

    if (!openPictureEncoder(s, error) || !openScaler(s, error)) return false;
    if (settings.format == VideoFormat::Gif && !openPaletteGraph(s, error)) return false;
    if (settings.sound && !openSoundEncoder(s, error)) return false;
    if (s.format && !startContainer(s, error)) return false;
    return true;
}

bool writeVideoFrame(VideoOutput& output, const std::uint8_t* rgba, std::string& error) {
    VideoEncoderState& s = *output.state;
    const VideoSettings& v = s.settings;
    if (av_frame_make_writable(s.frame) < 0) {
        error = "not enough memory for a frame";
        return false;
    }
    const std::uint8_t* planes[1] = {rgba};
    const int strides[1] = {v.sourceWidth * 4};
    sws_scale(s.scaler, planes, strides, 0, s.scalerInputHeight, s.frame->data, s.frame->linesize);
    s.frame->pts = s.framesWritten;
    if (s.graph) {
        const int added = av_buffersrc_add_frame_flags(s.graphSource, s.frame, AV_BUFFERSRC_FLAG_KEEP_REF);
        if (added < 0 || !drainPaletteGraph(s, error)) {
            if (added < 0) error = "the GIF palette failed: " + libraryError(added);
            return false;
        }
    } else if (!encode(s, s.video, s.videoStream, s.frame, error)) {
        return false;
    }
    ++s.framesWritten;
    // The sound keeps up with the pictures, so the container interleaves
    // them without holding either back.
    const std::int64_t soundUntil = s.framesWritten * v.rateDenominator * kVideoSoundRate / v.rateNumerator;
    return writeSoundUntil(s, soundUntil, false, error);
}

bool finishVideo(VideoOutput& output, std::string& error) {
    VideoEncoderState& s = *output.state;
    // 1. The GIF graph's frames (palettegen answers only at the end), then
    //    every encoder's delayed packets.
    if (s.graph) {
        const int closed = av_buffersrc_add_frame_flags(s.graphSource, nullptr, 0);
        if (closed < 0 || !drainPaletteGraph(s, error)) {
            if (closed < 0) error = "the GIF palette failed: " + libraryError(closed);
            return false;
        }
    }
    if (!encode(s, s.video, s.videoStream, nullptr, error)) return false;
    if (s.audio) {
        if (!writeSoundUntil(s, s.audioFramesTotal, true, error)) return false;
        if (!encode(s, s.audio, s.audioStream, nullptr, error)) return false;
    }

    // 2. The container's index, and the file closed: a full disk shows here.
    if (s.format) {
        const int trailer = av_write_trailer(s.format);
        const int closed = avio_closep(&s.format->pb);
        if (trailer < 0 || closed < 0) {
            error = "cannot finish " + quoted(s.target) + ": " + libraryError(trailer < 0 ? trailer : closed) +
                    " (is the disk full?)";
            return false;
        }
    }

    // 3. Into place.
    std::error_code code;
    if (!s.stagingIsFolder) {
        const std::uintmax_t size = fs::file_size(s.staging, code);
        s.bytes = code ? 0 : size;
        fs::rename(s.staging, s.target, code);
        if (code) {
            error = "cannot name the file " + quoted(s.target) + ": " + code.message();
            return false;
        }
    } else if (s.stagingBecomesFolder) {
        // The frames' folder did not exist: the staging folder becomes it.
        fs::rename(s.staging, folderOf(s.target), code);
        if (code) {
            error = "cannot name the folder " + quoted(folderOf(s.target)) + ": " + code.message();
            return false;
        }
    } else {
        for (std::int64_t k = 0; k < s.framesWritten; ++k) {
            const std::string name = frameFileName(s.target.filename().string(), k);
            fs::rename(s.staging / name, folderOf(s.target) / name, code);
            if (code) {
                error = "cannot name the file " + quoted(folderOf(s.target) / name) + ": " + code.message();
                return false;
            }
        }
        fs::remove(s.staging, code);
    }
    if (s.stagingIsFolder) {
        for (std::int64_t k = 0; k < s.framesWritten; ++k) {
            const std::uintmax_t size =
                fs::file_size(folderOf(s.target) / frameFileName(s.target.filename().string(), k), code);
            if (!code) s.bytes += size;
        }
    }
    s.finished = true;
    return true;
}

std::uint64_t finishedVideoBytes(const VideoOutput& output) { return output.state ? output.state->bytes : 0; }
