// What the program tells about itself: --help lists the README's controls
// table row for row, and the window title names the scene, the guide count,
// unsaved changes and how the motion is directed.

#include "app/help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/window_title.h"

namespace {

// The rows of the README's controls table, "| input | effect |" each.
std::vector<std::string> readmeControlRows() {
    std::ifstream in(std::string(STILLFLOW_SOURCE_DIR) + "/README.md");
    std::vector<std::string> rows;
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## Controls";
        if (inSection && line.rfind("| ", 0) == 0 && line != "| Input | Effect |") rows.push_back(line);
    }
    return rows;
}

TEST(Help, ListsTheReadmesControlsTableRowForRow) {
    const std::vector<std::string> rows = readmeControlRows();
    ASSERT_EQ(rows.size(), std::size(controlsHelp));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], std::string("| ") + controlsHelp[i].term + " | " + controlsHelp[i].meaning + " |");
    }
}

TEST(Help, TheCommandLineAsksForHelpWithDashDashHelpOrDashH) {
    char program[] = "stillflow", help[] = "--help", h[] = "-h", offscreen[] = "-platform", value[] = "offscreen";
    char* asked[] = {program, offscreen, value, help, nullptr};
    char* short_[] = {program, h, nullptr};
    char* not_[] = {program, offscreen, value, nullptr};
    EXPECT_TRUE(helpRequested(4, asked));
    EXPECT_TRUE(helpRequested(2, short_));
    EXPECT_FALSE(helpRequested(3, not_));
}

TEST(WindowTitle, NamesTheSceneTheGuidesAndUnsavedChanges) {
    EXPECT_EQ(windowTitle("waterfall", 575, false, false), "waterfall - 575 guides - Stillflow");
    EXPECT_EQ(windowTitle("waterfall", 1, true, false), "*waterfall - 1 guide - Stillflow");
    EXPECT_EQ(windowTitle("my photo", 0, true, false), "*my photo - 0 guides - Stillflow");
    EXPECT_EQ(windowTitle("pond", 2, true, true), "*pond - 2 guides - sharp filter - Stillflow");
    EXPECT_EQ(windowTitle("pond", 2, false, false, TitleMotion{}, 42), "pond - 2 guides - exporting 42% - Stillflow");
    EXPECT_EQ(windowTitle("pond", 2, false, false, TitleMotion{}, 0), "pond - 2 guides - exporting 0% - Stillflow");
}

TEST(WindowTitle, AddsSpeedLoopLengthAndTheFreezeWhenTheyDifferFromTheDefaults) {
    const float faster = kDefaultFlowScale * 1.25f;
    const struct {
        TitleMotion motion;
        const char* expected;
    } cases[] = {
        {{kDefaultFlowScale, kDefaultPhaseSpacing, false}, "sea - 3 guides - Stillflow"},
        {{faster, kDefaultPhaseSpacing, false}, "sea - 3 guides - speed 1.25x - Stillflow"},
        {{faster * 1.25f, kDefaultPhaseSpacing, false}, "sea - 3 guides - speed 1.56x - Stillflow"},
        {{kDefaultFlowScale / 1.25f, 0.7f, false}, "sea - 3 guides - speed 0.8x - loop 0.7 s - Stillflow"},
        {{kDefaultFlowScale * 1000, 8.0f, true}, "sea - 3 guides - speed 1000x - loop 8 s - freeze on - Stillflow"},
        {{kDefaultFlowScale / 1000, 0.35f, false}, "sea - 3 guides - speed 0.001x - loop 0.35 s - Stillflow"},
        {{-kDefaultFlowScale, kDefaultPhaseSpacing, false}, "sea - 3 guides - speed -1x - Stillflow"},
        {{kDefaultFlowScale, kDefaultPhaseSpacing, true}, "sea - 3 guides - freeze on - Stillflow"},
    };
    for (const auto& c : cases) EXPECT_EQ(windowTitle("sea", 3, false, false, c.motion), c.expected);
    EXPECT_EQ(windowTitle("sea", 1, true, true, {faster, 2.0f, true}),
              "*sea - 1 guide - speed 1.25x - loop 2 s - freeze on - sharp filter - Stillflow");
}

}  // namespace
