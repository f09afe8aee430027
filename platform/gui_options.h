#pragma once
// The GUI library's own command-line options, and the script format of the
// offscreen backend. Both are plain parsers so that they can be checked
// without starting a backend.

#include <string>
#include <vector>

#include "platform/input_tracker.h"

enum class GuiBackend { Window, Offscreen };

struct GuiOptions {
    GuiBackend backend = GuiBackend::Window;  // -platform window|offscreen
    int width = 1280;                         // -size WxH (offscreen widget)
    int height = 720;
    int closeAtFrame = -1;                    // -frames N; -1 never
    std::string scriptPath;                   // -script FILE; empty: none
    std::string grabDir;                      // -grab DIR; empty: no grabs
    double frameTime = 1.0 / 60.0;            // -frame-time S, seconds
    bool showPanel = false;                   // -panel: the panel shows from the start, offscreen too
};

// Takes the library's options out of argv (each takes a value but -panel), closing the gaps so that argc
// shrinks and argv[argc] stays the terminating null; every other argument
// keeps its place. On a bad option returns false with a one-line reason in
// error (argv is then left as it was).
bool parseGuiOptions(int& argc, char** argv, GuiOptions& options, std::string& error);

// The options above as the program's --help lists them, in order.
struct HelpLine {
    const char* term;     // "-size WxH"
    const char* meaning;  // one line
};
inline constexpr HelpLine guiOptionHelp[] = {
    {"-platform offscreen", "no window and no display: render into an offscreen target"},
    {"-size WxH", "offscreen target size (default 1280x720)"},
    {"-frames N", "a close request arrives at the start of frame N"},
    {"-script FILE", "offscreen input: lines FRAME EVENT ARGS (move X Y, press|release left|right, wheel DELTA, "
                     "keydown|keyup KEY, drop PATH, close); KEY is a key name in any case: Escape, Home, Space, "
                     "Ctrl, Shift, Tab, C, X, S, Z, Y, G, P, M, F, K, Minus, Equals, Comma, Period, LeftBracket, "
                     "RightBracket, E, D"},
    {"-grab DIR", "offscreen: write each frame as DIR/frame-00000.png, ..."},
    {"-frame-time S", "offscreen clock step in seconds (default 1/60); the clock is virtual, so runs repeat exactly"},
    {"-panel", "show the panel of controls from the start (a window always does; offscreen it is hidden without "
               "this)"},
};

// One line of a script: the event arrives at the start of frame `frame`.
struct ScriptEvent {
    int frame = 0;
    InputEvent event;
};

// Parses a script: lines "FRAME EVENT ARGS", '#' starts a comment, blank
// lines are allowed. Events come back ordered by frame, keeping the script's
// order within a frame. On a malformed line returns false with its 1-based
// number in errorLine and the reason in error.
bool parseGuiScript(const std::string& text, std::vector<ScriptEvent>& events, int& errorLine,
                    std::string& error);
