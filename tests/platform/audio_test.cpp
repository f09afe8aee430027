// The music player: the loop arithmetic, and a whole track played through
// SDL's file-writing audio driver, which needs no sound card.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_loop.h"
#include "support/file_size_limit.h"

TEST(ReadTrack, LoopingWrapsSoTheFirstSampleFollowsTheLast) {
    const std::vector<std::uint8_t> track = {1, 2, 3, 4, 5};
    std::size_t position = 3;
    std::uint8_t out[12] = {};
    EXPECT_EQ(readTrack(track, position, true, out, 12), 12u);
    const std::uint8_t expected[12] = {4, 5, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5};
    EXPECT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(expected)));
    EXPECT_EQ(position, 0u);
}

TEST(ReadTrack, WithoutLoopStopsAtTheEndAndAnEmptyTrackGivesNothing) {
    const std::vector<std::uint8_t> track = {1, 2, 3};
    std::size_t position = 1;
    std::uint8_t out[8] = {};
    EXPECT_EQ(readTrack(track, position, false, out, 8), 2u);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(readTrack(track, position, false, out, 8), 0u);
    std::size_t zero = 0;
    EXPECT_EQ(readTrack({}, zero, true, out, 8), 0u);
}

namespace {
void appendLe(std::vector<std::uint8_t>& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A 16-bit PCM WAV file with the given interleaved samples.
std::vector<std::uint8_t> makeWav(const std::vector<std::int16_t>& samples, int channels, int rate) {
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F'};
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    appendLe(b, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<std::uint8_t>(c));
    appendLe(b, 16, 4);
    appendLe(b, 1, 2);  // PCM
    appendLe(b, static_cast<std::uint32_t>(channels), 2);
    appendLe(b, static_cast<std::uint32_t>(rate), 4);
    appendLe(b, static_cast<std::uint32_t>(rate * channels * 2), 4);
    appendLe(b, static_cast<std::uint32_t>(channels * 2), 2);
    appendLe(b, 16, 2);
    for (char c : std::string("data")) b.push_back(static_cast<std::uint8_t>(c));
    appendLe(b, dataBytes, 4);
    for (std::int16_t s : samples) appendLe(b, static_cast<std::uint16_t>(s), 2);
    return b;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
}  // namespace

// Unusable tracks give silence and one line saying why, whether or not the
// device is open; a missing track is the ordinary case and stays silent.
TEST(Audio, UnusableTracksAreRefusedWithOneLineAndAMissingOneSilently) {
    const std::string dir = ::testing::TempDir() + "audio_test_refused";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/track.wav");  // a directory of the track's name
    std::vector<std::int16_t> samples(20000, 1000);
    writeFile(dir + "/slow.wav", makeWav(samples, 1, 1));       // 20000 s at 1 Hz
    writeFile(dir + "/junk.wav", {'R', 'I', 'F', 'F', 0, 0});
    writeFile(dir + "/empty.wav", {});
    struct Case {
        const char* file;
        const char* reason;  // empty: no line
    };
    const Case cases[] = {
        {"/track.wav", "not a regular file"},
        {"/fifo.wav", "not a regular file but a FIFO"},
        {"/slow.wav", "5.6 hours at 1 Hz"},
        {"/junk.wav", "not a WAV file"},
        {"/empty.wav", "empty"},
        {"/missing.wav", ""},
    };
    ASSERT_EQ(mkfifo((dir + "/fifo.wav").c_str(), 0600), 0);  // would wait for a writer for ever
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir + c.file;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(BASS_StreamCreateFile(false, path.c_str(), 0, 0, BASS_SAMPLE_LOOP), 0u);
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (*c.reason == 0) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_NE(err.find(c.reason), std::string::npos) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
    }
    std::filesystem::remove_all(dir);
}

// A track longer than the music limit is refused from its header: a
// three-hour WAV (1.9 GB, sparse here) once cost 3.7 GB and 20 s of reading
// and decoding before the refusal. Here it must be refused with 64 MB to
// spare, and name the limit.
TEST(Audio, ATrackTooLongIsRefusedFromItsHeaderWithoutReadingIt) {
    if (kUnderAddressSanitizer) GTEST_SKIP() << "the memory limit cannot work under the sanitizers";
    const std::string path = ::testing::TempDir() + "audio_test_three_hours.wav";
    constexpr std::uint32_t kRate = 44100;
    constexpr std::uint32_t kDataBytes = 3u * 3600u * kRate * 4u;  // 16-bit stereo
    std::vector<std::uint8_t> header = makeWav({}, 2, kRate);
    for (int i = 0; i < 4; ++i) {
        header[40 + i] = static_cast<std::uint8_t>(kDataBytes >> (8 * i));
        header[4 + i] = static_cast<std::uint8_t>((kDataBytes + 36) >> (8 * i));
    }
    writeFile(path, header);
    std::filesystem::resize_file(path, header.size() + kDataBytes);  // zeros, sparse: no disk taken

    const LimitedRun run = runWithMemoryHeadroom(64u << 20, [&path](std::string& error) {
        ::testing::internal::CaptureStderr();
        const std::uint32_t handle = BASS_StreamCreateFile(false, path.c_str(), 0, 0, BASS_SAMPLE_LOOP);
        error = ::testing::internal::GetCapturedStderr();
        return handle == 0;
    });
    std::remove(path.c_str());
    EXPECT_TRUE(run.returned) << run.error;
    EXPECT_NE(run.error.find("it lasts 3.0 hours at 44100 Hz; at most 1 hour of music is played"), std::string::npos)
        << run.error;
}

// The only test in this executable that opens the audio device: the device
// is process-wide and opened once.
TEST(Audio, PlaysTheTrackInASeamlessLoopAndRefusesBadFiles) {
    const std::string out = ::testing::TempDir() + "audio_test_output.raw";
    std::remove(out.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);

    // Stereo 16-bit at the device's rate, so the device plays the file's
    // bytes unchanged; 1000 frames of a ramp so every frame differs.
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 1000; ++i) {
        samples.push_back(static_cast<std::int16_t>(i * 30 - 15000));
        samples.push_back(static_cast<std::int16_t>(15000 - i * 30));
    }
    const auto wav = makeWav(samples, 2, 44100);
    const std::string good = ::testing::TempDir() + "audio_test_track.wav";
    const std::string bad = ::testing::TempDir() + "audio_test_bad.wav";
    writeFile(good, wav);
    writeFile(bad, std::vector<std::uint8_t>(wav.begin(), wav.begin() + 30));

