// stillflow-export from the command line: each format decodes, with the
// same libraries, to the frames, size, length and rate promised; the GIF
// loops; --music gives a sound track of the video's length; failures print
// one line, exit non-zero and leave the folder as it was.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "flow/scene_files.h"
#include "image/loading.h"
#include "media/pcm_audio.h"
#include "media/wav_writing.h"
#include "support/pictures.h"
#include "support/scene.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

struct ExportRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the export in the scene folder; its output files land there too. A
// fileSizeLimit above 0 lets no file it writes grow beyond that many bytes:
// a full disk (the shell's ulimit counts 512-byte blocks; with SIGXFSZ
// ignored, a write past the limit fails instead of ending the export).
ExportRun runExport(const Scene& scene, const std::string& arguments, std::uint64_t fileSizeLimit = 0) {
    const fs::path out = scene.dir().parent_path() / (scene.dir().filename().string() + "-stdout.txt");
    const fs::path err = scene.dir().parent_path() / (scene.dir().filename().string() + "-stderr.txt");
    std::ostringstream command;
    command << "cd '" << scene.dir().string() << "' && ";
    if (fileSizeLimit > 0) command << "ulimit -f " << fileSizeLimit / 512 << " && trap '' XFSZ && ";
    command << "'" << STILLFLOW_EXPORT_BINARY << "' " << arguments << " >'" << out.string() << "' 2>'" << err.string()
            << "'";
    const int status = std::system(command.str().c_str());
    ExportRun run;
#ifdef _WIN32
    run.exitCode = status;
#else
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.out = readWholeFile(out);
    run.err = readWholeFile(err);
    fs::remove(out);
    fs::remove(err);
    return run;
}

// What a file holds, decoded to the end with FFmpeg's libraries.
struct Probe {
    bool opened = false;
    int frames = 0;
    int width = 0;
    int height = 0;
    double seconds = 0.0;       // the picture stream: end of its last frame
    double frameRate = 0.0;     // as the stream states it
    bool hasSound = false;
    double soundSeconds = 0.0;  // decoded sample frames over the rate
    std::vector<std::uint8_t> firstFrame;  // RGB, converted as the file's colour tags say
    std::vector<std::uint64_t> frameHashes;  // of every frame's RGB, in order
};

// FNV-1a over the bytes: equal frames, equal hashes.
std::uint64_t hashBytes(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

// The decoded picture as RGB, with the matrix and range its tags name, as a
// player shows it.
std::vector<std::uint8_t> toRgb(const AVFrame* frame) {
    SwsContext* scaler = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                        frame->width, frame->height, AV_PIX_FMT_RGB24,
                                        SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!scaler) return {};
    const int space = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    sws_setColorspaceDetails(scaler, sws_getCoefficients(space), frame->color_range == AVCOL_RANGE_JPEG,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(frame->width) * frame->height * 3);
    std::uint8_t* planes[1] = {rgb.data()};
    const int strides[1] = {frame->width * 3};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scaler);
    return rgb;
}

Probe probe(const fs::path& path) {
    Probe result;
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.string().c_str(), nullptr, nullptr) < 0) return result;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return result;
    }
    std::vector<AVCodecContext*> decoders(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* parameters = format->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (!codec) continue;
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], parameters);
        avcodec_open2(decoders[i], codec, nullptr);
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) result.frameRate = av_q2d(format->streams[i]->avg_frame_rate);
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) result.hasSound = true;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::int64_t soundFrames = 0;
    int soundRate = 0;
    auto drain = [&](unsigned stream) {
        AVCodecContext* decoder = decoders[stream];
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
                std::vector<std::uint8_t> rgb = toRgb(frame);
                result.frameHashes.push_back(hashBytes(rgb));
                if (result.frames == 0) result.firstFrame = std::move(rgb);
                ++result.frames;
                result.width = frame->width;
                result.height = frame->height;
                const double tb = av_q2d(format->streams[stream]->time_base);
                const double end = static_cast<double>(frame->best_effort_timestamp + frame->pkt_duration) * tb;
                result.seconds = std::max(result.seconds, end);
            } else {
                soundFrames += frame->nb_samples;
                soundRate = frame->sample_rate;
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        const unsigned stream = static_cast<unsigned>(packet->stream_index);
        if (stream < decoders.size() && decoders[stream]) {
            avcodec_send_packet(decoders[stream], packet);
            drain(stream);
        }
        av_packet_unref(packet);
    }
    for (unsigned i = 0; i < decoders.size(); ++i) {
        if (!decoders[i]) continue;
        avcodec_send_packet(decoders[i], nullptr);
        drain(i);
        avcodec_free_context(&decoders[i]);
    }
    if (soundRate > 0) result.soundSeconds = static_cast<double>(soundFrames) / soundRate;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    result.opened = true;
    return result;
}

