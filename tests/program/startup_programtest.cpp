// Start-up and shutdown of the real program, run offscreen.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "flow/scene_files.h"
#include "support/picture_headers.h"
#include "support/pictures.h"
#include "support/scene.h"

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

TEST(Startup, HelpPrintsTheControlsAndOptionsAndTouchesNothing) {
    // A folder without a picture: any start-up would stop with code 1.
    Scene scene("help");
    const ProgramRun run = scene.run(64, 64, 3, "--help");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* mention : {"Ctrl+Shift+Z", "undo the last edit", "-platform offscreen", "-frame-time S"}) {
        EXPECT_NE(run.out.find(mention), std::string::npos) << mention;
    }
    EXPECT_TRUE(scene.grab(0).empty());
    EXPECT_FALSE(scene.exists(flowDocumentFileName));
}

TEST(Startup, UnusableWorkingPictureStopsBeforeTheWindowWithOneLineAndCode1) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
    };
    const Case cases[] = {
        {"missing", [](const Scene&) {}},
        {"undecodable", [](const Scene& s) { s.writeFile(pictureFileName, "definitely not a picture"); }},
        {"two-by-two", [](const Scene& s) { s.writePicture(pictureFileName, greyPicture(2, 2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("bad-picture-") + c.name);
        c.prepare(scene);
        const ProgramRun run = scene.run(64, 64, 3);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(pictureFileName), std::string::npos) << run.err;
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(scene.grab(0).empty());
    }
}

TEST(Startup, AShaderFileThatDoesNotBuildEndsWithCode1AndOneLineNamingIt) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
    };
    const Case cases[] = {
        {"missing", [](const Scene& s) { s.remove(advectFragmentFileName); }},
        {"empty", [](const Scene& s) { s.writeFile(advectFragmentFileName, ""); }},
        {"not-compiling",
         [](const Scene& s) { s.writeFile(advectFragmentFileName, "#version 130\nvoid main() { gl_FragColor = nothing; }\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("shader-") + c.name);
        scene.writePicture(pictureFileName, greyPicture(32, 32));
        c.prepare(scene);
        const ProgramRun run = scene.run(64, 64, 5);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(scene.grab(0).empty());
        // The driver's logs stay on standard output; the one line on stderr
        // names the file.
        EXPECT_FALSE(run.out.empty());
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        EXPECT_EQ(run.err.rfind("stillflow: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\"advect.frag\""), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(passVertexFileName), std::string::npos) << run.err;
    }
}

TEST(Startup, WithoutDocumentNothingIsPrintedAndTheRunEndsWithCode0) {
    Scene scene("no-document");
    scene.writePicture(pictureFileName, greyPicture(32, 32));
    const ProgramRun run = scene.run(64, 64, 5);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(scene.grab(4).empty());
    EXPECT_TRUE(scene.grab(5).empty()) << "the close request of -frames 5 ends the loop in frame 5";
}

TEST(Startup, DocumentIsSynthesisedOnceInTheFirstFrame) {
    Scene scene("document");
    scene.writePicture(pictureFileName, greyPicture(32, 32));
    FlowDocument document;
    document.picture = greyPicture(40, 24);
    document.mask = ByteMask(40, 24);
    document.guides = {GuideSegment{5, 5, 9, 5}};
    scene.writeDocument(document);
    const ProgramRun run = scene.run(40, 24, 6);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "flow dirty 0.000000\n");
}

TEST(Startup, WorkingPictureBeyondEveryGpuIsNamedWithItsSizeAndTheLimit) {
    Scene scene("huge-picture");
    scene.writeFile(pictureFileName, pngHeaderOnly(40000, 4));
    const ProgramRun run = scene.run(64, 64, 3);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "stillflow: \"vornapozadi.png\" is 40000 x 4 pixels, larger than the 32768 x 32768 any GPU takes\n");
}

// Optional inputs that are there but unusable: the run goes on as without
// them (the same frames, nothing on standard output) and one line on
// standard error names the file and why.
TEST(Startup, UnusableOptionalInputsAreLeftOutWithOneLineEach) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
        const char* file;
        const char* reason;
    };
    const Case cases[] = {
        {"damaged-document",
         [](const Scene& s) { s.writeFile(flowDocumentFileName, std::string("\x03\x00\x00\x00\x03\x00\x00", 7)); },
         "\"vorna2.flw\" is not used", "shorter than the 8 bytes"},
        {"document-folder",
         [](const Scene& s) { std::filesystem::create_directory(s.dir() / flowDocumentFileName); },
         "\"vorna2.flw\" is not used", "not a regular file"},
        {"document-picture-beyond-the-gpu",
         [](const Scene& s) {
             FlowDocument document;
             document.picture = greyPicture(32769, 3);
             document.guides = {GuideSegment{1, 1, 2, 1}};
             s.writeDocument(document);
         },
         "\"vorna2.flw\" is not used", "its picture is 32769 x 3 pixels, larger than"},
        {"overlay-beyond-every-gpu",
         [](const Scene& s) { s.writeFile(overlayFileName, pngHeaderOnly(40000, 4)); },
         "\"vorex.png\" is 40000 x 4 pixels", "it is not drawn"},
        {"music-folder",
         [](const Scene& s) { std::filesystem::create_directory(s.dir() / musicFileName); },
         "\"track.wav\" is not played", "not a regular file"},
    };
    Scene plain("plain-inputs");
    plain.writePicture(pictureFileName, greyPicture(32, 32));
    ASSERT_EQ(plain.run(48, 40, 4).exitCode, 0);
    const ImageGrid expected = plain.grab(3);
    ASSERT_FALSE(expected.empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("unusable-") + c.name);
        scene.writePicture(pictureFileName, greyPicture(32, 32));
        c.prepare(scene);
        const ProgramRun run = scene.run(48, 40, 4);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind(std::string("stillflow: ") + c.file, 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        const ImageGrid seen = scene.grab(3);
        ASSERT_EQ(seen.byteCount(), expected.byteCount());
        EXPECT_EQ(std::memcmp(seen.data(), expected.data(), seen.byteCount()), 0) << "frames differ from a plain run";
    }
}

TEST(Startup, OffscreenRunsRepeatExactly) {
    Scene scene("repeat");
    FlowDocument document;
    document.picture = greyPicture(48, 32);
    document.mask = ByteMask(48, 32);
    document.guides = {GuideSegment{10, 10, 16, 12}, GuideSegment{30, 20, 28, 26}};
    scene.writePicture(pictureFileName, document.picture);
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
