// The demo scene tool's output: a track that loops without a click and
// whose WAV header agrees with its data, and a flow document that reads
// back and moves what the picture shows as moving while the rest stays still.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "flow/document.h"
#include "flow/synthesis.h"
#include "demo/guide_layout.h"
#include "demo/music.h"
#include "demo/picture.h"

namespace {

std::uint32_t readU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint32_t readU16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}

TEST(DemoTrack, WavHeaderAgreesWithTheSamplesAndTheLoopHasNoClick) {
    const demo::LoopBuffer track = demo::renderTrack();
    const std::vector<std::uint8_t> wav = demo::encodeWav(track);

    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(wav.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(0, std::memcmp(wav.data() + 36, "data", 4));
    EXPECT_EQ(wav.size() - 8, readU32(wav, 4));
    EXPECT_EQ(16u, readU32(wav, 16));
    EXPECT_EQ(1u, readU16(wav, 20));      // PCM
    EXPECT_EQ(2u, readU16(wav, 22));      // stereo
    EXPECT_EQ(44100u, readU32(wav, 24));
    EXPECT_EQ(44100u * 4u, readU32(wav, 28));
    EXPECT_EQ(4u, readU16(wav, 32));
    EXPECT_EQ(16u, readU16(wav, 34));
    EXPECT_EQ(wav.size() - 44, readU32(wav, 40));
    EXPECT_EQ(static_cast<std::uint32_t>(demo::kLoopFrames) * 4u, readU32(wav, 40));

    // A whole number of bars, between 16 and 32 seconds.
    EXPECT_EQ(0, demo::kLoopFrames % demo::kFramesPerBar);
    const double seconds = static_cast<double>(demo::kLoopFrames) / demo::kSampleRate;
    EXPECT_GE(seconds, 16.0);
    EXPECT_LE(seconds, 32.0);

    // The step across the loop point is no larger than the steps around it:
    // a voice cut off at the end, or one starting from a jump, would stand
    // out as a spike there.
    for (const std::vector<float>* channel : {&track.left, &track.right}) {
        const std::vector<float>& s = *channel;
        const std::size_t n = s.size();
        float nearby = 0.0f;
        for (std::size_t i = 1; i < 200; ++i) {
            nearby = std::max(nearby, std::fabs(s[i] - s[i - 1]));
            nearby = std::max(nearby, std::fabs(s[n - i] - s[n - i - 1]));
        }
        EXPECT_LE(std::fabs(s[0] - s[n - 1]), nearby * 1.5f + 1e-4f);
        float peak = 0.0f;
        for (float v : s) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.5f);
        EXPECT_LT(peak, 1.0f);  // no clipping
    }
}

// The document as the tool writes it, and the flow the program synthesises
// from it.
class DemoDocument : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        canvas = new demo::PaintCanvas(demo::paintScene());
        document = new FlowDocument;
        document->picture = demo::canvasToImage(*canvas);
        document->mask = ByteMask(document->picture.width, document->picture.height);
        document->guides = demo::layoutGuides(*canvas);
        document->flowScale = demo::kDemoFlowScale;
        document->phaseSpacing = demo::kDemoPhaseSpacing;
    }
    static void TearDownTestSuite() {
        delete canvas;
        delete document;
        canvas = nullptr;
        document = nullptr;
    }
    static demo::PaintCanvas* canvas;
    static FlowDocument* document;
};
demo::PaintCanvas* DemoDocument::canvas = nullptr;
FlowDocument* DemoDocument::document = nullptr;

TEST_F(DemoDocument, ReadsBackWhole) {
    const std::vector<std::uint8_t> bytes = encodeFlowDocument(*document);
    ASSERT_FALSE(bytes.empty());
    FlowDocument decoded;
    ASSERT_TRUE(decodeFlowDocument(bytes.data(), bytes.size(), &decoded));
    EXPECT_EQ(demo::kSceneWidth, decoded.picture.width);
    EXPECT_EQ(demo::kSceneHeight, decoded.picture.height);
    EXPECT_EQ(0, std::memcmp(decoded.picture.data(), document->picture.data(), document->picture.byteCount()));
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(decoded.mask.cellCount()), 0);
    EXPECT_EQ(0, std::memcmp(decoded.mask.data(), zeros.data(), zeros.size()));
    ASSERT_EQ(document->guides.size(), decoded.guides.size());
    EXPECT_EQ(demo::kDemoFlowScale, decoded.flowScale);
    EXPECT_EQ(demo::kDemoPhaseSpacing, decoded.phaseSpacing);
    // The picture is opaque.
    for (std::int64_t i = 0; i < decoded.picture.cellCount(); ++i) ASSERT_EQ(255, decoded.picture.data()[i].a);
}

TEST_F(DemoDocument, WaterAndCloudsMoveAndTheRestStaysStill) {
    FlowGrid field(document->picture.width, document->picture.height);
    computeFlowField(document->guides, document->flowScale, field);

    // Typical motion per feature: the median over its pixels, sampled on a grid.
    auto medianOf = [&](demo::Region region, auto value) {
        std::vector<float> values;
        for (std::int32_t y = 2; y < field.height; y += 4) {
            for (std::int32_t x = 2; x < field.width; x += 4) {
                if (canvas->regions[canvas->index(x, y)] == region) values.push_back(value(field.at(x, y)));
            }
        }
        EXPECT_FALSE(values.empty());
        if (values.empty()) return 0.0f;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        return values[values.size() / 2];
    };
    auto speed = [](Vec2 v) { return std::sqrt(v.x * v.x + v.y * v.y); };
    auto down = [](Vec2 v) { return v.y; };
    auto right = [](Vec2 v) { return v.x; };

    const float fallDown = medianOf(demo::Region::Fall, down);
    EXPECT_GE(fallDown, 30.0f);
    EXPECT_LE(fallDown, 150.0f);
    const float lake = medianOf(demo::Region::Lake, speed);
    EXPECT_GE(lake, 3.0f);
    EXPECT_LE(lake, 40.0f);
    const float cloudDrift = medianOf(demo::Region::Sky, right);
    EXPECT_GE(cloudDrift, 3.0f);
    EXPECT_LE(cloudDrift, 15.0f);
    for (demo::Region still : {demo::Region::Rock, demo::Region::Foliage, demo::Region::Hills}) {
        EXPECT_LT(medianOf(still, speed), 3.0f) << "region " << static_cast<int>(still);
    }
}

}  // namespace
