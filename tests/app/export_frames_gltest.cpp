// Frames of an export, rendered by the program's passes on virtual time:
// the loop closes exactly, the motion goes the way the guides point, and a
// scene without guides stands still.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/export_frames.h"
#include "app/composition.h"
#include "app/schedule.h"
#include "app/startup.h"
#include "app/synthesize_flow.h"
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

// Every pixel another colour: a hash of its position.
ImageGrid noisePicture(int width, int height) {
    ImageGrid picture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t h = ((static_cast<std::uint32_t>(x) * 73856093u) ^
                                     (static_cast<std::uint32_t>(y) * 19349663u)) * 2654435761u;
            picture.at(x, y) = Rgba8{static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16),
                                     static_cast<std::uint8_t>(h >> 8), 255};
        }
    }
    return picture;
}

// A scene as start-up leaves it after reading a document with these guides
// and this spacing.
void makeScene(AppState& state, int width, int height, const std::vector<GuideSegment>& guides, float spacing,
               ImageGrid (*picture)(int, int) = texturedPicture) {
    state.picture = picture(width, height);
    state.overlayPicture = ImageGrid();
    state.flowGrid = FlowGrid(width, height);
    state.phaseSpacing = spacing;
    state.layerPhase = {2.0 * spacing, 1.0 * spacing, 0.0};
    state.flowDirty = true;
    guideSegments = guides;
    std::string error;
    EXPECT_TRUE(createSceneTextures(state, error)) << error;
}

std::vector<Frame> renderFrames(AppState& state, const ExportTiming& timing) {
    ExportFrames frames;
    EXPECT_FALSE(startExportFrames(state, timing, true, frames));
    std::vector<Frame> result;
    const std::size_t bytes = static_cast<std::size_t>(frames.width) * frames.height * 4u;
    EXPECT_TRUE(renderAllExportFrames(state, frames, [&](const std::uint8_t* rgba, std::int64_t) {
        result.emplace_back(rgba, rgba + bytes);
        return true;
    }));
    releaseExportFrames(frames);
    return result;
}

int differingPixels(const Frame& a, const Frame& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size(); i += 4) count += std::memcmp(&a[i], &b[i], 4) != 0;
    return count;
}

// The mean red of the pixels x0 <= x < x1, y0 <= y < y1.
double meanRed(const Frame& frame, int width, int x0, int x1, int y0, int y1) {
    double sum = 0.0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += frame[(static_cast<std::size_t>(y) * width + x) * 4];
    return sum / ((x1 - x0) * (y1 - y0));
}

// The picture itself, as a frame.
Frame stillFrame(int width, int height) {
    const ImageGrid picture = texturedPicture(width, height);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture.data());
    return Frame(bytes, bytes + static_cast<std::size_t>(width) * height * 4u);
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

// One frame more than a whole period shows exactly the pixels of frame 0, for
// a table of spacings and frame rates, on a picture of noise (where a sum
// that rounds differently shows at once) under three guides. At 20 fps and
// 0.5 s the frame after a period once missed by one level at a pixel: the
// layers' ages came from times that round differently, and the layers were
// added in another order once their roles had moved on by a period.
TEST_F(ExportFramesTest, TheFrameAfterAPeriodIsFrameZeroExactly) {
    struct Case {
        float spacing;
        double fps;
    };
    const Case cases[] = {{0.7f, 30.0}, {0.5f, 24.0}, {0.45f, 60.0}, {0.5f, 20.0},
                          {0.5f, 30.0}, {0.3f, 25.0}, {1.1f, 12.0}, {0.25f, 48.0}};
    for (const Case c : cases) {
        makeScene(state, 160, 120, {{20.0f, 32.0f, 70.0f, 40.0f}, {50.0f, 10.0f, 40.0f, 55.0f}, {130.0f, 90.0f, 100.0f, 60.0f}},
                  c.spacing, noisePicture);
        ExportTiming timing = planLoopExport(c.spacing, c.fps, 1);
        const std::int64_t n = timing.framesPerPeriod;
        timing.frameCount = n + 1;
        const std::vector<Frame> frames = renderFrames(state, timing);
        ASSERT_EQ(frames.size(), static_cast<std::size_t>(n + 1));
        EXPECT_EQ(differingPixels(frames[n], frames[0]), 0) << "spacing " << c.spacing << ", " << c.fps << " fps";
        // And the loop moves: the middle of the period is another picture.
        EXPECT_GT(differingPixels(frames[n / 2], frames[0]), 100) << "spacing " << c.spacing;
        releaseRenderTargets(state.targets);
    }
}

// Frame 0 after the warm-up's shortcut (only reset layers advected, nothing
// displaced) is exactly what running every pass of every grid step from
// time 0 shows at that step, as the program's frame loop would.
TEST_F(ExportFramesTest, TheWarmUpGivesTheFramesOfAFullRun) {
    const std::vector<GuideSegment> guides = {{20.0f, 32.0f, 70.0f, 40.0f}};
    makeScene(state, 96, 64, guides, 0.7f);
    const ExportTiming timing = planLoopExport(0.7f, 30.0, 1);
    const std::vector<Frame> frames = renderFrames(state, timing);
    ASSERT_EQ(frames.size(), 21u);

    releaseRenderTargets(state.targets);
    makeScene(state, 96, 64, guides, 0.7f);
    synthesizeFlowQuietly(state);
    const ExportStart start = findExportStart(timing, 0.7f, state.layerPhase);
    const float step = static_cast<float>(exportFrameStep(timing));
    for (std::int64_t j = 0; j <= start.firstFrame + 3; ++j) {
        ASSERT_FALSE(animateLayers(exportGridTime(timing, j), step, state.phaseSpacing, state.layerPhase,
                                   state.targets, ExportFrames().filter));
    }
    glUseProgram(0);
    std::vector<std::uint8_t> shown(frames[3].size());
    // The output of grid step firstFrame + 3 composed as the export does.
    GLuint framebuffer = 0;
    Texture colour;
    colour.upload(GL_RGBA8, 96, 64, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour.id(), 0);
    composePictureFrame(state, true);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 96, 64, GL_RGBA, GL_UNSIGNED_BYTE, shown.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    EXPECT_EQ(differingPixels(shown, frames[3]), 0);
}

// A guide pointing right moves the picture's features right, as the window
// shows them: under the ramp of red that grows to the right, every pixel
// near the guide shows the redness of a pixel to its left, in every frame.
TEST_F(ExportFramesTest, AGuidePointingRightMovesTheFeaturesRight) {
    makeScene(state, 96, 64, {{10.0f, 32.0f, 40.0f, 32.0f}}, 0.7f);
    const std::vector<Frame> frames = renderFrames(state, planLoopExport(0.7f, 30.0, 1));
    ASSERT_FALSE(frames.empty());
    for (std::size_t k = 0; k < frames.size(); k += 5) {
        EXPECT_LT(meanRed(frames[k], 96, 20, 60, 24, 40), meanRed(stillFrame(96, 64), 96, 20, 60, 24, 40) - 2.0)
            << "frame " << k;
    }
}

// Without guides nothing flows: every frame is the picture itself.
TEST_F(ExportFramesTest, ASceneWithoutGuidesGivesIdenticalFrames) {
    makeScene(state, 40, 30, {}, 0.5f);
    const std::vector<Frame> frames = renderFrames(state, planLoopExport(0.5f, 30.0, 1));
    ASSERT_EQ(frames.size(), 15u);
    for (const Frame& frame : frames) EXPECT_EQ(differingPixels(frame, frames[0]), 0);
    EXPECT_EQ(differingPixels(frames[0], stillFrame(40, 30)), 0);
}
