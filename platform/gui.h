#pragma once
// The GUI host library: one window with one frameless GL widget, the GL
// context, and each frame's input state. Immediate mode: the program calls
// the Begin/End functions every frame and asks the queries in between.
//
// Two backends, chosen by the options (gui_options.h parses them from the
// command line):
//   window (default)       an SDL2 window, maximised on the first WindowBegin;
//   -platform offscreen    no window and no display; framebuffer 0 of the GL
//                          widget is an offscreen target of -size WxH.
// Options shared by both: -frames N (a close request arrives at the start of
// frame N). Offscreen only: -size WxH, -script FILE, -grab DIR, -frame-time S.
//
// Nothing here ends the process: starting returns what went wrong, and a
// failure during the run (a grab that cannot be written, a context that
// cannot be made current) is kept in guiFailure() and ends the frames with
// a close request, for the entry point to report.

#include <cstdint>
#include <string>

#include "platform/gui_keys.h"

struct GuiOptions;  // platform/gui_options.h

#define STILLFLOW_KEY_VALUE(name, code, ...) name = code,
enum class Key : std::int32_t { STILLFLOW_GUI_KEYS(STILLFLOW_KEY_VALUE) };
#undef STILLFLOW_KEY_VALUE

#define STILLFLOW_BUTTON_VALUE(name, code, ...) name = code,
enum class MouseButton : std::int32_t { STILLFLOW_GUI_BUTTONS(STILLFLOW_BUTTON_VALUE) };
#undef STILLFLOW_BUTTON_VALUE

// Options of one Begin call; every setter returns the object, so a call site
// builds a temporary by chaining: Opts().showMaximized(true).margins(0,0,0,0).
class Opts {
public:
    Opts& showMaximized(bool on) { showMaximized_ = on; return *this; }
    Opts& margins(int left, int top, int right, int bottom) {
        marginLeft_ = left; marginTop_ = top; marginRight_ = right; marginBottom_ = bottom;
        return *this;
    }
    Opts& minimumWidth(int w) { minimumWidth_ = w; return *this; }
    Opts& minimumHeight(int h) { minimumHeight_ = h; return *this; }
    Opts& sizePolicy(int horizontal, int vertical) {
        sizePolicyH_ = horizontal; sizePolicyV_ = vertical;
        return *this;
    }
    Opts& showFrame(bool on) { showFrame_ = on; return *this; }

    bool showMaximized_ = false;
    int marginLeft_ = 0, marginTop_ = 0, marginRight_ = 0, marginBottom_ = 0;
    int minimumWidth_ = 0, minimumHeight_ = 0;
    int sizePolicyH_ = 0, sizePolicyV_ = 0;
    bool showFrame_ = true;
};

// Starts the backend the options name, with a fresh session: frame 0, the
// script from its start, the offscreen clock at its first frame. False, with
// one line in `error` and nothing started, for a script that cannot be read
// or is malformed, a grab folder that cannot be made, no display to open a
// window on, or another backend than the one already started.
bool guiStart(const GuiOptions& options, std::string& error);

// Takes the backend's options out of the command line (parseGuiOptions)
// and starts the backend.
// False, with one line in `error`, on a bad option or as guiStart.
bool guiInit(int& argc, char** argv, std::string& error);

// Empty while the backend works; otherwise what stopped it during the run,
// as one line. From then on every frame starts with a close request.
const std::string& guiFailure();

// The program's one GL context (compatibility profile, 3.0 or later). After
// the constructor and makeCurrent() it is current, before any window shows.
// A context that could not be made holds none: failure() says why, and
// makeCurrent() then only passes that on to guiFailure().
class GLContext {
public:
    GLContext();
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    // Empty when the context exists; otherwise one line saying why not.
    const std::string& failure() const { return failure_; }
    // A failure is kept in guiFailure(); what was current stays current.
    void makeCurrent();

private:
    void* native_ = nullptr;  // the backend's context handle
    std::string failure_;     // why native_ is null
};

void WindowBegin(int id, const char* title, const Opts& opts);
void WindowEnd();
void HBoxLayoutBegin(int id, const Opts& opts);
void HBoxLayoutEnd();
// Until GLWidgetEnd the context is current and framebuffer 0 draws into the
// widget.
void GLWidgetBegin(int id, GLContext* context, const Opts& opts);
void GLWidgetEnd();

// Presents what was drawn and takes in the events of the next frame; with
// false it never waits for input.
void guiUpdate(bool waitForEvents);

// Queries: the state of the current frame, the same however often asked.
bool windowCloseRequest();
int widgetWidth();
int widgetHeight();
int mouseX();                       // widget pixels, origin top-left, y down
int mouseY();
bool mouseDown(MouseButton button);     // went down in this frame
bool mousePressed(MouseButton button);  // is held
bool mouseUp(MouseButton button);       // went up in this frame
bool keyDown(Key key);                  // went down in this frame
bool keyPressed(Key key);               // is held
int mouseWheelDelta();                  // 120 per notch, positive zooms in