// A scene with a document: a 66 x 50 picture with detail (odd-sized after
// a --width, even as it is), one guide, phase spacing 0.5 s.
void prepareScene(const Scene& scene, int width = 66, int height = 50, float spacing = 0.5f) {
    FlowDocument document;
    document.picture = makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 5),
                     static_cast<std::uint8_t>((x * y) & 0xFF), 255};
    });
    document.mask = ByteMask(width, height);
    document.guides = {GuideSegment{10, 25, 30, 25}};
    document.phaseSpacing = spacing;
    scene.writePicture(pictureFileName, document.picture);
    scene.writeDocument(document);
}

// A tone of `seconds` as the scene's music, at a rate the export resamples.
void writeTrack(const Scene& scene, double seconds) {
    PcmAudio tone;
    tone.sampleRate = 22050;
    tone.channels = 2;
    const int frames = static_cast<int>(seconds * tone.sampleRate);
    for (int i = 0; i < frames; ++i) {
        const auto value = static_cast<std::int16_t>(8000.0 * std::sin(i * 0.05));
        tone.samples.push_back(value);
        tone.samples.push_back(value);
    }
    ASSERT_TRUE(writeWavFile((scene.dir() / musicFileName).string().c_str(), tone));
}

// A silent track of `seconds` (8-bit mono at 8 kHz) as the scene's music,
// sparse on the disk: only its header is written.
void writeLongSilentTrack(const Scene& scene, double seconds) {
    const auto dataBytes = static_cast<std::uint32_t>(seconds * 8000.0);
    std::string header;
    auto put = [&header](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.push_back(static_cast<char>(value >> (8 * i)));
    };
    header += "RIFF";
    put(36 + dataBytes, 4);
    header += "WAVEfmt ";
    put(16, 4);
    put(1, 2);     // PCM
    put(1, 2);     // mono
    put(8000, 4);  // frames a second
    put(8000, 4);  // bytes a second
    put(1, 2);     // bytes a frame
    put(8, 2);     // bits a sample
    header += "data";
    put(dataBytes, 4);
    scene.writeFile(musicFileName, header);
    fs::resize_file(scene.dir() / musicFileName, header.size() + dataBytes);
}

std::set<std::string> folderListing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) names.insert(entry.path().string());
    return names;
}

