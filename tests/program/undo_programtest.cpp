// Undo and redo in the real program, offscreen: each finished guide edit and
// each mask stroke is one step, undo and redo of guide edits make the flow
// follow, nothing is undone during a drag, and what is saved afterwards is
// what undo and redo left.

#include <gtest/gtest.h>

#include <string>

#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

constexpr int width = 96;
constexpr int height = 64;

int countLines(const std::string& text, const std::string& start) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (text.compare(at, start.size(), start) == 0) ++count;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return count;
}

TEST(Undo, UndoAndRedoRestoreTheGuidesAndTheFlowFollows) {
    Scene scene("undo-redo");
    scene.writePicture(pictureFileName, makePicture(width, height, [](int x, int y) {
                           return Rgba8{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9, 255};
                       }));
    scene.writeScript(
        "1 keydown Ctrl\n1 keydown Z\n2 keyup Z\n2 keyup Ctrl\n"          // nothing to undo yet
        "5 move 20 20\n6 press left\n8 move 40 30\n10 release left\n"      // guide A
        "12 move 70 40\n13 press left\n14 move 60 50\n16 release left\n"   // guide B
        "18 move 21 21\n19 press right\n20 release right\n"                // A deleted
        "22 keydown ctrl\n23 keydown z\n24 keyup z\n25 keydown z\n26 keyup z\n26 keyup ctrl\n"  // A back, B gone
        "28 keydown ctrl\n28 keydown shift\n29 keydown z\n30 keyup z\n30 keyup shift\n"        // B back
        "31 keydown y\n32 keyup y\n32 keyup ctrl\n"                                             // A deleted again
        "34 keydown ctrl\n35 keydown s\n36 keyup s\n36 keyup ctrl\n"                            // saved: B
        "40 move 10 50\n41 press left\n42 move 30 55\n"                    // guide C, being drawn
        "43 keydown ctrl\n44 keydown z\n45 keyup z\n45 keyup ctrl\n"       // no undo during the drag
        "46 release left\n"
        "48 keydown ctrl\n49 keydown s\n50 keyup s\n50 keyup ctrl\n");     // saved: B, C
    const ProgramRun run = scene.run(width, height, 54);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Three edits, two undos, two redos, one more edit: one synthesis each.
    EXPECT_EQ(countLines(run.out, "flow dirty "), 8) << run.out;
    EXPECT_NE(run.out.find("saved vorna2.flw (1 guide)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("saved vorna2.flw (2 guides)\n"), std::string::npos) << run.out;

    const std::string bytes = scene.readFile(flowDocumentFileName);
    FlowDocument document;
    ASSERT_TRUE(decodeFlowDocument(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &document));
    ASSERT_EQ(document.guides.size(), 2u);
    const GuideSegment expected[] = {{70, 40, 60, 50}, {10, 50, 30, 55}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(document.guides[i].x0, expected[i].x0) << i;
        EXPECT_EQ(document.guides[i].y0, expected[i].y0) << i;
        EXPECT_EQ(document.guides[i].x1, expected[i].x1) << i;
        EXPECT_EQ(document.guides[i].y1, expected[i].y1) << i;
    }
}

TEST(Undo, AMaskStrokeIsOneStepAndLeavesTheFlowAlone) {
    const std::string stroke = "4 move 30 30\n5 keydown X\n6 press left\n7 move 50 34\n8 move 60 30\n9 release left\n10 keyup X\n";
    const std::string undo = "12 keydown Ctrl\n13 keydown Z\n14 keyup Z\n14 keyup Ctrl\n";
    const std::string redo = "16 keydown Ctrl\n17 keydown Y\n18 keyup Y\n18 keyup Ctrl\n";
    const std::string save = "20 keydown Ctrl\n21 keydown S\n22 keyup S\n22 keyup Ctrl\n";
    const struct {
        const char* name;
        std::string script;
        bool painted;  // the saved mask holds the stroke
    } cases[] = {
        {"undone", stroke + undo + save, false},
        {"redone", stroke + undo + redo + save, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(std::string("undo-mask-") + c.name);
        scene.writePicture(pictureFileName, makePicture(width, height, [](int, int) { return Rgba8{90, 90, 90, 255}; }));
        scene.writeScript(c.script);
        const ProgramRun run = scene.run(width, height, 24);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "saved vorna2.flw (0 guides)\n") << "no synthesis for the mask";
        const std::string bytes = scene.readFile(flowDocumentFileName);
        FlowDocument document;
        ASSERT_TRUE(decodeFlowDocument(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &document));
        EXPECT_EQ(document.mask.at(40, 32) == 255, c.painted);
        int painted = 0;
        for (std::int64_t i = 0; i < document.mask.cellCount(); ++i) painted += document.mask.data()[i] != 0;
        EXPECT_EQ(painted > 0, c.painted) << painted;
    }
}

}  // namespace
