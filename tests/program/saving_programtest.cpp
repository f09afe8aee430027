// Saving the working state with Ctrl+S, in the real program offscreen: what
// is saved reads back the same at the next start, nothing is written without
// Ctrl+S, and a failed save leaves the old document as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"
#include "support/scratch_folder.h"

namespace {

constexpr int width = 96;
constexpr int height = 64;

// Ctrl+S at frame f (Ctrl down first, S let go first).
std::string ctrlS(int f) {
    return std::to_string(f) + " keydown Ctrl\n" + std::to_string(f + 1) + " keydown s\n" +
           std::to_string(f + 2) + " keyup S\n" + std::to_string(f + 2) + " keyup ctrl\n";
}

// Two guides drawn with the mouse, the first released at frame 10, the
// second at 16.
const char* const twoGuides =
    "5 move 20 20\n6 press left\n8 move 40 30\n10 release left\n"
    "12 move 70 40\n13 press left\n14 move 60 50\n16 release left\n";

ImageGrid stripes() {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 3), 40, 255};
    });
}

// Names in the scene folder that start with a dot: a temporary the writer
// left behind (there must never be one).
std::vector<std::string> hiddenFiles(const Scene& scene) {
    std::vector<std::string> names;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(scene.dir())) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') names.push_back(name);
    }
    return names;
}

FlowDocument decode(const std::string& bytes) {
    FlowDocument document;
    EXPECT_TRUE(decodeFlowDocument(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &document));
    return document;
}

TEST(Saving, WhatCtrlSSavesReadsBackBitForBitAtTheNextStart) {
    Scene scene("save-restart");
    const ImageGrid picture = stripes();
    scene.writePicture(pictureFileName, picture);

    // 1. Draw two guides, save.
    scene.writeScript(std::string(twoGuides) + ctrlS(20));
    ProgramRun run = scene.run(width, height, 26);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("saved vorna2.flw (2 guides)\n"), std::string::npos) << run.out;
    const std::string saved = scene.readFile(flowDocumentFileName);
    const FlowDocument document = decode(saved);
    ASSERT_EQ(document.picture.width, width);
    EXPECT_EQ(0, std::memcmp(document.picture.data(), picture.data(), picture.byteCount()));
    ASSERT_EQ(document.guides.size(), 2u);
    // Window and picture pixels coincide from the fit in frame 3 on.
    EXPECT_EQ(document.guides[0].x0, 20.0f);
    EXPECT_EQ(document.guides[0].y1, 30.0f);
    EXPECT_EQ(document.guides[1].x1, 60.0f);
    EXPECT_EQ(document.flowScale, kDefaultFlowScale);
    EXPECT_EQ(document.phaseSpacing, kDefaultPhaseSpacing);
    EXPECT_TRUE(hiddenFiles(scene).empty());

    // 2. A start that reads it synthesises its guides, and saving again at
    //    once writes the very same bytes.
    scene.writeScript(ctrlS(5));
    run = scene.run(width, height, 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("flow dirty ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("saved vorna2.flw (2 guides)\n"), std::string::npos) << run.out;
    EXPECT_TRUE(scene.readFile(flowDocumentFileName) == saved) << "the document changed in a round trip";
}

TEST(Saving, ADocumentsPictureMaskAndParametersSurviveASave) {
    Scene scene("save-document");
    scene.writePicture(pictureFileName, stripes());
    // The document's picture differs from the picture file; its mask, odd
    // coordinates and parameters must all come back as they were.
    FlowDocument document;
    document.picture = makePicture(40, 30, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 5), 7, static_cast<std::uint8_t>(y * 8), static_cast<std::uint8_t>(x + y)};
    });
    document.mask = ByteMask(40, 30);
    for (std::int64_t i = 0; i < document.mask.cellCount(); ++i) document.mask.data()[i] = static_cast<std::uint8_t>(i * 37);
    document.guides = {{0.1f, -3.75f, 1e6f, 2.5e-8f}, {5, 5, 5, 5}};
    document.flowScale = -1.25f;
    document.phaseSpacing = 0.3f;
    scene.writeDocument(document);
    const std::string written = scene.readFile(flowDocumentFileName);

    scene.writeScript(ctrlS(4));
    const ProgramRun run = scene.run(width, height, 8);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("saved vorna2.flw (2 guides)\n"), std::string::npos) << run.out;
    EXPECT_TRUE(scene.readFile(flowDocumentFileName) == written);
}

