// Directing the motion in the real program, offscreen: the freeze holds the
// painted part of the picture still in the window and in the export, the
// keys step speed, loop length and brush size within their bounds as steps
// of the history, what is saved starts again as it was, and a new loop
// length goes on without a jump.
//
// The picture is opaque and every pixel differs from its neighbours, in a
// widget of its own size: from frame 3 on (the fit) window and picture
// pixels coincide, so a pixel that moved shows. P hides the particles.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/motion_steps.h"
#include "flow/scene_files.h"
#include "image/loading.h"
#include "support/pictures.h"
#include "support/scene.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

constexpr int width = 96;
constexpr int height = 64;
// The mask holds the columns left of this still.
constexpr int paintedColumns = 48;

ImageGrid texturedPicture() {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 37 + y * 11), static_cast<std::uint8_t>(y * 53 + x * 5),
                     static_cast<std::uint8_t>((x * y * 29) ^ 0x5a), 255};
    });
}

// The textured picture, its left half painted to 255, one guide in the right
// half: the whole picture flows right and a little down, unless frozen.
FlowDocument halfPaintedDocument(bool freeze) {
    FlowDocument document;
    document.picture = texturedPicture();
    document.mask = ByteMask(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < paintedColumns; ++x) document.mask.at(x, y) = 255;
    document.guides = {{70, 32, 80, 36}};
    document.settings.freeze = freeze;
    return document;
}

// Pixels of the columns [x0, x1) that differ from the picture.
int pixelsMoved(const ImageGrid& grab, const ImageGrid& picture, int x0, int x1) {
    if (grab.width != picture.width || grab.height != picture.height) return -1;
    int moved = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = x0; x < x1; ++x) {
            const Rgba8 a = grab.at(x, y), b = picture.at(x, y);
            moved += a.r != b.r || a.g != b.g || a.b != b.b;
        }
    }
    return moved;
}

// One press of each key, a frame each, from frame `first` on.
std::string presses(int first, const std::vector<std::string>& keys) {
    std::string script;
    int frame = first;
    for (const std::string& key : keys) {
        script += std::to_string(frame) + " keydown " + key + "\n" + std::to_string(frame) + " keyup " + key + "\n";
        ++frame;
    }
    return script;
}

std::vector<std::string> repeated(const std::string& key, int count) {
    return std::vector<std::string>(static_cast<std::size_t>(count), key);
}

// Ctrl with a letter at frame f (Ctrl down first, the letter let go first).
std::string chord(int f, const char* letter) {
    return std::to_string(f) + " keydown Ctrl\n" + std::to_string(f + 1) + " keydown " + letter + "\n" +
           std::to_string(f + 2) + " keyup " + letter + "\n" + std::to_string(f + 2) + " keyup Ctrl\n";
}

const char* const hideParticles = "0 keydown P\n1 keyup P\n";

FlowDocument savedDocument(const Scene& scene) {
    const std::string bytes = scene.readFile(flowDocumentFileName);
    FlowDocument document;
    EXPECT_TRUE(decodeFlowDocument(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &document));
    return document;
}

int countLines(const std::string& text, const std::string& start) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, start.size(), start) == 0) ++count;
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return count;
}

TEST(Motion, TheFreezeHoldsThePaintedHalfStillAndTheRestMoves) {
    const ImageGrid picture = texturedPicture();
    const struct {
        const char* name;
        bool savedFrozen;   // the document's settings block has the freeze on
        std::string keys;   // what the script presses besides P
        int stillFrom;      // frames from here on show the painted half still; -1: never
        int movingAt;       // a frame in which the painted half has moved; -1: none
    } cases[] = {
        {"saved with the freeze on", true, "", 3, -1},
        {"no settings block", false, "", -1, 39},
        // K at frame 10 (t = 0.5 s). A document's phases (1, 0.5, 0) reset
        // the layers at 1.5, 2 and 2.5 s: from frame 50 on every layer has
        // been reset since (or weighs nothing).
        {"K during the run", false, presses(10, {"K"}), 50, 9},
        {"K during a run saved frozen", true, presses(10, {"K"}), -1, 59},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("freeze-") + (c.savedFrozen ? "saved-" : "") + std::to_string(c.keys.size()));
        scene.writePicture(pictureFileName, picture);
        scene.writeDocument(halfPaintedDocument(c.savedFrozen));
        scene.writeScript(hideParticles + c.keys);
        const ProgramRun run = scene.run(width, height, 60, "-frame-time 0.05");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(countLines(run.out, "flow dirty "), c.keys.empty() ? 1 : 2) << run.out;
        if (c.stillFrom >= 0) {
            for (int frame = c.stillFrom; frame < 60; ++frame) {
                ASSERT_EQ(pixelsMoved(scene.grab(frame), picture, 0, paintedColumns), 0) << "frame " << frame;
            }
        }
        if (c.movingAt >= 0) {
            EXPECT_GT(pixelsMoved(scene.grab(c.movingAt), picture, 0, paintedColumns), 500) << c.movingAt;
        }
        // The unpainted half flows in every case.
        EXPECT_GT(pixelsMoved(scene.grab(59), picture, paintedColumns + 4, width), 500);
    }
}

