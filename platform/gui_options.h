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
};

// Takes the library's options out of argv, closing the gaps so that argc
// shrinks and argv[argc] stays the terminating null; every other argument
// keeps its place. On a bad option returns false with a one-line reason in
// error (argv is then left as it was).
bool parseGuiOptions(int& argc, char** argv, GuiOptions& options, std::string& error);

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
