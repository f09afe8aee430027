// The offscreen backend's frame cycle: scripted input, the virtual clock,
// -frames and -grab, seen through the queries and files the program sees.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "platform/gui.h"
#include "platform/perf_counter.h"
#include "support/gl_test.h"
#include "support/scratch_folder.h"

namespace {
// Restarts the offscreen session with extra options; the test main's
// 64x64 session comes back afterwards for the tests that follow.
class OffscreenSession : public ::testing::Test {
protected:
    static void restart(std::vector<std::string> options) {
        std::vector<std::string> words = {"gltest", "-platform", "offscreen"};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(words.size());
        storage_ = std::move(words);
        std::string error;
        if (!guiInit(argc, argv.data(), error)) ADD_FAILURE() << error;
        glTestContext().makeCurrent();
    }
    void TearDown() override { restart({"-size", "64x64"}); }

    static std::string writeScript(const std::string& name, const std::string& text) {
        const std::string path = ::testing::TempDir() + name;
        std::ofstream(path) << text;
        return path;
    }

    static std::vector<std::string> storage_;   // argv strings stay alive
};
std::vector<std::string> OffscreenSession::storage_;

std::int64_t counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}
}  // namespace

TEST_F(OffscreenSession, ScriptedEventsAreTheInputOfTheirFrame) {
    restart({"-size", "200x100", "-script",
             writeScript("session_script.txt",
                         "0 move 10 20\n"
                         "1 press left   # drag starts\n"
                         "1 keydown Home\n"
                         "2 move 30 40\n"
                         "3 release left\n"
                         "3 wheel 120\n3 wheel 240\n"
                         "4 press right\n4 release right\n"
                         "6 keydown Escape\n")});
    struct Frame {
        int x, y;
        bool leftDown, leftHeld, leftUp, rightHeld, rightUp, homeDown, homeHeld, escapeHeld;
        int wheel;
    };
    const Frame frames[] = {
        {10, 20, false, false, false, false, false, false, false, false, 0},
        {10, 20, true, true, false, false, false, true, true, false, 0},
        {30, 40, false, true, false, false, false, false, true, false, 0},
        {30, 40, false, false, true, false, false, false, true, false, 360},
        {30, 40, false, false, false, true, false, false, true, false, 0},
        {30, 40, false, false, false, false, true, false, true, false, 0},
        {30, 40, false, false, false, false, false, false, true, true, 0},
    };
    for (std::size_t f = 0; f < std::size(frames); ++f) {
        const Frame& x = frames[f];
        SCOPED_TRACE("frame " + std::to_string(f));
        EXPECT_EQ(widgetWidth(), 200);
        EXPECT_EQ(widgetHeight(), 100);
        EXPECT_EQ(mouseX(), x.x);
        EXPECT_EQ(mouseY(), x.y);
        EXPECT_EQ(mouseDown(MouseButton::Left), x.leftDown);
        EXPECT_EQ(mousePressed(MouseButton::Left), x.leftHeld);
        EXPECT_EQ(mouseUp(MouseButton::Left), x.leftUp);
        EXPECT_EQ(mousePressed(MouseButton::Right), x.rightHeld);
        EXPECT_EQ(mouseUp(MouseButton::Right), x.rightUp);
        EXPECT_EQ(keyDown(Key::Home), x.homeDown);
        EXPECT_EQ(keyPressed(Key::Home), x.homeHeld);
        EXPECT_EQ(keyPressed(Key::Escape), x.escapeHeld);
        EXPECT_EQ(mouseWheelDelta(), x.wheel);
        EXPECT_FALSE(windowCloseRequest());
        guiUpdate(false);
    }
}

TEST_F(OffscreenSession, ClockStandsStillUntilTheFirstUpdateThenStepsOneFrameTimeEach) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    // The program starts its clock before guiStart; from that reading on the
    // offscreen clock must not move until the first frame has ended.
    const std::int64_t start = counter();
    restart({"-frame-time", "0.25"});
    EXPECT_EQ(counter(), start);
    EXPECT_EQ(counter(), start);
    for (int frame = 1; frame <= 3; ++frame) {
        guiUpdate(false);
        EXPECT_EQ(counter() - start, frame * 250000000LL);
    }
    const std::int64_t before = counter();
    restart({});
    guiUpdate(false);
    EXPECT_EQ(counter() - before, 16666667) << "default frame time is 1/60 s";
}