// The export renders what was saved: the document's freeze included.
TEST(Motion, TheExportHoldsThePaintedHalfOfAFrozenDocumentStill) {
    const ImageGrid picture = texturedPicture();
    Scene scene("freeze-export");
    scene.writePicture(pictureFileName, picture);
    scene.writeDocument(halfPaintedDocument(true));
    const std::string command = "cd '" + scene.dir().string() + "' && '" + STILLFLOW_EXPORT_BINARY +
                                "' -q --fps 10 --seconds 1 'frame-%02d.png' >export-out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << scene.readFile("export-out.txt");
    for (int frame = 0; frame < 10; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%02d.png", frame);
        const ImageGrid exported = loadImage((scene.dir() / name).string().c_str());
        ASSERT_EQ(pixelsMoved(exported, picture, 0, paintedColumns), 0) << name;
        EXPECT_GT(pixelsMoved(exported, picture, paintedColumns + 4, width), 500) << name;
    }
}

// Speed, loop length and brush size: each press one step of the history,
// presses beyond a bound no step, undo and redo across them, all saved.
TEST(Motion, KeysStepSpeedLoopLengthAndBrushWithinTheirBoundsAsStepsOfTheHistory) {
    const float lowestSpacing = loopLengthLadder[0];
    const struct {
        const char* name;
        std::string script;
        int flowLines;  // syntheses: each speed step, K, and their undos and redos
        float flowScale;
        float phaseSpacing;
        DocumentSettings settings;
    } cases[] = {
        {"steps, undo and redo",
         presses(4, {"Equals", "Equals", "Equals", "Minus", "Period", "Period", "Comma", "RightBracket",
                     "RightBracket", "LeftBracket", "K"}) +
             chord(20, "Z") + chord(24, "Z") + chord(28, "Y") + chord(32, "S"),
         4 + 1 + 1,
         kDefaultFlowScale * 1.25f * 1.25f,
         0.7f,
         {false, 8.0f}},
        // 3 of the 12 presses of "," and 31 of the 40 of "=" are steps; the
        // one undo takes back the last step of "[", not a press at a bound.
        {"bounds",
         presses(4, repeated("Comma", 12)) + presses(20, repeated("Equals", 40)) +
             presses(64, repeated("LeftBracket", 5)) + chord(72, "Z") + chord(76, "S"),
         31,
         kDefaultFlowScale * kSpeedRange,
         lowestSpacing,
         {false, 2.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("motion-keys-") + c.name);
        scene.writePicture(pictureFileName, texturedPicture());
        scene.writeScript(c.script);
        const ProgramRun run = scene.run(width, height, 82);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(countLines(run.out, "flow dirty "), c.flowLines) << run.out;
        EXPECT_NE(run.out.find("saved vorna2.flw (0 guides)\n"), std::string::npos) << run.out;
        const FlowDocument saved = savedDocument(scene);
        EXPECT_FLOAT_EQ(saved.flowScale, c.flowScale);
        EXPECT_EQ(saved.phaseSpacing, c.phaseSpacing);
        EXPECT_EQ(saved.settings.freeze, c.settings.freeze);
        EXPECT_EQ(saved.settings.brushRadius, c.settings.brushRadius);
    }
}

// With the freeze on, a finished stroke synthesises the flow again, and so
// do its undo and redo; the stroke is as wide as the radius set with ].
TEST(Motion, AStrokeWhileFrozenSynthesisesTheFlowAgainAndSoDoItsUndoAndRedo) {
    Scene scene("motion-frozen-stroke");
    scene.writePicture(pictureFileName, texturedPicture());
    scene.writeScript(presses(2, {"K", "RightBracket", "RightBracket"}) +
                      "6 keydown X\n7 move 20 32\n8 press left\n9 move 70 32\n10 release left\n11 keyup X\n" +
                      chord(13, "Z") + chord(17, "Y") + chord(21, "S"));
    const ProgramRun run = scene.run(width, height, 26);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // K, the stroke's release, its undo, its redo.
    EXPECT_EQ(countLines(run.out, "flow dirty "), 4) << run.out;
    const FlowDocument saved = savedDocument(scene);
    EXPECT_TRUE(saved.settings.freeze);
    EXPECT_EQ(saved.settings.brushRadius, 16.0f);
    // Ten pixels from the stroke's line a 16-pixel brush paints nearly
    // fully; a 4-pixel brush would leave them nearly unpainted (below 10).
    EXPECT_GE(saved.mask.at(45, 42), 250);
    EXPECT_GE(saved.mask.at(45, 22), 250);
}

// What the keys set and Ctrl+S saved is what the next start runs with: its
// frames are those of a document written with the same values.
TEST(Motion, WhatWasSavedStartsAgainAsADocumentWithThoseValues) {
    Scene edited("motion-restart");
    edited.writePicture(pictureFileName, texturedPicture());
    edited.writeDocument(halfPaintedDocument(false));
    edited.writeScript(presses(4, {"K", "Equals", "Period", "RightBracket"}) + chord(10, "S"));
    const ProgramRun first = edited.run(width, height, 14);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const FlowDocument saved = savedDocument(edited);
    EXPECT_TRUE(saved.settings.freeze);
    EXPECT_EQ(saved.settings.brushRadius, 8.0f);
    EXPECT_EQ(saved.phaseSpacing, 0.7f);

    FlowDocument expected = halfPaintedDocument(true);
    expected.flowScale = kDefaultFlowScale * 1.25f;
    expected.phaseSpacing = 0.7f;
    expected.settings.brushRadius = 8.0f;
    Scene reference("motion-restart-reference");
    reference.writePicture(pictureFileName, texturedPicture());
    reference.writeDocument(expected);

    edited.remove("input.txt");
    const ProgramRun again = edited.run(width, height, 40, "-frame-time 0.05");
    const ProgramRun written = reference.run(width, height, 40, "-frame-time 0.05");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(again.out, written.out);
    for (int frame = 0; frame < 40; frame += 3) {
        const ImageGrid a = edited.grab(frame);
        const ImageGrid b = reference.grab(frame);
        ASSERT_EQ(a.byteCount(), b.byteCount());
        EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.byteCount())) << "frame " << frame;
    }
}