// Two whole periods at 20 fps (10 frames a period) in every format, at the
// picture's size and at a --width that gives an odd height.
TEST(Export, EachFormatDecodesToThePromisedFramesSizeLengthAndRate) {
    Scene scene("export-formats");
    prepareScene(scene);
    struct Case {
        const char* output;
        const char* options;
        int width, height;
    };
    const Case cases[] = {
        {"loop.mp4", "", 66, 50},
        {"loop.webm", "--quality 40", 66, 50},
        {"loop.gif", "", 66, 50},
        {"scaled.mp4", "--width 35", 34, 26},   // 35 x 26.5: even sides for 4:2:0
        {"scaled.gif", "--width 35", 35, 27},
    };
    for (const Case& c : cases) {
        const ExportRun run = runExport(scene, std::string("--fps 20 --loops 2 ") + c.options + " " + c.output);
        ASSERT_EQ(run.exitCode, 0) << c.output << ": " << run.err;
        EXPECT_EQ(run.err, "") << "no progress bar when stderr is not a terminal";
        EXPECT_NE(run.out.find(std::string(c.output) + ": "), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("20 frames at 20 fps"), std::string::npos) << run.out;
        const Probe p = probe(scene.dir() / c.output);
        ASSERT_TRUE(p.opened) << c.output;
        EXPECT_EQ(p.frames, 20) << c.output;
        EXPECT_EQ(p.width, c.width) << c.output;
        EXPECT_EQ(p.height, c.height) << c.output;
        EXPECT_NEAR(p.seconds, 1.0, 0.011) << c.output;  // a GIF counts in hundredths
        EXPECT_FALSE(p.hasSound) << c.output;
        if (std::string(c.output).find(".gif") == std::string::npos) {
            EXPECT_DOUBLE_EQ(p.frameRate, 20.0) << c.output;
        } else {
            // Loops forever: the application extension with a count of 0.
            const std::string bytes = readWholeFile(scene.dir() / c.output);
            EXPECT_NE(bytes.find(std::string("NETSCAPE2.0\x03\x01\x00\x00", 16)), std::string::npos);
        }
    }

    // PNG frames: one lossless file per frame, numbered from 0, into a
    // folder that is made for them.
    const ExportRun run = runExport(scene, "-q --fps 20 --loops 2 frames/frame-%03d.png");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "") << "--quiet prints nothing";
    EXPECT_EQ(std::distance(fs::directory_iterator(scene.dir() / "frames"), fs::directory_iterator()), 20);
    const ImageGrid first = loadImage((scene.dir() / "frames/frame-000.png").string().c_str());
    const ImageGrid last = loadImage((scene.dir() / "frames/frame-019.png").string().c_str());
    EXPECT_EQ(first.width, 66);
    EXPECT_EQ(first.height, 50);
    EXPECT_FALSE(last.empty());
    // The videos show the frames' colours: frame 0 decoded as its tags say
    // matches the lossless frame 0 on average in every channel (4:2:0 and
    // the codec lose detail, not colour; a wrong matrix or range would show
    // as a bias of 4 to 8 levels; the right one leaves under 2).
    for (const char* video : {"loop.mp4", "loop.webm"}) {
        const Probe p = probe(scene.dir() / video);
        ASSERT_EQ(p.firstFrame.size(), static_cast<std::size_t>(66 * 50 * 3)) << video;
        double bias[3] = {0.0, 0.0, 0.0};
        for (int i = 0; i < 66 * 50; ++i) {
            const Rgba8 expected = first.at(i % 66, i / 66);
            const std::uint8_t* seen = &p.firstFrame[static_cast<std::size_t>(i) * 3];
            bias[0] += (seen[0] - expected.r) / (66.0 * 50.0);
            bias[1] += (seen[1] - expected.g) / (66.0 * 50.0);
            bias[2] += (seen[2] - expected.b) / (66.0 * 50.0);
        }
        for (int c = 0; c < 3; ++c) EXPECT_LT(std::abs(bias[c]), 3.0) << video << " channel " << c;
    }

    // The frame after a period is the first one again.
    const ImageGrid period = loadImage((scene.dir() / "frames/frame-010.png").string().c_str());
    ASSERT_EQ(period.byteCount(), first.byteCount());
    EXPECT_EQ(std::memcmp(period.data(), first.data(), first.byteCount()), 0);
}

