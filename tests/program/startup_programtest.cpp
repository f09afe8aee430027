// Start-up and shutdown of the real program, run offscreen.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "program/program_runner.h"

namespace {

ImageGrid greyPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 3), 90, 255};
    });
}

int countOccurrences(const std::string& text, const std::string& word) {
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
    return count;
}

TEST(Startup, UnusableWorkingPictureStopsBeforeTheWindowWithOneLineAndCode1) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
    };
    const Case cases[] = {
        {"missing", [](const Scene&) {}},
        {"undecodable", [](const Scene& s) { s.writeFile("vornapozadi.png", "definitely not a picture"); }},
        {"two-by-two", [](const Scene& s) { s.writePicture("vornapozadi.png", greyPicture(2, 2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("bad-picture-") + c.name);
        c.prepare(scene);
        const ProgramRun run = scene.run(64, 64, 3);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("vornapozadi.png"), std::string::npos) << run.err;
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(scene.grab(0).empty());
    }
}

TEST(Startup, MissingOrEmptyShaderFileEndsWithCode1AndOneLineNamingIt) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
    };
    const Case cases[] = {
        {"missing", [](const Scene& s) { s.remove("advect.frag"); }},
        {"empty", [](const Scene& s) { s.writeFile("advect.frag", ""); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("shader-") + c.name);
        scene.writePicture("vornapozadi.png", greyPicture(32, 32));
        c.prepare(scene);
        const ProgramRun run = scene.run(64, 64, 5);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(scene.grab(0).empty());
        // The driver's logs stay on standard output; the one line on stderr
        // names the file.
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        EXPECT_NE(run.err.find("\"advect.frag\""), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("pass.vert"), std::string::npos) << run.err;
    }
}

TEST(Startup, WithoutDocumentNothingIsPrintedAndTheRunEndsWithCode0) {
    Scene scene("no-document");
    scene.writePicture("vornapozadi.png", greyPicture(32, 32));
    const ProgramRun run = scene.run(64, 64, 5);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(scene.grab(4).empty());
    EXPECT_TRUE(scene.grab(5).empty()) << "the close request of -frames 5 ends the loop in frame 5";
}

TEST(Startup, DocumentIsSynthesisedOnceInTheFirstFrame) {
    Scene scene("document");
    scene.writePicture("vornapozadi.png", greyPicture(32, 32));
    FlowDocument document;
    document.picture = greyPicture(40, 24);
    document.mask = ByteMask(40, 24);
    document.guides = {GuideSegment{5, 5, 9, 5}};
    scene.writeDocument(document);
    const ProgramRun run = scene.run(40, 24, 6);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "flow dirty 0.000000\n");
}

TEST(Startup, DamagedDocumentIsIgnoredSilently) {
    Scene scene("damaged-document");
    scene.writePicture("vornapozadi.png", greyPicture(32, 32));
    scene.writeFile("vorna2.flw", std::string("\x03\x00\x00\x00\x03\x00\x00", 7));
    const ProgramRun run = scene.run(64, 64, 4);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

TEST(Startup, OffscreenRunsRepeatExactly) {
    Scene scene("repeat");
    FlowDocument document;
    document.picture = greyPicture(48, 32);
    document.mask = ByteMask(48, 32);
    document.guides = {GuideSegment{10, 10, 16, 12}, GuideSegment{30, 20, 28, 26}};
    scene.writePicture("vornapozadi.png", document.picture);
    scene.writeDocument(document);
    scene.run(48, 32, 12);
    const ImageGrid first = scene.grab(11);
    scene.run(48, 32, 12);
    const ImageGrid second = scene.grab(11);
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.byteCount(), second.byteCount());
    EXPECT_EQ(std::memcmp(first.data(), second.data(), first.byteCount()), 0);
}

}  // namespace
