// Starting the GUI library from a command line: what guiInit says when it
// cannot start. These link the window system (but need no GL context, and
// must run in a process where no session has started yet).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "support/argv.h"

namespace {
// guiInit says what is wrong with a command line in one line, without the
// program's name (the entry point adds it), and ends nothing.
std::string initError(std::vector<std::string> words) {
    Argv a(std::move(words));
    std::string error;
    EXPECT_FALSE(guiInit(a.argc, a.pointers.data(), error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    return error;
}

TEST(GuiInitFailure, ABadOptionOrScriptIsOneLineThatNamesIt) {
    const std::string path = ::testing::TempDir() + "gui_bad_script.txt";
    std::ofstream(path) << "0 move 1 2\n1 press left\n2 wiggle\n";
    EXPECT_EQ(initError({"prog", "-platform", "offscreen", "-size", "wide"}).rfind("-size needs WxH", 0), 0u);
    EXPECT_NE(initError({"prog", "-platform", "offscreen", "-script", path}).find("gui_bad_script.txt:3: unknown event 'wiggle'"),
              std::string::npos);
    EXPECT_EQ(initError({"prog", "-platform", "offscreen", "-script", path + ".missing"}).rfind("cannot read script", 0),
              0u);
}

// The environment variable as it was, back at the end of the scope.
class EnvironmentKept {
public:
    explicit EnvironmentKept(const char* name) : name_(name) {
        const char* value = std::getenv(name);
        if (value) value_ = value;
        had_ = value != nullptr;
    }
    ~EnvironmentKept() {
        if (had_) {
            setenv(name_, value_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string value_;
    bool had_ = false;
};
}  // namespace

TEST(GuiInitFailure, WindowWithoutADisplaySaysToRunOffscreen) {
    EnvironmentKept display("DISPLAY"), wayland("WAYLAND_DISPLAY"), driver("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    const std::string none = initError({"prog"});
    EXPECT_EQ(none.rfind("no display", 0), 0u) << none;
    EXPECT_NE(none.find("-platform offscreen"), std::string::npos) << none;
    setenv("SDL_VIDEODRIVER", "x11,dummy", 1);
    EXPECT_EQ(initError({"prog"}).rfind("no display", 0), 0u);
}