// A loop's periods are one period written again: every format decodes to
// frames that repeat exactly every period (MP4 and WebM from the same
// packets, a GIF from the same encoded frames, PNG frames as the same files),
// while the frames within a period move. A length in whole frames of the
// track, not whole periods, ends with the first frames of one more.
TEST(Export, EveryPeriodOfALoopIsTheFirstOneAgain) {
    Scene scene("export-periods");
    prepareScene(scene);
    writeTrack(scene, 1.25);  // 25 frames at 20 fps: two periods and half of one
    struct Case {
        const char* arguments;
        const char* output;
        int frames;
    };
    const Case cases[] = {
        {"--fps 20 --loops 3", "loop.mp4", 30},
        {"--fps 20 --loops 3", "loop.webm", 30},
        {"--fps 20 --loops 3", "loop.gif", 30},
        {"--music --fps 20", "track.mp4", 25},
        {"--music --fps 20", "track.webm", 25},
    };
    for (const Case& c : cases) {
        const ExportRun run = runExport(scene, std::string("-q ") + c.arguments + " " + c.output);
        ASSERT_EQ(run.exitCode, 0) << c.output << ": " << run.err;
        const Probe p = probe(scene.dir() / c.output);
        ASSERT_EQ(p.frames, c.frames) << c.output;
        ASSERT_EQ(p.frameHashes.size(), static_cast<std::size_t>(c.frames)) << c.output;
        for (std::size_t k = 10; k < p.frameHashes.size(); ++k) {
            EXPECT_EQ(p.frameHashes[k], p.frameHashes[k % 10]) << c.output << " frame " << k;
        }
        EXPECT_NE(p.frameHashes[5], p.frameHashes[0]) << c.output << ": the loop moves";
    }
    const ExportRun run = runExport(scene, "-q --fps 20 --loops 3 frames/frame-%02d.png");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (int k = 10; k < 30; ++k) {
        const std::string name = "frames/frame-" + std::to_string(k) + ".png";
        const std::string first = "frames/frame-0" + std::to_string(k % 10) + ".png";
        EXPECT_EQ(scene.readFile(name.c_str()), scene.readFile(first.c_str())) << name;
    }
    EXPECT_FALSE(scene.exists("frames/frame-30.png"));
}

// --music: the track as the sound; without a length the video lasts as long
// as the track, with --seconds the sound is cut to the video.
TEST(Export, MusicGivesASoundTrackOfTheVideosLength) {
    Scene scene("export-music");
    prepareScene(scene);
    writeTrack(scene, 1.5);
    struct Case {
        const char* arguments;
        const char* output;
        double seconds;
        int frames;
    };
    const Case cases[] = {
        {"--music --fps 20", "track.mp4", 1.5, 30},
        {"--music --fps 20", "track.webm", 1.5, 30},
        {"--music --seconds 1", "cut.mp4", 1.0, 30},
    };
    for (const Case& c : cases) {
        const ExportRun run = runExport(scene, std::string(c.arguments) + " " + c.output);
        ASSERT_EQ(run.exitCode, 0) << c.output << ": " << run.err;
        const Probe p = probe(scene.dir() / c.output);
        EXPECT_EQ(p.frames, c.frames) << c.output;
        EXPECT_NEAR(p.seconds, c.seconds, 0.011) << c.output;  // WebM counts in milliseconds
        ASSERT_TRUE(p.hasSound) << c.output;
        EXPECT_NEAR(p.soundSeconds, c.seconds, 0.03) << c.output;
    }

    // A track longer than the music limit: the part the video needs, its
    // first second, without the rest being decoded or refused.
    writeLongSilentTrack(scene, 2 * 3600.0);
    const ExportRun run = runExport(scene, "--music --seconds 1 start.mp4");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Probe p = probe(scene.dir() / "start.mp4");
    EXPECT_NEAR(p.seconds, 1.0, 0.011);
    ASSERT_TRUE(p.hasSound);
    EXPECT_NEAR(p.soundSeconds, 1.0, 0.03);
}

