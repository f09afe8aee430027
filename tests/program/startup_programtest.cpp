// Start-up and shutdown of the real program, run offscreen.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

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

// True when `text` holds one of the phrases separated by '|' in `phrases`.
bool holdsOneOf(const std::string& text, const std::string& phrases) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t bar = phrases.find('|', from);
        if (text.find(phrases.substr(from, bar - from)) != std::string::npos) return true;
        if (bar == std::string::npos) return false;
        from = bar + 1;
    }
}

// A picture from elsewhere that is no picture, or one the decoder could
// never deliver, is refused before anything is read beyond its header: a
// FIFO would hang the start for ever, /dev/zero be read until memory runs
// out, a zero-filled PNG of 30000 x 30000 (6 MB) cost gigabytes first.
TEST(Startup, UnusableWorkingPictureStopsBeforeTheWindowWithOneLineAndCode1) {
    struct Case {
        const char* name;
        void (*prepare)(const Scene&);
        const char* reason;  // a phrase of the line; null: only the file's name
    };
    const Case cases[] = {
        {"missing", [](const Scene&) {}, nullptr},
        {"undecodable", [](const Scene& s) { s.writeFile(pictureFileName, "definitely not a picture"); }, nullptr},
        {"two-by-two", [](const Scene& s) { s.writePicture(pictureFileName, greyPicture(2, 2)); }, nullptr},
        {"FIFO", [](const Scene& s) { mkfifo((s.dir() / pictureFileName).c_str(), 0600); },
         "not a regular file but a FIFO"},
        {"device", [](const Scene& s) { std::filesystem::create_symlink("/dev/zero", s.dir() / pictureFileName); },
         "not a regular file but a device"},
        {"zero-filled beyond the decoder",
         [](const Scene& s) { s.writeFile(pictureFileName, zeroFilledPng(30000, 30000)); },
         "30000 x 30000 pixels, more than the 536 million the picture decoder takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("bad-picture-") + c.name);
        c.prepare(scene);
        const ProgramRun run = scene.run(64, 64, 3);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(pictureFileName), std::string::npos) << run.err;
        if (c.reason) {
            EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        }
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
        {"document-FIFO", [](const Scene& s) { mkfifo((s.dir() / flowDocumentFileName).c_str(), 0600); },
         "\"vorna2.flw\" is not used", "not a regular file but a FIFO"},
        {"document-with-more-guides-than-a-scene-holds",
         [](const Scene& s) {
             FlowDocument document;
             document.picture = greyPicture(32, 32);
             document.guides = {GuideSegment{1, 1, 2, 1}};
             s.writeDocument(document);
             const std::string bytes = s.readFile(flowDocumentFileName);
             // The count, then 4097 guides where the one was.
             const std::size_t countAt = 8 + 5 * 32 * 32;
             const std::string guide = bytes.substr(countAt + 4, 16);
             std::string many = bytes.substr(0, countAt) + std::string("\x01\x10\x00\x00", 4);
             for (int i = 0; i < 4097; ++i) many += guide;
             s.writeFile(flowDocumentFileName, many + bytes.substr(countAt + 4 + 16));
         },
         "\"vorna2.flw\" is not used", "it holds 4097 guides, more than the 4096 a scene may have"},
        {"overlay-beyond-every-gpu",
         [](const Scene& s) { s.writeFile(overlayFileName, pngHeaderOnly(40000, 4)); },
         "\"vorex.png\" is 40000 x 4 pixels", "it is not drawn"},
        // Decided with the GPU's own limit from the header, never decoded
        // first (a GPU that takes 32768 finds no picture data in it).
        {"overlay-beyond-this-gpu",
         [](const Scene& s) { s.writeFile(overlayFileName, pngHeaderOnly(16385, 16385)); },
         "\"vorex.png\" is ", "16385 x 16385 pixels, larger than the 16384 x 16384 this GPU takes|not a picture"},
        {"overlay-zero-filled-beyond-the-decoder",
         [](const Scene& s) { s.writeFile(overlayFileName, zeroFilledPng(25000, 25000)); },
         "\"vorex.png\" is 25000 x 25000 pixels", "it is not drawn"},
        {"overlay-undecodable", [](const Scene& s) { s.writeFile(overlayFileName, "not a picture"); },
         "\"vorex.png\" is not drawn", "not a picture that can be decoded"},
        {"overlay-FIFO", [](const Scene& s) { mkfifo((s.dir() / overlayFileName).c_str(), 0600); },
         "\"vorex.png\" is not drawn", "not a regular file but a FIFO"},
        {"music-folder",
         [](const Scene& s) { std::filesystem::create_directory(s.dir() / musicFileName); },
         "\"track.wav\" is not played", "not a regular file"},
        {"music-FIFO", [](const Scene& s) { mkfifo((s.dir() / musicFileName).c_str(), 0600); },
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
        EXPECT_TRUE(holdsOneOf(run.err, c.reason)) << run.err;
        EXPECT_EQ(countOccurrences(run.err, "\n"), 1) << run.err;
        const ImageGrid seen = scene.grab(3);
        ASSERT_EQ(seen.byteCount(), expected.byteCount());
        EXPECT_EQ(std::memcmp(seen.data(), expected.data(), seen.byteCount()), 0) << "frames differ from a plain run";
    }
}

// The mean of the red, green and blue bytes of a grab.
double meanLevel(const ImageGrid& picture) {
    double sum = 0.0;
    for (std::int64_t i = 0; i < picture.cellCount(); ++i) {
        const Rgba8 p = picture.data()[i];
        sum += p.r + p.g + p.b;
    }
    return sum / (3.0 * static_cast<double>(std::max<std::int64_t>(picture.cellCount(), 1)));
}

// A document from elsewhere with a guide out at infinity or 1e30, or a
// flowScale of 1e30, once turned the whole picture black for good. A guide
// that is not finite is left out with one line, so the run is the one
// without it; the others animate within what a frame can show.
TEST(Startup, DocumentsThatWouldTurnThePictureBlackStillShowIt) {
    const float inf = std::numeric_limits<float>::infinity();
    const GuideSegment sane{10, 10, 16, 12};
    struct Case {
        const char* name;
        std::vector<GuideSegment> guides;
        float flowScale;
        const char* line;  // the one line on standard error; null: none
    };
    const Case cases[] = {
        {"infinite coordinate", {sane, GuideSegment{30, 20, inf, 25}}, kDefaultFlowScale,
         "stillflow: \"vorna2.flw\": 1 guide with a coordinate that is not a finite number is left out\n"},
        {"coordinate 1e30", {sane, GuideSegment{30, 20, 1e30f, 25}}, kDefaultFlowScale, nullptr},
        {"flowScale 1e30", {sane}, 1e30f, nullptr},
    };
    const ImageGrid picture = greyPicture(48, 32);
    auto runDocument = [&picture](Scene& scene, const std::vector<GuideSegment>& guides, float flowScale) {
        FlowDocument document;
        document.picture = picture;
        document.guides = guides;
        document.flowScale = flowScale;
        scene.writePicture(pictureFileName, picture);
        scene.writeDocument(document);
        scene.writeScript("0 keydown P\n1 keyup P\n");  // no particles over the picture
        return scene.run(48, 32, 12);
    };
    Scene plain("finite-guides-only");
    ASSERT_EQ(runDocument(plain, {sane}, kDefaultFlowScale).exitCode, 0);
    const ImageGrid finiteOnly = plain.grab(11);
    ASSERT_FALSE(finiteOnly.empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("black-") + c.name);
        const ProgramRun run = runDocument(scene, c.guides, c.flowScale);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, c.line ? c.line : "");
        for (int frame : {3, 11}) {
            const ImageGrid seen = scene.grab(frame);
            ASSERT_FALSE(seen.empty());
            EXPECT_GT(meanLevel(seen), 0.25 * meanLevel(picture)) << "frame " << frame << " is (nearly) black";
        }
        if (c.line) {
            const ImageGrid seen = scene.grab(11);
            ASSERT_EQ(seen.byteCount(), finiteOnly.byteCount());
            EXPECT_EQ(std::memcmp(seen.data(), finiteOnly.data(), seen.byteCount()), 0);
        }
    }
}

