// Frames of an export, rendered by the program's passes on virtual time:
// the loop closes exactly, the motion goes the way the guides point, and a
// scene without guides stands still.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "app/export_frames.h"
#include "app/startup.h"
#include "flow/guides.h"
#include "gpu/passes.h"

namespace {

using Frame = std::vector<std::uint8_t>;

// A picture with detail everywhere, so that any motion changes pixels: a
// smooth colour ramp under a sparse grid of bright dots.
ImageGrid texturedPicture(int width, int height) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool dot = x % 8 == 3 && y % 8 == 3;
            picture.at(x, y) = dot ? Rgba8{255, 255, 255, 255}
                                   : Rgba8{static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 3), 90, 255};
        }
    }
    return picture;
}

// A scene as start-up leaves it after reading a document with these guides
// and this spacing.
void makeScene(AppState& state, int width, int height, const std::vector<GuideSegment>& guides, float spacing) {
    state.picture = texturedPicture(width, height);
    state.overlayPicture = ImageGrid();
    state.flowGrid = FlowGrid(width, height);
    state.phaseSpacing = spacing;
    state.layerPhase = {2.0 * spacing, 1.0 * spacing, 0.0};
    state.flowDirty = true;
    guideSegments = guides;
    createSceneTextures(state);
}

std::vector<Frame> renderFrames(AppState& state, const ExportTiming& timing) {
    ExportFrames frames;
    startExportFrames(state, timing, true, frames);
    std::vector<Frame> result;
    const std::size_t bytes = static_cast<std::size_t>(frames.width) * frames.height * 4u;
    renderAllExportFrames(state, frames, [&](const std::uint8_t* rgba, std::int64_t) {
        result.emplace_back(rgba, rgba + bytes);
        return true;
    });
    releaseExportFrames(frames);
    return result;
}

int differingPixels(const Frame& a, const Frame& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) count += std::memcmp(&a[i], &b[i], 4) != 0;
    return count;
}

// The mean x of the bright dots' pixels, in picture pixels.
double brightCentreX(const Frame& frame, int width) {
    double sum = 0.0, count = 0.0;
    for (std::size_t i = 0; i < frame.size(); i += 4) {
        if (frame[i] > 200 && frame[i + 1] > 200 && frame[i + 2] > 200) {
            sum += static_cast<double>((i / 4) % static_cast<std::size_t>(width));
            count += 1.0;
        }
    }
    return count > 0.0 ? sum / count : -1.0;
}

}  // namespace

class ExportFramesTest : public testing::Test {
protected:
    void TearDown() override {
        guideSegments.clear();
        releaseRenderTargets(state.targets);
    }
    AppState state;
};

// One frame more than a whole period shows exactly the pixels of frame 0, at
// the demo scene's spacing and at the default one, for several frame rates.
TEST_F(ExportFramesTest, TheFrameAfterAPeriodIsFrameZeroExactly) {
    struct Case {
        float spacing;
        double fps;
    };
    for (const Case c : {Case{0.7f, 30.0}, Case{0.5f, 24.0}, Case{0.45f, 60.0}}) {
        makeScene(state, 96, 64, {{20.0f, 32.0f, 70.0f, 40.0f}, {50.0f, 10.0f, 40.0f, 55.0f}}, c.spacing);
        ExportTiming timing = planLoopExport(c.spacing, c.fps, 1);
        const std::int64_t n = timing.framesPerPeriod;
        timing.frameCount = n + 1;
        const std::vector<Frame> frames = renderFrames(state, timing);
        ASSERT_EQ(frames.size(), static_cast<std::size_t>(n + 1));
        EXPECT_EQ(differingPixels(frames[n], frames[0]), 0) << "spacing " << c.spacing << ", " << c.fps << " fps";
        // And the loop moves: the middle of the period is another picture.
        EXPECT_GT(differingPixels(frames[n / 2], frames[0]), 100) << "spacing " << c.spacing;
    }
}
