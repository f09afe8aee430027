// The GUI library's command-line options and its offscreen script format.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "platform/gui_input.h"
#include "platform/gui_options.h"
#include "support/argv.h"

TEST(GuiOptions, TakesItsOwnOptionsOutAndLeavesTheRestInOrder) {
    Argv a({"prog", "--gtest_filter=x", "-platform", "offscreen", "-size", "320x200", "keep", "-frames", "7",
            "-script", "s.txt", "-panel", "-grab", "out", "-frame-time", "0.25", "-other"});
    GuiOptions o;
    std::string error;
    ASSERT_TRUE(parseGuiOptions(a.argc, a.pointers.data(), o, error)) << error;
    EXPECT_EQ(a.remaining(), (std::vector<std::string>{"prog", "--gtest_filter=x", "keep", "-other"}));
    EXPECT_EQ(a.pointers[static_cast<std::size_t>(a.argc)], nullptr);
    EXPECT_EQ(o.backend, GuiBackend::Offscreen);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 200);
    EXPECT_EQ(o.closeAtFrame, 7);
    EXPECT_EQ(o.scriptPath, "s.txt");
    EXPECT_EQ(o.grabDir, "out");
    EXPECT_DOUBLE_EQ(o.frameTime, 0.25);
    EXPECT_TRUE(o.showPanel);
}

TEST(GuiOptions, DefaultsToAWindowThatNeverClosesByItself) {
    Argv a({"prog"});
    GuiOptions o;
    std::string error;
    ASSERT_TRUE(parseGuiOptions(a.argc, a.pointers.data(), o, error));
    EXPECT_EQ(o.backend, GuiBackend::Window);
    EXPECT_EQ(o.closeAtFrame, -1);
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.height, 720);
    EXPECT_DOUBLE_EQ(o.frameTime, 1.0 / 60.0);
    EXPECT_FALSE(o.showPanel);
    EXPECT_EQ(a.argc, 1);
}

TEST(GuiOptions, RejectsBadValuesNamingTheProblemAndLeavesArgvAlone) {
    const struct {
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {{"p", "-platform"}, "-platform needs a value"},
        {{"p", "-platform", "wayland"}, "unknown platform 'wayland'"},
        {{"p", "-platform", "offscreen", "-size", "640"}, "-size"},
        {{"p", "-platform", "offscreen", "-size", "0x10"}, "-size"},
        {{"p", "-platform", "offscreen", "-size", "10x-4"}, "-size"},
        {{"p", "-platform", "offscreen", "-size", "99999x10"}, "-size"},
        {{"p", "-platform", "offscreen", "-size", "10x10x"}, "-size"},
        {{"p", "-frames", "-1"}, "-frames"},
        {{"p", "-frames", "3x"}, "-frames"},
        {{"p", "-frames", "99999999999"}, "-frames"},
        {{"p", "-platform", "offscreen", "-frame-time", "0"}, "-frame-time"},
        {{"p", "-platform", "offscreen", "-frame-time", "nan"}, "-frame-time"},
        {{"p", "-platform", "offscreen", "-frame-time", "1e-12"}, "-frame-time"},
        {{"p", "-platform", "offscreen", "-script", ""}, "-script"},
        {{"p", "-grab", "dir"}, "-grab needs -platform offscreen"},
        {{"p", "-size", "64x64", "-platform", "window"}, "-size needs -platform offscreen"},
    };
    for (const auto& c : cases) {
        Argv a(c.args);
        GuiOptions o;
        std::string error;
        EXPECT_FALSE(parseGuiOptions(a.argc, a.pointers.data(), o, error)) << c.args.back();
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "error '" << error << "' lacks '" << c.mentions << "'";
        EXPECT_EQ(a.argc, static_cast<int>(c.args.size()));
    }
}

