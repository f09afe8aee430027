// The window's proxy, decided from the view alone: which pictures get one,
// at which level, when a zoom re-creates it, and the flow it moves with.

#include "app/layer_proxy.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The view fitted to a picture in a viewport, then zoomed by `zoom`.
View shown(int pictureWidth, int pictureHeight, float viewportWidth, float viewportHeight, float zoom = 1.0f) {
    View view;
    view.width = viewportWidth;
    view.height = viewportHeight;
    view = fitView(view, pictureWidth, pictureHeight);
    view.scale *= zoom;
    return view;
}

TEST(LayerProxy, OnlyBigPicturesShownAtHalfTheirSizeOrLessGetOne) {
    struct Case {
        const char* what;
        int width, height;
        float viewportWidth, viewportHeight, zoom;
        float scale;
    };
    const Case cases[] = {
        {"a 12-megapixel photo in a 960 x 540 window", 4000, 3000, 960, 540, 1.0f, 5.6568542f},  // shown at 1/5.6
        {"the same in a full-HD window", 4000, 3000, 1920, 1080, 1.0f, 2.8284271f},            // at 1/2.8
        {"zoomed in to a third of its size", 4000, 3000, 1920, 1080, 1.3f, 2.0f},
        {"zoomed in past half its size", 4000, 3000, 1920, 1080, 1.5f, 1.0f},
        {"a picture no larger than the window", 1920, 1080, 1920, 1080, 1.0f, 1.0f},
        {"the same zoomed far out", 1920, 1080, 1920, 1080, 0.1f, 1.0f},
        {"a small picture in a tiny window", 1280, 720, 128, 72, 1.0f, 1.0f},
        {"just under 2 megapixels", 1920, 1080, 480, 270, 1.0f, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(chooseLayerScale(c.width, c.height,
                                     shown(c.width, c.height, c.viewportWidth, c.viewportHeight, c.zoom), 1.0f),
                    c.scale, 1e-5f)
            << c.what;
    }
}

// Zooming in past the level goes finer at once; zooming out goes coarser
// only when a whole octave is to be gained.
TEST(LayerProxy, ZoomingOutWaitsForAWholeOctave) {
    const View fitted = shown(8000, 6000, 1000, 750);  // 8 picture pixels a viewport pixel
    EXPECT_FLOAT_EQ(chooseLayerScale(8000, 6000, fitted, 1.0f), 8.0f);
    View in = fitted;
    in.scale *= 1.5f;  // 5.3 a pixel
    const float finer = chooseLayerScale(8000, 6000, in, 8.0f);
    EXPECT_NEAR(finer, 5.6568542f, 1e-5f);
    // Back out to the fit: the finer level stays; further out, where a whole
    // octave is gained, the layers go coarser.
    EXPECT_EQ(chooseLayerScale(8000, 6000, fitted, finer), finer);
    View out = fitted;
    out.scale /= 1.2f;  // 9.6 a pixel
    EXPECT_NEAR(chooseLayerScale(8000, 6000, out, finer), 11.313708f, 1e-4f);
}

TEST(LayerProxy, LayersCoverThePictureAndTheFlowKeepsItsSpeedInPicturePixels) {
    const LayerSize size = layerSizeFor(4001, 3000, 4.0f);
    EXPECT_EQ(size.width, 1000);
    EXPECT_EQ(size.height, 750);
    EXPECT_EQ(layerSizeFor(4001, 3000, 1.0f).width, 4001);

    // A flow of 8 px/s to the right and 2 px/s down, picture-wide, at a
    // quarter of the picture: 2 and 0.5 layer texels a second.
    FlowGrid flow(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) flow.at(x, y) = Vec2{8.0f, 2.0f};
    const FlowGrid layers = flowForLayers(flow, {10, 15});
    ASSERT_EQ(layers.width, 10);
    ASSERT_EQ(layers.height, 15);
    EXPECT_FLOAT_EQ(layers.at(3, 4).x, 2.0f);
    EXPECT_FLOAT_EQ(layers.at(3, 4).y, 1.0f);
    // A ramp is sampled at each layer texel's centre: texel 2 of 10 covers
    // picture pixels 8 .. 11, whose centre is at 9.5.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) flow.at(x, y) = Vec2{static_cast<float>(x), 0.0f};
    EXPECT_FLOAT_EQ(flowForLayers(flow, {10, 15}).at(2, 0).x, 9.5f / 4.0f);
}

}  // namespace
