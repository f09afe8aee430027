// Video files through FFmpeg's libraries, as the format table's rows say.
//
// Sections
//   1. the encoder's state and its release
//   2. the container's file: FFmpeg's I/O on the staged file's descriptor
//   3. opening: the encoders, the picture conversion, the GIF palette graph,
//      the sound, the container
//   4. frames: conversion, encoding, muxing; the sound alongside
//   5. the calls of video_encoding.h
#include "media/video_encoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "media/video_staging.h"

namespace fs = std::filesystem;

// ---- 1. the encoder's state -------------------------------------------------------------
struct VideoEncoderState {
    VideoSettings settings;
    const VideoFormatRow* row = nullptr;   // the format's row of the table
    VideoStaging staged;                   // the output until finishVideo moves it into place
    std::uint64_t bytes = 0;

    // The picture.
    AVFormatContext* format = nullptr;   // null for formats of numbered files (PNG frames)
    // The muxer's header written, and its trailer not yet: the muxer still
    // holds what only av_write_trailer releases.
    bool muxerOpen = false;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    SwsContext* scaler = nullptr;
    int scalerInputHeight = 0;           // source rows the scaler reads (one less when cropping)
    AVFrame* frame = nullptr;            // the converted picture handed to the encoder (or the graph)
    AVPacket* packet = nullptr;
    std::int64_t framesWritten = 0;      // frames handed in
    std::int64_t framesInFile = 0;       // frames the file holds: handed in, then repeated
    bool pictureClosed = false;          // the encoder (and graph) flushed: every handed-in frame is out

    // Repeating a loop's period (settings.periodFrames > 0): the first
    // period's picture packets as the encoder gave them (its time base),
    // written again with later timestamps. Numbered files copy their first
    // period's files instead and keep no packets.
    std::vector<AVPacket*> periodPackets;
    // A length that is not whole periods ends with the first tailFrames
    // frames of one more (planTail).
    std::int64_t tailFrames = 0;

    // The shared palette (GIF): frames -> split -> palettegen + paletteuse -> sink.
    AVFilterGraph* graph = nullptr;
    AVFilterContext* graphSource = nullptr;
    AVFilterContext* graphSink = nullptr;
    AVFrame* filtered = nullptr;

    // The sound: the track's 16-bit interleaved samples converted to the
    // encoder's layout (a plain copy where it takes them as they are).
    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* audioFrame = nullptr;
    std::int64_t audioFramesTotal = 0;   // sample frames in the file: the video's length
    std::int64_t audioFramesWritten = 0;

    // Releases the libraries' objects first: the muxer lets go of the
    // staged file's descriptor before the staging owner closes and removes it.
    ~VideoEncoderState();
};

namespace {

// ---- 2. the container's file ----------------------------------------------------------------
// The muxer writes the staged file through its descriptor, never by name.
// MP4's faststart reads back what was written through a second context that
// it asks the format's io_open for; it gets one on the same descriptor.
// Each context keeps its own position and seeks to it on every call, so the
// two can take turns.

struct DescriptorCursor {
    int descriptor = -1;
    std::int64_t position = 0;
};

// FFmpeg's I/O buffer for the file: its own default size.
constexpr int kFileBufferBytes = 32768;

int writeToDescriptor(void* opaque, std::uint8_t* bytes, int size) {
    auto& cursor = *static_cast<DescriptorCursor*>(opaque);
    if (::lseek(cursor.descriptor, cursor.position, SEEK_SET) < 0) return AVERROR(errno);
    int done = 0;
    while (done < size) {
        const ssize_t written = ::write(cursor.descriptor, bytes + done, static_cast<std::size_t>(size - done));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return AVERROR(errno);
        if (written == 0) return AVERROR(EIO);
        done += static_cast<int>(written);
    }
    cursor.position += size;
    return size;
}

int readFromDescriptor(void* opaque, std::uint8_t* bytes, int size) {
    auto& cursor = *static_cast<DescriptorCursor*>(opaque);
    if (::lseek(cursor.descriptor, cursor.position, SEEK_SET) < 0) return AVERROR(errno);
    for (;;) {
        const ssize_t got = ::read(cursor.descriptor, bytes, static_cast<std::size_t>(size));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return AVERROR(errno);
        if (got == 0) return AVERROR_EOF;
        cursor.position += got;
        return static_cast<int>(got);
    }
}

std::int64_t seekDescriptor(void* opaque, std::int64_t offset, int whence) {
    auto& cursor = *static_cast<DescriptorCursor*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE || whence == SEEK_END) {
        const off_t end = ::lseek(cursor.descriptor, 0, SEEK_END);
        if (end < 0) return AVERROR(errno);
        if (whence == AVSEEK_SIZE) return end;
        cursor.position = end + offset;
    } else if (whence == SEEK_SET) {
        cursor.position = offset;
    } else if (whence == SEEK_CUR) {
        cursor.position += offset;
    } else {
        return AVERROR(EINVAL);
    }
    return cursor.position;
}

