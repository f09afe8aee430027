// Opening a scene returns what stops it instead of ending the process, and
// gives back what it had begun, so that its caller (the export, a window
// that opens another scene, these tests) goes on.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "app/app_state.h"
#include "app/startup.h"
#include "flow/document.h"
#include "flow/guides.h"
#include "flow/scene_files.h"
#include "gpu/gpu_limits.h"
#include "gpu/passes.h"
#include "platform/gui.h"
#include "platform/gui_options.h"
#include "support/gl_test.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

namespace fs = std::filesystem;

ImageGrid greyPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 3), 90, 255};
    });
}

// Each test opens scenes in folders of its own, with a session and context
// of their own; the test main's come back afterwards.
class OpenScene : public ::testing::Test {
protected:
    void SetUp() override { releasePassObjects(); }
    void TearDown() override {
        fs::current_path(previous_);
        GuiOptions options;
        options.backend = GuiBackend::Offscreen;
        options.width = 64;
        options.height = 64;
        std::string error;
        ASSERT_TRUE(guiStart(options, error)) << error;
        glTestContext().makeCurrent();
    }

    // Opens the scene in `scene`'s folder the way the export does.
    bool open(const Scene& scene, AppState& state, std::string& error) {
        fs::current_path(scene.dir());
        const bool opened = openScene(state, headlessSceneOptions(), error);
        fs::current_path(previous_);
        return opened;
    }

    fs::path previous_ = fs::current_path();
};

TEST_F(OpenScene, WhatStopsItIsOneLineAndNothingIsLeftOpen) {
    const int largest = largestTextureSide();
    struct Case {
        const char* name;
        std::function<void(const Scene&)> prepare;
        std::string line;
    };
    const Case cases[] = {
        {"missing", [](const Scene&) {}, "cannot open \"vornapozadi.png\" in the working directory"},
        {"undecodable", [](const Scene& s) { s.writeFile(pictureFileName, "not a picture"); },
         "\"vornapozadi.png\" is not a picture that can be decoded"},
        {"two-by-two", [](const Scene& s) { s.writePicture(pictureFileName, greyPicture(2, 2)); },
         "\"vornapozadi.png\" is 2 x 2 pixels; at least 3 x 3 are needed"},
        // Passes the guess made before any context, not the GPU's own figure.
        {"wider-than-this-gpu", [&](const Scene& s) { s.writePicture(pictureFileName, greyPicture(largest + 1, 3)); },
         "\"vornapozadi.png\" is " + std::to_string(largest + 1) + " x 3 pixels, larger than the " +
             std::to_string(largest) + " x " + std::to_string(largest) + " this GPU takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("open-") + c.name);
        c.prepare(scene);
        AppState state;
        std::string error;
        EXPECT_FALSE(open(scene, state, error));
        EXPECT_EQ(error, c.line);
        EXPECT_FALSE(state.context.has_value()) << "the context is given back";
    }
}

TEST_F(OpenScene, AfterAFailureAnotherSceneOpensWithItsDocument) {
    Scene broken("open-broken");
    AppState state;
    std::string error;
    ASSERT_FALSE(open(broken, state, error));

    Scene scene("open-document");
    scene.writePicture(pictureFileName, greyPicture(32, 32));
    FlowDocument document;
    document.picture = greyPicture(20, 10);
    document.guides = {{2, 3, 8, 3}};
    document.phaseSpacing = 0.25f;
    scene.writeDocument(document);
    ASSERT_TRUE(open(scene, state, error)) << error;
    ASSERT_TRUE(state.context.has_value());
    EXPECT_EQ(state.picture.width, 20);
    EXPECT_EQ(state.flowGrid.height, 10);
    EXPECT_EQ(state.targets.picture.width(), 20);
    EXPECT_EQ(guideSegments.size(), 1u);
    EXPECT_TRUE(state.flowDirty);
    EXPECT_EQ(state.layerPhase[0], 0.5);
    EXPECT_EQ(state.layerPhase[1], 0.25);
    EXPECT_EQ(state.layerPhase[2], 0.0);
    EXPECT_EQ(state.sceneName, scene.dir().filename().string());
    shutDown(state);
    EXPECT_FALSE(state.context.has_value());
}

}  // namespace