// Failures print one line, end non-zero, create nothing and leave an older
// output of that name as it was.
TEST(Export, FailuresLeaveTheFolderAsItWas) {
    struct Case {
        const char* name;
        const char* arguments;
        int exitCode;
        const char* says;
        void (*prepare)(const Scene&);
    };
    const Case cases[] = {
        {"missing-picture", "old.mp4", 1, "cannot open \"vornapozadi.png\" in the working directory",
         [](const Scene& scene) { scene.remove(pictureFileName); }},
        {"missing-shader", "old.mp4", 1, "\"advect.frag\"", [](const Scene& scene) { scene.remove(advectFragmentFileName); }},
        {"missing-last-shader", "old.gif", 1, "\"displace.frag\"",
         [](const Scene& scene) { scene.remove(displaceFragmentFileName); }},
        {"shader-not-compiling", "old.mp4", 1, "shader file \"advect.frag\" does not compile",
         [](const Scene& scene) { scene.writeFile(advectFragmentFileName, "#version 130\nvoid main() { broken }\n"); }},
        {"unknown-extension", "old.avi", 1, "cannot tell the format", [](const Scene&) {}},
        {"missing-folder", "nowhere/old.mp4", 1, "\"nowhere\" does not exist", [](const Scene&) {}},
        {"gif-with-music", "--music old.gif", 1, "GIF has no sound", [](const Scene&) {}},
        {"missing-music", "--music old.mp4", 1, "cannot use \"track.wav\"", [](const Scene&) {}},
        {"music-longer-than-the-limit", "--music old.mp4", 1,
         "cannot use \"track.wav\" as the sound: it lasts 2.0 hours, longer than the 1 hour music may last",
         [](const Scene& scene) { writeLongSilentTrack(scene, 2 * 3600.0); }},
        {"png-without-number", "old.png", 1, "frame number", [](const Scene&) {}},
        {"wrong-option", "--loops 0 old.mp4", 2, "--loops", [](const Scene&) {}},
        {"quality-out-of-range", "--quality 60 old.mp4", 1, "range 0-51", [](const Scene&) {}},
        // Said before the render, not when the finished output cannot take
        // its name.
        {"output-is-a-folder", "out.mp4", 1, "\"out.mp4\" is a folder",
         [](const Scene& scene) { fs::create_directory(scene.dir() / "out.mp4"); }},
        {"frame-name-is-a-folder", "--fps 20 frame-%02d.png", 1, "is a folder, where frame 5 would go",
         [](const Scene& scene) {
             scene.writeFile("frame-00.png", "older output");
             fs::create_directory(scene.dir() / "frame-05.png");
         }},
        // A document's spacing that makes no sensible video is named.
        {"spacing-of-a-millisecond", "old.gif", 1, "phaseSpacing of 0.001 s",
         [](const Scene& scene) { prepareScene(scene, 66, 50, 0.001f); }},
        {"spacing-of-5000-seconds", "old.mp4", 1, "phaseSpacing of 5000 s",
         [](const Scene& scene) { prepareScene(scene, 66, 50, 5000.0f); }},
        {"gif-too-long-to-hold", "--seconds 3000 old.gif", 1, "to choose its palette", [](const Scene&) {}},
    };
    for (const Case& c : cases) {
        Scene scene(std::string("export-") + c.name);
        prepareScene(scene);
        for (const char* old : {"old.mp4", "old.avi", "old.gif", "old.png"}) scene.writeFile(old, "older output");
        c.prepare(scene);
        const std::set<std::string> before = folderListing(scene.dir());
        const ExportRun run = runExport(scene, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        if (c.exitCode == 1) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
        }
        EXPECT_EQ(folderListing(scene.dir()), before) << c.name;
        EXPECT_EQ(readWholeFile(scene.dir() / "old.mp4"), "older output") << c.name;
        if (scene.exists("frame-00.png")) {
            EXPECT_EQ(scene.readFile("frame-00.png"), "older output") << c.name;
        }
    }

    // A successful export replaces the older file.
    Scene scene("export-replaces");
    prepareScene(scene);
    scene.writeFile("old.gif", "older output");
    ASSERT_EQ(runExport(scene, "--loops 1 old.gif").exitCode, 0);
    EXPECT_EQ(probe(scene.dir() / "old.gif").frames, 15);
}