// An I/O context on the descriptor from its start; null when out of memory.
AVIOContext* openDescriptorIo(int descriptor, bool writing) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kFileBufferBytes));
    auto* cursor = new DescriptorCursor{descriptor, 0};
    AVIOContext* io = buffer ? avio_alloc_context(buffer, kFileBufferBytes, writing ? 1 : 0, cursor,
                                                  writing ? nullptr : readFromDescriptor,
                                                  writing ? writeToDescriptor : nullptr, seekDescriptor)
                             : nullptr;
    if (!io) {
        av_free(buffer);
        delete cursor;
    }
    return io;
}

// Frees the context (what a writing one buffers is flushed first) and
// returns the first error it met, 0 for none.
int closeDescriptorIo(AVIOContext** io) {
    if (!*io) return 0;
    if ((*io)->write_flag) avio_flush(*io);
    const int error = (*io)->error;
    delete static_cast<DescriptorCursor*>((*io)->opaque);
    av_freep(&(*io)->buffer);
    avio_context_free(io);
    return error;
}

// The format's io_open and io_close2: reading back the file being written
// (by the name the muxer knows it by), nothing else, and only while the
// output is still wanted.
int openReadBack(AVFormatContext* format, AVIOContext** io, const char* url, int flags, AVDictionary**) {
    const auto& s = *static_cast<const VideoEncoderState*>(format->opaque);
    if ((flags & AVIO_FLAG_WRITE) || !url || std::strcmp(url, format->url) != 0 || !s.muxerOpen) {
        return AVERROR(EPERM);
    }
    *io = openDescriptorIo(s.staged.file.descriptor(), false);
    return *io ? 0 : AVERROR(ENOMEM);
}

int closeReadBack(AVFormatContext*, AVIOContext* io) { return closeDescriptorIo(&io); }

}  // namespace

VideoEncoderState::~VideoEncoderState() {
    for (AVPacket*& kept : periodPackets) av_packet_free(&kept);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format && muxerOpen) {
        // An abandoned output still ends its muxer, as the library requires
        // (the GIF muxer frees the frame it holds back only there). With
        // muxerOpen cleared first, MP4 is refused its read-back and does not
        // move its data to the front of a file that is about to be removed.
        muxerOpen = false;
        av_write_trailer(format);
    }
    if (format) {
        closeDescriptorIo(&format->pb);
        avformat_free_context(format);
    }
    sws_freeContext(scaler);
    swr_free(&resampler);
    av_frame_free(&frame);
    av_frame_free(&filtered);
    av_frame_free(&audioFrame);
    av_packet_free(&packet);
    avfilter_graph_free(&graph);
}

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

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

// Options of a row ("key=value:key=value") as FFmpeg's dictionary; null when
// there are none. The caller frees it.
AVDictionary* rowOptions(const char* text) {
    AVDictionary* options = nullptr;
    if (text && *text) av_dict_parse_string(&options, text, "=", ":", 0);
    return options;
}

// ---- 3. opening ---------------------------------------------------------------------------
const AVCodec* findEncoder(const VideoEncoderChoice& choice) {
    for (const char* name : {choice.preferred, choice.alternative}) {
        const AVCodec* codec = name ? avcodec_find_encoder_by_name(name) : nullptr;
        if (codec) return codec;
    }
    const AVCodecDescriptor* descriptor = choice.codec ? avcodec_descriptor_get_by_name(choice.codec) : nullptr;
    return descriptor ? avcodec_find_encoder(descriptor->id) : nullptr;
}

