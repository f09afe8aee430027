#pragma once
// The GUI host library: one window with one frameless GL widget, the GL
// context, and each frame's input state. Immediate mode: the program calls
// the Begin/End functions every frame and asks the queries in between.
//
// Two backends, chosen by guiInit from the command line:
//   window (default)       an SDL2 window, maximised on the first WindowBegin;
//   -platform offscreen    no window and no display; framebuffer 0 of the GL
//                          widget is an offscreen target of -size WxH.
// Options shared by both: -frames N (a close request arrives at the start of
// frame N). Offscreen only: -size WxH, -script FILE, -grab DIR, -frame-time S.

#include <cstdint>

#include "platform/gui_keys.h"

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

// Parses the backend options out of the command line and starts the backend.
// A bad option, an unreadable or malformed script, or (window backend) no
// display to open prints one line to standard error and exits with code 1.
void guiInit(int& argc, char** argv);

// The program's one GL context (compatibility profile, 3.0 or later). After
// the constructor and makeCurrent() it is current, before any window shows.
class GLContext {
public:
    GLContext();
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    void makeCurrent();

private:
    void* native_ = nullptr;  // the backend's context handle
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