// A disk that fills up part-way: one line, exit code 1, the older output as
// it was and no temporary file or folder left, whether the container's muxer
// or the frame files meet the full disk, and whether the frames' folder
// exists or was to be made.
TEST(Export, AFullDiskLeavesTheOlderOutputAndNoTemporary) {
    struct Case {
        const char* output;
        const char* older;  // a file the failure must leave as it was
    };
    const Case cases[] = {
        {"old.mp4", "old.mp4"},
        {"old.webm", "old.webm"},
        {"old.gif", "old.gif"},
        {"frame-%02d.png", "frame-00.png"},   // into the scene folder, which exists
        {"frames/frame-%02d.png", "old.mp4"},  // into a folder made for them
    };
    for (const Case& c : cases) {
        Scene scene("export-full-disk");
        prepareScene(scene);
        scene.writeFile(c.older, "older output");
        const std::set<std::string> before = folderListing(scene.dir());
        // 40 frames: every output is well over the limit, and so is each
        // frame file.
        const ExportRun run = runExport(scene, std::string("--fps 20 --loops 4 ") + c.output, 2048);
        EXPECT_EQ(run.exitCode, 1) << c.output << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.output << ": " << run.err;
        EXPECT_NE(run.err.find("File too large"), std::string::npos) << c.output << ": " << run.err;
        EXPECT_EQ(folderListing(scene.dir()), before) << c.output;
        EXPECT_EQ(scene.readFile(c.older), "older output") << c.output;
    }
}

// A signal from outside (a key, a closed terminal, a stop) once the
// temporary output exists: exit code 130, one line, the older output as it
// was and no temporary left.
TEST(Export, AnInterruptedExportLeavesTheOlderOutputAndNoTemporary) {
    struct Case {
        const char* signal;
        const char* output;
        const char* older;
        const char* temporary;  // what shows that the output is open
    };
    const Case cases[] = {
        {"HUP", "old.mp4", "old.mp4", ".old.mp4."},
        {"INT", "old.webm", "old.webm", ".old.webm."},
        {"TERM", "frame-%05d.png", "frame-00000.png", ".frame-%05d.png."},
    };
    for (const Case& c : cases) {
        Scene scene("export-interrupted");
        prepareScene(scene);
        scene.writeFile(c.older, "older output");
        const std::set<std::string> before = folderListing(scene.dir());
        // Long enough (no loop: every frame rendered) that it is still
        // running when the signal comes.
        std::ostringstream script;
        script << "cd '" << scene.dir().string() << "' && { '" << STILLFLOW_EXPORT_BINARY
               << "' --seconds 900 '" << c.output << "' >../interrupted-out 2>../interrupted-err & pid=$!; "
               << "for i in $(seq 1 600); do ls -a | grep -qF -- '" << c.temporary << "' && break; sleep 0.05; done; "
               << "kill -" << c.signal << " $pid; wait $pid; echo $? >../interrupted-code; }";
        ASSERT_EQ(std::system(script.str().c_str()), 0);
        const fs::path parent = scene.dir().parent_path();
        const std::string code = readWholeFile(parent / "interrupted-code");
        const std::string err = readWholeFile(parent / "interrupted-err");
        for (const char* name : {"interrupted-out", "interrupted-err", "interrupted-code"}) fs::remove(parent / name);
        EXPECT_EQ(code, "130\n") << c.signal << ": " << err;
        EXPECT_EQ(err, "stillflow-export: interrupted; nothing written\n") << c.signal;
        EXPECT_EQ(folderListing(scene.dir()), before) << c.signal;
        EXPECT_EQ(scene.readFile(c.older), "older output") << c.signal;
    }
}

// A scene folder whose displace.frag predates the sharp filter: the export
// and F in the program each say so in one line and go on with the filter the
// file has.
TEST(Export, AnOlderDisplaceShaderIsNamedAndKept) {
    Scene scene("export-older-shader");
    prepareScene(scene);
    std::string older = scene.readFile(displaceFragmentFileName);
    for (std::size_t at = older.find("SHARP_FILTER"); at != std::string::npos; at = older.find("SHARP_FILTER"))
        older.replace(at, 12, "OTHER_FILTER");
    scene.writeFile(displaceFragmentFileName, older);

    const ExportRun run = runExport(scene, "-q --loops 1 loop.gif");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("displace.frag here has no sharp filter"), std::string::npos) << run.err;
    EXPECT_EQ(probe(scene.dir() / "loop.gif").frames, 15);

    scene.writeScript("2 keydown F\n3 keyup F\n");
    const ProgramRun program = scene.run(66, 50, 6);
    EXPECT_EQ(program.exitCode, 0) << program.err;
    EXPECT_NE(program.err.find("displace.frag here has no sharp filter"), std::string::npos) << program.err;
}

}  // namespace