TEST(GuiScript, ParsesEveryEventWithCommentsAndBlankLines) {
    const std::string text =
        "# a whole-line comment\n"
        "\n"
        "0 move 10 -20   # trailing comment\n"
        "2 press left\n"
        "2 release right\n"
        "1 wheel -240\n"
        "  3\tkeydown Escape\r\n"
        "3 keyup Home\n"
        "3 keydown Space\n"
        "3 keydown X\n"
        "3 keydown C\n"
        "9 close\n"
        "9 drop   /photos/a lake.jpg  # a path keeps its blanks\n";
    std::vector<ScriptEvent> events;
    int line = 0;
    std::string error;
    ASSERT_TRUE(parseGuiScript(text, events, line, error)) << line << ": " << error;
    ASSERT_EQ(events.size(), 11u);
    // Sorted by frame; the script's order kept within a frame.
    EXPECT_EQ(events[0].event.type, InputEventType::Move);
    EXPECT_EQ(events[0].event.x, 10);
    EXPECT_EQ(events[0].event.y, -20);
    EXPECT_EQ(events[1].frame, 1);
    EXPECT_EQ(events[1].event.wheelDelta, -240);
    EXPECT_EQ(events[2].event.type, InputEventType::Press);
    EXPECT_EQ(events[2].event.button, MouseButton::Left);
    EXPECT_EQ(events[3].event.type, InputEventType::Release);
    EXPECT_EQ(events[3].event.button, MouseButton::Right);
    const Key keys[] = {Key::Escape, Key::Home, Key::Space, Key::X, Key::C};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(events[4 + static_cast<std::size_t>(i)].event.key, keys[i]);
    EXPECT_EQ(events[5].event.type, InputEventType::KeyUp);
    EXPECT_EQ(events[9].event.type, InputEventType::Close);
    EXPECT_EQ(events[9].frame, 9);
    EXPECT_EQ(events[10].event.type, InputEventType::Drop);
    EXPECT_EQ(events[10].event.path, "/photos/a lake.jpg");
}

TEST(GuiScript, EveryKeyAndButtonOfTheTableIsNamedByItsWordInAnyCase) {
    for (const Key key : guiKeys) {
        std::string word;
#define STILLFLOW_KEY_NAME(name, ...) \
    if (key == Key::name) word = #name;
        STILLFLOW_GUI_KEYS(STILLFLOW_KEY_NAME)
#undef STILLFLOW_KEY_NAME
        std::string lower = word, upper = word;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const std::string& spelling : {word, lower, upper}) {
            std::vector<ScriptEvent> events;
            int line = 0;
            std::string error;
            ASSERT_TRUE(parseGuiScript("1 keydown " + spelling + "\n", events, line, error)) << error;
            EXPECT_EQ(events.at(0).event.key, key) << spelling;
        }
    }
    std::vector<ScriptEvent> events;
    int line = 0;
    std::string error;
    ASSERT_TRUE(parseGuiScript("1 press LEFT\n1 release Right\n", events, line, error)) << error;
    EXPECT_EQ(events.at(0).event.button, MouseButton::Left);
    EXPECT_EQ(events.at(1).event.button, MouseButton::Right);
}

TEST(GuiScript, NamesTheLineOfTheFirstMalformedEvent) {
    const struct {
        const char* badLine;
        const char* mentions;
    } cases[] = {
        {"x move 1 2", "frame number"},
        {"-1 close", "frame number"},
        {"3", "missing event"},
        {"3 jump", "unknown event 'jump'"},
        {"3 move 1", "move X Y"},
        {"3 move 1 2 3", "move X Y"},
        {"3 move 1.5 2", "whole-number"},
        {"3 press middle", "unknown mouse button 'middle'"},
        {"3 release", "press|release"},
        {"3 wheel up", "wheel needs"},
        {"3 keydown Enter", "unknown key 'Enter'"},
        {"3 keydown Esc", "unknown key 'Esc'"},
        {"3 close now", "'close'"},
        {"3 drop", "drop PATH"},
        {"3 drop   # no path", "drop PATH"},
    };
    for (const auto& c : cases) {
        const std::string text = "0 move 1 1\n# fine so far\n\n" + std::string(c.badLine) + "\n5 close\n";
        std::vector<ScriptEvent> events;
        int line = 0;
        std::string error;
        EXPECT_FALSE(parseGuiScript(text, events, line, error)) << c.badLine;
        EXPECT_EQ(line, 4) << c.badLine;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << "error '" << error << "' lacks '" << c.mentions << "'";
    }
}