TEST(Saving, NothingIsWrittenWithoutCtrlS) {
    Scene scene("save-never");
    scene.writePicture(pictureFileName, stripes());
    // Edits, S without Ctrl, Ctrl without S, and Ctrl+S during a drag.
    scene.writeScript(std::string(twoGuides) +
                      "20 keydown S\n21 keyup S\n22 keydown Ctrl\n24 keyup Ctrl\n"
                      "26 move 30 30\n27 press left\n28 move 35 35\n" + ctrlS(29) + "34 release left\n");
    const ProgramRun run = scene.run(width, height, 40);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("saved"), std::string::npos) << run.out;
    EXPECT_FALSE(scene.exists(flowDocumentFileName));
    EXPECT_TRUE(hiddenFiles(scene).empty());
}

// A scene folder from elsewhere may come with links planted where a save
// could put its temporary (the writer once used the fixed name
// "vorna2.flw.saving"): Ctrl+S never writes through them. The file they
// point to, outside the folder, is untouched, the links stay links, and the
// document is a file of its own.
TEST(Saving, CtrlSNeverWritesThroughALinkPlantedBesideTheDocument) {
    Scene scene("save-planted-links");
    scene.writePicture(pictureFileName, stripes());
    ScratchFolder outside("stillflow-test-outside");
    const std::filesystem::path victim = outside.writeFile("victim", std::string("mine"));
    const char* planted[] = {"vorna2.flw.saving", ".vorna2.flw.part", ".vorna2.flw.saving", "vorna2.flw.tmp",
                             "vorna2.flw~"};
    for (const char* name : planted) std::filesystem::create_symlink(victim, scene.dir() / name);

    scene.writeScript(std::string(twoGuides) + ctrlS(20));
    const ProgramRun run = scene.run(width / 2, height / 2, 26);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("saved"), std::string::npos) << run.out;
    EXPECT_EQ(scene.readFile(flowDocumentFileName).size(), 20u + 5u * width * height + 16u * 2u);
    EXPECT_FALSE(std::filesystem::is_symlink(scene.dir() / flowDocumentFileName));
    std::ifstream in(victim, std::ios::binary);
    const std::string left((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(left, "mine");
    for (const char* name : planted) EXPECT_TRUE(std::filesystem::is_symlink(scene.dir() / name)) << name;
}

TEST(Saving, AFailedSaveLeavesTheOldDocumentByteForByteAndSaysWhyInOneLine) {
    Scene scene("save-fails");
    scene.writePicture(pictureFileName, stripes());
    FlowDocument document;
    document.picture = stripes();
    document.guides = {{10, 10, 20, 10}};
    scene.writeDocument(document);
    const std::string old = scene.readFile(flowDocumentFileName);

    // The disk is full after 16 kB: the 31 kB document cannot be written,
    // while the grabs of a window a quarter of the picture's size can (a
    // read-only folder would not stop a root user).
    scene.writeScript(std::string(twoGuides) + ctrlS(20));
    const ProgramRun run = scene.run(width / 2, height / 2, 26, "", 16 * 1024);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("saved"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("vorna2.flw not saved"), std::string::npos) << run.err;
    EXPECT_TRUE(scene.readFile(flowDocumentFileName) == old);
    EXPECT_TRUE(hiddenFiles(scene).empty());
}

}  // namespace
