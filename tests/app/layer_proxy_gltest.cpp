// The window's proxy on the GPU: layers at a quarter of the picture's size
// show the picture moving in the same direction and at the same speed, in
// picture pixels per second, as picture-sized layers do, with the picture
// read at its own resolution.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/layer_proxy.h"
#include "app/schedule.h"
#include "app/startup.h"
#include "app/synthesize_flow.h"
#include "flow/guides.h"
#include "support/gl_test.h"

namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 128;

// Red rises by one level a pixel to the right, green by two a row down: the
// picture seen through a layer tells where the layer reads it.
ImageGrid rampPicture() {
    ImageGrid picture(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            picture.at(x, y) = Rgba8{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y * 2), 90, 255};
    return picture;
}

// The displaced picture after 20 frames at 30 fps of a flow of 12 px/s to
// the right and 6 px/s down, animated at `layerScale`.
std::vector<std::uint8_t> animate(float layerScale, int& width, int& height) {
    AppState state;
    state.picture = rampPicture();
    state.flowGrid = FlowGrid(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) state.flowGrid.at(x, y) = Vec2{12.0f, 6.0f};
    state.phaseSpacing = 0.5f;
    state.layerPhase = {1.0, 0.5, 0.0};
    std::string error;
    EXPECT_TRUE(createSceneTextures(state, error)) << error;
    state.layerScale = layerScale;
    const LayerSize size = layerSizeFor(kWidth, kHeight, layerScale);
    if (layerScale > 1.0f) createAnimationLayers(size.width, size.height, state.targets);
    uploadFlowForLayers(state);
    for (int frame = 0; frame < 20; ++frame) {
        EXPECT_FALSE(animateLayers(frame / 30.0, 1.0f / 30.0f, state.phaseSpacing, state.layerPhase, state.targets,
                                   PictureFilter::Fast));
    }
    glUseProgram(0);
    width = state.targets.output.width();
    height = state.targets.output.height();
    std::vector<std::uint8_t> output = readRgbaBytes(state.targets.output);
    releaseRenderTargets(state.targets);
    return output;
}

TEST(LayerProxyGl, AProxyMovesThePictureAsPictureSizedLayersDo) {
    int fullWidth = 0, fullHeight = 0, proxyWidth = 0, proxyHeight = 0;
    const std::vector<std::uint8_t> full = animate(1.0f, fullWidth, fullHeight);
    const std::vector<std::uint8_t> proxy = animate(4.0f, proxyWidth, proxyHeight);
    ASSERT_EQ(fullWidth, kWidth);
    ASSERT_EQ(proxyWidth, kWidth / 4);
    ASSERT_EQ(proxyHeight, kHeight / 4);
    auto at = [](const std::vector<std::uint8_t>& pixels, int width, int x, int y, int channel) {
        return static_cast<int>(pixels[(static_cast<std::size_t>(y) * width + x) * 4 + channel]);
    };
    // Proxy texel (x, y) shows the picture around picture pixels 4x + 1.5,
    // 4y + 1.5: the mean of the four picture-sized pixels there. Away from
    // the edges (where motion brings in the mirrored picture) they agree to
    // a level; and both moved: right and down is less red and less green.
    int worst = 0;
    double shiftRed = 0.0, shiftGreen = 0.0;
    int counted = 0;
    for (int y = 4; y < proxyHeight - 2; ++y) {
        for (int x = 4; x < proxyWidth - 2; ++x) {
            for (int channel = 0; channel < 2; ++channel) {
                const int fx = 4 * x + 1, fy = 4 * y + 1;
                const double expected = (at(full, kWidth, fx, fy, channel) + at(full, kWidth, fx + 1, fy, channel) +
                                         at(full, kWidth, fx, fy + 1, channel) +
                                         at(full, kWidth, fx + 1, fy + 1, channel)) /
                                        4.0;
                worst = std::max(worst, static_cast<int>(std::abs(at(proxy, proxyWidth, x, y, channel) - expected) +
                                                         0.5));
            }
            shiftRed += (4 * x + 1.5) - at(proxy, proxyWidth, x, y, 0);
            shiftGreen += (4 * y + 1.5) * 2 - at(proxy, proxyWidth, x, y, 1);
            ++counted;
        }
    }
    EXPECT_LE(worst, 1);
    // The three layers' ages, weighted, come to a few px of motion: several
    // levels of red (1 a pixel) and green (2 a pixel, half the speed).
    EXPECT_GT(shiftRed / counted, 3.0);
    EXPECT_NEAR(shiftGreen / counted, shiftRed / counted, 1.0);
}

}  // namespace