// A phase spacing a document may hold but the window cannot show as a loop
// (a layer cycle of 3 ms flickers, one of four hours never loops while
// watched) runs at the nearest bound, after one line naming the document's
// value: the run is the one of a document with that bound.
TEST(Startup, APhaseSpacingTheWindowCannotShowRunsAtTheNearestBoundWithOneLine) {
    struct Case {
        float spacing;
        float shown;
        const char* line;
    };
    const Case cases[] = {
        {0.001f, 0.05f,
         "stillflow: \"vorna2.flw\" has a phase spacing of 0.001 s, shorter than the 0.05 s the window shows as a "
         "loop; it runs at 0.05 s\n"},
        {5000.0f, 60.0f,
         "stillflow: \"vorna2.flw\" has a phase spacing of 5000 s, longer than the 60 s the window shows as a loop; "
         "it runs at 60 s\n"},
    };
    auto runSpacing = [](const std::string& name, float spacing, ProgramRun& run) {
        Scene scene(name);
        FlowDocument document;
        document.picture = greyPicture(40, 24);
        document.guides = {GuideSegment{5, 5, 9, 7}};
        document.phaseSpacing = spacing;
        scene.writePicture(pictureFileName, document.picture);
        scene.writeDocument(document);
        run = scene.run(40, 24, 20, "-frame-time 0.02");
        return scene.grab(19);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spacing);
        ProgramRun run;
        const ImageGrid seen = runSpacing("spacing-absurd", c.spacing, run);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, c.line);
        ProgramRun boundRun;
        const ImageGrid expected = runSpacing("spacing-bound", c.shown, boundRun);
        EXPECT_EQ(boundRun.err, "");
        ASSERT_FALSE(seen.empty());
        ASSERT_EQ(seen.byteCount(), expected.byteCount());
        EXPECT_EQ(std::memcmp(seen.data(), expected.data(), seen.byteCount()), 0);
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