    EXPECT_EQ(BASS_StreamCreateFile(false, good.c_str(), 0, 0, BASS_SAMPLE_LOOP), 0u) << "no device yet";
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_StreamCreateFile(false, (good + ".missing").c_str(), 0, 0, BASS_SAMPLE_LOOP), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(false, bad.c_str(), 0, 0, BASS_SAMPLE_LOOP), 0u);
    EXPECT_FALSE(BASS_ChannelPlay(0, true));
    EXPECT_FALSE(BASS_ChannelPlay(77, true));

    const std::uint32_t handle = BASS_StreamCreateFile(false, good.c_str(), 0, 0, BASS_SAMPLE_LOOP);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, true));

    // The device plays silence while paused, so the track starts somewhere
    // in the output; from there three passes must follow without a gap.
    const std::vector<std::uint8_t> pcm(wav.begin() + 44, wav.end());
    const std::size_t trackBytes = pcm.size();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::uint8_t> played;
    std::size_t start = 0;
    for (;;) {
        played = readFile(out);
        const auto first = std::search(played.begin(), played.end(), pcm.begin(), pcm.begin() + 4);
        start = static_cast<std::size_t>(first - played.begin());
        if (first != played.end() && played.size() >= start + 3 * trackBytes) break;
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the device wrote " << played.size() << " bytes";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::size_t i = 0; i < 3 * trackBytes; ++i)
        ASSERT_EQ(played[start + i], pcm[i % trackBytes]) << "byte " << i << " of the looped track";
}