// The picture encoder's own settings: the row's options (speed, rate
// control), the quality, and for 4:2:0 the colour description.
void configureVideoCodec(VideoEncoderState& s, AVCodecContext* c) {
    const VideoFormatRow& row = *s.row;
    // Options an encoder does not know (a fallback encoder of the same
    // codec) stay in the dictionary and are dropped.
    AVDictionary* options = rowOptions(row.codecOptions);
    av_opt_set_dict2(c, &options, AV_OPT_SEARCH_CHILDREN);
    av_dict_free(&options);
    if (row.quality.option) {
        const int quality = s.settings.quality >= 0 ? s.settings.quality : row.quality.standard;
        av_opt_set_int(c->priv_data, row.quality.option, quality, 0);
    }
    if (row.halfColour) {
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

// A picture encoder configured for the file; null with `error` set when it
// cannot be made or started.
AVCodecContext* startPictureEncoder(VideoEncoderState& s, AVStream** stream, std::string& error) {
    const VideoSettings& v = s.settings;
    const AVCodec* codec = findEncoder(s.row->picture);
    if (!codec) {
        error = std::string("this FFmpeg has no encoder for ") + s.row->name;
        return nullptr;
    }
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) {
        error = "not enough memory for the encoder";
        return nullptr;
    }
    c->width = v.size.width;
    c->height = v.size.height;
    c->pix_fmt = av_get_pix_fmt(s.row->pixelFormat);
    c->time_base = AVRational{static_cast<int>(v.rateDenominator), static_cast<int>(v.rateNumerator)};
    c->framerate = AVRational{static_cast<int>(v.rateNumerator), static_cast<int>(v.rateDenominator)};
    c->sample_aspect_ratio = AVRational{1, 1};
    configureVideoCodec(s, c);
    if (s.format && (s.format->oformat->flags & AVFMT_GLOBALHEADER)) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!startEncoder(s, c, codec, stream, error)) {
        avcodec_free_context(&c);
        return nullptr;
    }
    return c;
}

bool openPictureEncoder(VideoEncoderState& s, std::string& error) {
    s.video = startPictureEncoder(s, s.format ? &s.videoStream : nullptr, error);
    if (!s.video) return false;
    if (s.format) {
        s.videoStream->avg_frame_rate = s.video->framerate;
        s.videoStream->r_frame_rate = s.video->framerate;
        s.videoStream->sample_aspect_ratio = s.video->sample_aspect_ratio;
    }
    return true;
}

// Where a length that is not whole periods ends: after the first
// tailFrames frames of one more period. Those frames are made a group of
// pictures of their own within the period (a key frame forced right after
// them), so that the period's packets up to that key frame, in decoding
// order, are exactly those frames, which an encoder that reorders frames
// (B-frames) could not promise otherwise.
void planTail(VideoEncoderState& s) {
    const VideoSettings& v = s.settings;
    if (v.periodFrames > 0 && v.frameCount > v.periodFrames) s.tailFrames = v.frameCount % v.periodFrames;
    // x264 makes a forced key frame an IDR picture, which nothing before it
    // refers across.
    if (s.tailFrames > 0) av_opt_set_int(s.video->priv_data, "forced-idr", 1, 0);
}