TEST_F(OffscreenSession, FramesOptionAndCloseEventRequestClosing) {
    restart({"-frames", "2"});
    EXPECT_FALSE(windowCloseRequest());
    guiUpdate(false);
    EXPECT_FALSE(windowCloseRequest());
    guiUpdate(false);
    EXPECT_TRUE(windowCloseRequest());

    restart({"-frames", "0"});
    EXPECT_TRUE(windowCloseRequest()) << "frame 0 is the first frame after guiStart";

    restart({"-script", writeScript("close_script.txt", "1 close\n")});
    EXPECT_FALSE(windowCloseRequest());
    guiUpdate(false);
    EXPECT_TRUE(windowCloseRequest());
}

TEST_F(OffscreenSession, GrabWritesEachFrameAsAnRgbaPngTopRowFirst) {
    const ScratchFolder grabs("stillflow-grab-test");
    const std::string dir = grabs.path().string();
    restart({"-size", "48x32", "-grab", dir});

    // Frame 0: blue, with the top 8 rows red (GL's y runs upwards).
    GLWidgetBegin(2, &glTestContext(), Opts().showFrame(false));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, widgetWidth(), widgetHeight());
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 24, 48, 8);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    // The grab must read framebuffer 0 whatever the program left bound.
    GLuint other = 0;
    glGenFramebuffers(1, &other);
    glBindFramebuffer(GL_FRAMEBUFFER, other);
    GLWidgetEnd();
    guiUpdate(false);
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), other) << "the grab leaves the bindings as they were";
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &other);

    // Frame 1: cleared to green.
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    guiUpdate(false);

    int w = 0, h = 0, channels = 0;
    unsigned char* first = stbi_load((dir + "/frame-00000.png").c_str(), &w, &h, &channels, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(channels, 4);
    const auto pixel = [&](unsigned char* p, int x, int y) { return p + (y * w + x) * 4; };
    EXPECT_EQ(pixel(first, 0, 0)[0], 255) << "top row is red";
    EXPECT_EQ(pixel(first, 0, 0)[2], 0);
    EXPECT_EQ(pixel(first, 47, 31)[2], 255) << "bottom row is blue";
    EXPECT_EQ(pixel(first, 47, 31)[3], 255);
    stbi_image_free(first);

    unsigned char* second = stbi_load((dir + "/frame-00001.png").c_str(), &w, &h, &channels, 4);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(pixel(second, 20, 20)[1], 255);
    stbi_image_free(second);
}

// A grab that cannot be written ends nothing: the failure is kept, every
// later frame starts with a close request, and a new session starts clean.
TEST_F(OffscreenSession, AGrabThatCannotBeWrittenClosesTheRunAndSaysWhy) {
    const ScratchFolder grabs("stillflow-grab-fails");
    std::filesystem::create_directory(grabs.path() / "frame-00001.png");  // taken by a folder
    restart({"-size", "16x16", "-grab", grabs.path().string()});
    GLWidgetBegin(2, &glTestContext(), Opts().showFrame(false));
    GLWidgetEnd();
    guiUpdate(false);
    EXPECT_TRUE(guiFailure().empty()) << guiFailure();
    EXPECT_FALSE(windowCloseRequest());

    guiUpdate(false);
    EXPECT_EQ(guiFailure(), "cannot write grab '" + (grabs.path() / "frame-00001.png").string() + "'");
    EXPECT_TRUE(windowCloseRequest());
    guiUpdate(false);
    EXPECT_TRUE(windowCloseRequest()) << "the close request stays";

    restart({"-size", "16x16"});
    EXPECT_TRUE(guiFailure().empty());
    EXPECT_FALSE(windowCloseRequest());
}

// -size is checked against a guess when it is read, and against the GPU's
// own figure once a context is made current on it: a larger target is
// refused with one line, and the context stays current on the old one.
TEST_F(OffscreenSession, ATargetWiderThanTheGpuDrawsIsRefusedAndTheOldOneStays) {
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    const int largest = std::min(viewport[0], viewport[1]);
    restart({"-size", "48x32"});
    restart({"-size", std::to_string(largest + 1) + "x16"});
    EXPECT_EQ(guiFailure(), "-size " + std::to_string(largest + 1) + "x16 is larger than the " +
                                std::to_string(largest) + " x " + std::to_string(largest) + " this GPU draws");
    EXPECT_NE(glGetString(GL_VERSION), nullptr) << "the context is still current";
    guiUpdate(false);
    EXPECT_TRUE(windowCloseRequest());
}