// Mean absolute difference of two grabs, per channel value.
double meanDifference(const ImageGrid& a, const ImageGrid& b) {
    double sum = 0.0;
    for (std::int64_t i = 0; i < a.cellCount(); ++i) {
        sum += std::abs(a.data()[i].r - b.data()[i].r) + std::abs(a.data()[i].g - b.data()[i].g) +
               std::abs(a.data()[i].b - b.data()[i].b);
    }
    return sum / (3.0 * static_cast<double>(a.cellCount()));
}

// A new loop length goes on from the frame shown: the step from the frame
// before the press to the frame of the press is no larger than the step
// before it, and none after it is larger than the ordinary steps before
// (the layers fade over to the new length as at any reset).
TEST(Motion, ANewLoopLengthGoesOnWithoutAJump) {
    const ImageGrid picture = makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(128 + 100 * std::sin(x * 0.3)),
                     static_cast<std::uint8_t>(128 + 100 * std::sin(y * 0.4)), 90, 255};
    });
    for (const char* key : {"Period", "Comma"}) {
        SCOPED_TRACE(key);
        Scene scene(std::string("loop-length-") + key);
        scene.writePicture(pictureFileName, picture);
        FlowDocument document = halfPaintedDocument(false);
        document.picture = picture;
        scene.writeDocument(document);
        const int change = 50;
        scene.writeScript(hideParticles + presses(change, {key, key}));
        const ProgramRun run = scene.run(width, height, 80, "-frame-time 0.05");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        double ordinary = 0.0;
        for (int frame = 10; frame < change; ++frame) {
            ordinary = std::max(ordinary, meanDifference(scene.grab(frame - 1), scene.grab(frame)));
        }
        ASSERT_GT(ordinary, 0.0) << "the picture moves";
        const double before = meanDifference(scene.grab(change - 2), scene.grab(change - 1));
        EXPECT_LE(meanDifference(scene.grab(change - 1), scene.grab(change)), 1.5 * before);
        for (int frame = change; frame < 80; ++frame) {
            EXPECT_LE(meanDifference(scene.grab(frame - 1), scene.grab(frame)), 1.5 * ordinary) << "frame " << frame;
        }
    }
}

}  // namespace