// What the palette graph takes in: the frames in full colour.
constexpr AVPixelFormat kPaletteGraphInput = AV_PIX_FMT_RGB24;

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
    const AVPixelFormat target = s.row->sharedPalette ? kPaletteGraphInput : av_get_pix_fmt(s.row->pixelFormat);
    const int flags = (scaling ? SWS_LANCZOS : SWS_POINT) | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;
    s.scalerInputHeight = inHeight;
    s.scaler = sws_getContext(inWidth, inHeight, AV_PIX_FMT_RGBA, v.size.width, v.size.height, target, flags, nullptr,
                              nullptr, nullptr);
    if (!s.scaler) {
        error = "cannot set up the picture conversion";
        return false;
    }
    if (s.row->halfColour) {
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
    if (s.row->halfColour) {
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

// One palette for the whole file, from every frame (the loop's colours do
// not change over time, so a per-frame palette would only flicker), and
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
                  static_cast<int>(kPaletteGraphInput), static_cast<long long>(v.rateDenominator),
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

// Sound bit rates: transparent for music in either codec.
constexpr std::int64_t kStereoSoundBitRate = 192000;
constexpr std::int64_t kMonoSoundBitRate = 128000;

bool openSoundEncoder(VideoEncoderState& s, std::string& error) {
    const VideoSettings& v = s.settings;
    const AVCodec* codec = findEncoder(s.row->sound);
    if (!codec) {
        error = std::string("this FFmpeg has no sound encoder for ") + s.row->name;
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
    // The encoder's first choice of sample layout: 16-bit interleaved for
    // Opus, which then gets the track's samples as they are; planar float
    // for AAC.
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    c->bit_rate = v.sound->channels > 1 ? kStereoSoundBitRate : kMonoSoundBitRate;
    c->time_base = AVRational{1, kVideoSoundRate};
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!startEncoder(s, c, codec, &s.audioStream, error)) return false;

    // The track's 16-bit interleaved samples into the encoder's layout, at
    // the same rate and channels: a copy for 16-bit interleaved, a reorder
    // for planar, and for float each sample times 2^-15, exactly.
    if (swr_alloc_set_opts2(&s.resampler, &c->ch_layout, c->sample_fmt, kVideoSoundRate, &c->ch_layout,
                            AV_SAMPLE_FMT_S16, kVideoSoundRate, 0, nullptr) < 0 ||
        swr_init(s.resampler) < 0) {
        error = "cannot convert the sound for the " + std::string(codec->name) + " encoder";
        return false;
    }
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

// The muxer on the staged file. The muxer knows the file by its temporary's
// name, which only openReadBack compares against.
bool openContainer(VideoEncoderState& s, const std::string& path, std::string& error) {
    if (!stageVideoFile(s.staged, path, error)) return false;
    const std::string& temporary = s.staged.file.temporaryPath();
    if (avformat_alloc_output_context2(&s.format, nullptr, s.row->muxer, temporary.c_str()) < 0 || !s.format) {
        error = std::string("this FFmpeg cannot write ") + s.row->name;
        return false;
    }
    s.format->pb = openDescriptorIo(s.staged.file.descriptor(), true);
    if (!s.format->pb) {
        error = "not enough memory for the container";
        return false;
    }
    s.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    s.format->opaque = &s;
    s.format->io_open = openReadBack;
    s.format->io_close2 = closeReadBack;
    return true;
}

bool startContainer(VideoEncoderState& s, std::string& error) {
    AVDictionary* options = rowOptions(s.row->muxerOptions);
    const int written = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    s.muxerOpen = written >= 0;
    if (written < 0) {
        error = "cannot start " + inQuotes(s.staged.target) + ": " + libraryError(written);
        return false;
    }
    return true;
}

// ---- 4. frames ------------------------------------------------------------------------------

// Writes one encoded packet: into the container, or as the next frame's file.
bool writePacket(VideoEncoderState& s, AVPacket* packet, AVCodecContext* codec, AVStream* stream,
                 std::string& error) {
    if (!s.format) {
        return writeStagedFrame(s.staged, packet->pts, packet->data, static_cast<std::size_t>(packet->size), error);
    }
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    const int written = av_interleaved_write_frame(s.format, packet);
    if (written < 0) {
        error = "cannot write " + inQuotes(s.staged.target) + ": " + libraryError(written);
        return false;
    }
    return true;
}
// Whether the first period's packets are kept to be written again: a
// loop's, in a container (numbered files copy their files instead).
bool keepsPeriodPackets(const VideoEncoderState& s) { return s.settings.periodFrames > 0 && s.format; }

// Keeps a copy of the packet (its data shared, by reference) in `kept`.
bool keepPacket(std::vector<AVPacket*>& kept, const AVPacket* packet, std::string& error) {
    AVPacket* copy = av_packet_clone(packet);
    if (!copy) {
        error = "not enough memory for the encoded frames";
        return false;
    }
    kept.push_back(copy);
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
        bool ok = true;
        if (codec == s.video && keepsPeriodPackets(s)) ok = keepPacket(s.periodPackets, s.packet, error);
        ok = ok && writePacket(s, s.packet, codec, stream, error);
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

// Fills the sound frame with `count` sample frames from `first` on, in the
// encoder's sample layout: the track's samples, then silence past its end.
bool fillSoundFrame(VideoEncoderState& s, std::int64_t first, int count, std::string& error) {
    const PcmAudio& sound = *s.settings.sound;
    AVFrame* f = s.audioFrame;
    const std::int64_t left = std::max<std::int64_t>(0, sound.frameCount() - first);
    const int fromTrack = static_cast<int>(std::min<std::int64_t>(left, count));
    if (fromTrack > 0) {
        const std::int16_t* next = sound.samples.data() + first * static_cast<std::int64_t>(sound.channels);
        const auto* samples = reinterpret_cast<const std::uint8_t*>(next);
        // Same rate and channels: every sample comes out at once, none held.
        const int converted = swr_convert(s.resampler, f->extended_data, fromTrack, &samples, fromTrack);
        if (converted != fromTrack) {
            error = "cannot convert the sound for the " + std::string(s.audio->codec->name) + " encoder";
            return false;
        }
    }
    if (fromTrack < count) {
        av_samples_set_silence(f->extended_data, fromTrack, count - fromTrack, sound.channels,
                               static_cast<AVSampleFormat>(f->format));
    }
    return true;
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
        bool ok = fillSoundFrame(s, s.audioFramesWritten, count, error);
        s.audioFrame->pts = s.audioFramesWritten;
        ok = ok && encode(s, s.audio, s.audioStream, s.audioFrame, error);
        s.audioFrame->nb_samples = fullSize;
        if (!ok) return false;
        s.audioFramesWritten += count;
    }
    return true;
}

// Sample frames of sound that go with the first `frames` picture frames.
std::int64_t soundFramesAt(const VideoEncoderState& s, std::int64_t frames) {
    return frames * s.settings.rateDenominator * kVideoSoundRate / s.settings.rateNumerator;
}

// Every frame handed in out of the encoders: the palette graph's (palettegen
// answers only at the end), then each picture encoder's delayed packets.
// Once only; the file then holds framesWritten frames.
bool closePicture(VideoEncoderState& s, std::string& error) {
    if (s.pictureClosed) return true;
    if (s.graph) {
        const int closed = av_buffersrc_add_frame_flags(s.graphSource, nullptr, 0);
        if (closed < 0 || !drainPaletteGraph(s, error)) {
            if (closed < 0) error = "the GIF palette failed: " + libraryError(closed);
            return false;
        }
    }
    if (!encode(s, s.video, s.videoStream, nullptr, error)) return false;
    s.pictureClosed = true;
    s.framesInFile = s.framesWritten;
    return true;
}

}  // namespace

// A shared palette is chosen from every frame, so the palette graph holds
// every frame handed in until the last (a loop's first period only; a length
// in seconds all of it). Beyond this much, a refusal up front rather than a
// run that ends out of memory: 512 MB is a 640 x 360 GIF of 24 s at 30 fps.
constexpr std::int64_t kMaxPaletteFrameBytes = std::int64_t{512} << 20;

bool checkPaletteFrames(const VideoSettings& settings, std::string& error) {
    const std::int64_t frames = videoFramesHandedIn(settings);
    const std::int64_t bytes = frames * settings.size.width * settings.size.height * 3;
    if (bytes <= kMaxPaletteFrameBytes) return true;
    error = "a GIF of " + std::to_string(frames) + " different frames at " + std::to_string(settings.size.width) +
            " x " + std::to_string(settings.size.height) + " would hold " + std::to_string(bytes >> 20) +
            " MB of frames to choose its palette, more than the " + std::to_string(kMaxPaletteFrameBytes >> 20) +
            " MB it may: export fewer or smaller frames, or an MP4 or WebM";
    return false;
}

// ---- 5. the calls of video_encoding.h -----------------------------------------------------------

bool openVideo(VideoOutput& output, const std::string& path, const VideoSettings& settings, std::string& error) {
    output.state = std::make_unique<VideoEncoderState>();
    VideoEncoderState& s = *output.state;
    s.settings = settings;
    s.row = &videoFormatRow(settings.format);
    // 1. What the table refuses: an unknown format, a sound where the format
    //    has none, a frame name without its number.
    if (settings.format == VideoFormat::Unknown) {
        error = "cannot tell the format of " + inQuotes(path) + ": name it " +
                videoExtensionList([](const VideoFormatRow&) { return true; }, ", ", " or ");
        return false;
    }
    if (settings.sound && !videoFormatHasSound(settings.format)) {
        error = std::string(s.row->name) + " has no sound: use " +
                videoExtensionList([](const VideoFormatRow& row) { return videoFormatHasSound(row.format); }, ", ",
                                   " or ") +
                " for music";
        return false;
    }
    if (settings.sound && (settings.sound->sampleRate != kVideoSoundRate || settings.sound->channels < 1 ||
                           settings.sound->channels > 2)) {
        error = "the sound must be mono or stereo at 48000 Hz";
        return false;
    }
    const bool numberedFiles = videoFormatIsNumberedFiles(settings.format);
    if (numberedFiles && frameFileName(fs::path(path).filename().string(), 0).empty()) {
        error = std::string("a PNG name needs one frame number in it, as in ") + s.row->exampleName;
        return false;
    }
    if (numberedFiles && !checkFrameNames(path, settings.frameCount, error)) return false;
    if (s.row->sharedPalette && !checkPaletteFrames(settings, error)) return false;

    // 2. The output, staged, and the encoders.
    s.packet = av_packet_alloc();
    if (!s.packet) {
        error = "not enough memory for the encoder";
        return false;
    }
    if (numberedFiles ? !stageFrameFolder(s.staged, path, error) : !openContainer(s, path, error)) return false;
    if (!openPictureEncoder(s, error) || !openScaler(s, error)) return false;
    if (s.row->sharedPalette && !openPaletteGraph(s, error)) return false;
    planTail(s);
    if (settings.sound && !openSoundEncoder(s, error)) return false;
    if (s.format && !startContainer(s, error)) return false;
    return true;
}

std::int64_t videoFramesHandedIn(const VideoSettings& settings) {
    return settings.periodFrames > 0 ? std::min(settings.periodFrames, settings.frameCount) : settings.frameCount;
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
    s.frame->pict_type = s.tailFrames > 0 && s.framesWritten == s.tailFrames ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
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
    s.framesInFile = s.framesWritten;
    // The sound keeps up with the pictures, so the container interleaves
    // them without holding either back.
    return writeSoundUntil(s, soundFramesAt(s, s.framesInFile), false, error);
}

std::int64_t videoFramesWritten(const VideoOutput& output) { return output.state ? output.state->framesInFile : 0; }

bool repeatVideoFrames(VideoOutput& output, std::string& error) {
    VideoEncoderState& s = *output.state;
    const VideoSettings& v = s.settings;
    if (!closePicture(s, error)) return false;
    const std::int64_t left = v.frameCount - s.framesInFile;
    if (v.periodFrames <= 0 || left <= 0) return true;
    const std::int64_t count = std::min(v.periodFrames, left);
    const std::int64_t shift = s.framesInFile;
    if (!s.format) {
        // Frame files: the first period's, copied under the later numbers.
        for (std::int64_t k = 0; k < count; ++k) {
            if (!copyStagedFrame(s.staged, k, shift + k, error)) return false;
        }
    } else {
        // The period's packets again, later by `shift` frames; a shorter
        // tail ends at the first packet of a later frame, the key frame
        // that planTail forced there.
        for (const AVPacket* kept : s.periodPackets) {
            if (kept->pts >= count) break;
            AVPacket* copy = av_packet_clone(kept);
            if (!copy) {
                error = "not enough memory for the encoded frames";
                return false;
            }
            if (copy->pts != AV_NOPTS_VALUE) copy->pts += shift;
            if (copy->dts != AV_NOPTS_VALUE) copy->dts += shift;
            const bool written = writePacket(s, copy, s.video, s.videoStream, error);
            av_packet_free(&copy);
            if (!written) return false;
        }
    }
    s.framesInFile += count;
    return writeSoundUntil(s, soundFramesAt(s, s.framesInFile), false, error);
}

bool finishVideo(VideoOutput& output, std::string& error) {
    VideoEncoderState& s = *output.state;
    // 1. Every frame out of the encoders, then the repeats still missing.
    if (!closePicture(s, error)) return false;
    while (s.settings.periodFrames > 0 && s.framesInFile < s.settings.frameCount) {
        if (!repeatVideoFrames(output, error)) return false;
    }
    if (s.audio) {
        if (!writeSoundUntil(s, s.audioFramesTotal, true, error)) return false;
        if (!encode(s, s.audio, s.audioStream, nullptr, error)) return false;
    }

    // 2. The container's index, and the file closed: a full disk shows here.
    if (s.format) {
        const int trailer = av_write_trailer(s.format);
        s.muxerOpen = false;
        const int closed = closeDescriptorIo(&s.format->pb);
        if (trailer < 0 || closed < 0) {
            error = "cannot finish " + inQuotes(s.staged.target) + ": " +
                    libraryError(trailer < 0 ? trailer : closed) + " (is the disk full?)";
            return false;
        }
    }

    // 3. Into place.
    return commitVideoStaging(s.staged, s.framesInFile, s.bytes, error);
}

std::uint64_t finishedVideoBytes(const VideoOutput& output) { return output.state ? output.state->bytes : 0; }
