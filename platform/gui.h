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
// frame N), -panel. Offscreen only: -size WxH, -script FILE, -grab DIR,
// -frame-time S.
//
// Over the GL widget the program may draw a panel of controls with Dear
// ImGui (PanelBegin / PanelEnd below); the library feeds it the frame's
// input and keeps what the panel takes from the queries.
//
// Nothing here ends the process: starting returns what went wrong, and a
// failure during the run (a grab that cannot be written, a context that
// cannot be made current) is kept in guiFailure() and ends the frames with
// a close request, for the entry point to report. In a window, SIGINT and
// SIGTERM become a close request that stays (see dismissCloseRequest).

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
    // Takes the context over and leaves the source holding none (its
    // failure() says so), so that one run's state can hand it to the next
    // scene's.
    GLContext(GLContext&& other) noexcept;
    // Destroys this one's own context first, then takes the source's.
    GLContext& operator=(GLContext&& other) noexcept;

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
// The file or folder dropped on the window in this frame (the first one, if
// several came); empty when none.
const std::string& droppedPath();

// Forgets the close request of this frame, which the program chose not to
// act on (it asked, and the user said no); a later request comes as before.
// False, and the request stays, when the library made it itself (-frames, a
// failure, SIGINT or SIGTERM in a window): that one is not the user's to
// take back.
bool dismissCloseRequest();

// ---- the panel -------------------------------------------------------------------
// Between PanelBegin and PanelEnd the program builds the panel's widgets with
// Dear ImGui's own calls. The first PanelBegin starts Dear ImGui (it keeps no
// settings file); a frame without PanelBegin has no panel and its queries
// report everything.
//
// PanelBegin comes after GLWidgetBegin and before the queries that the panel
// may take input from. From then on in this frame the queries leave out what
// the panel takes: a mouse button that went down over the panel, until it
// goes up (its going up included); the wheel while the pointer is over the
// panel; every key while one of its fields (or a question it asks) has the
// keyboard. A gesture that began outside the panel keeps every event until
// its button goes up, wherever the pointer goes. False when Dear ImGui could
// not start: there is no panel then, and no PanelEnd.
bool PanelBegin();
// Draws the panel into the widget over what was drawn, with the
// fixed-function pipeline and client-side arrays: no shader program, vertex
// array or buffer may be bound (gpu/drawing.h: useClientArrays). The GL
// state it changes is put back as it found it.
void PanelEnd();
// Whether one of the panel's fields (or a question it asks) had the keyboard
// in the panel's last frame.
bool panelHasKeyboard();
// Gives back what Dear ImGui holds, its font texture included: call while
// the context is current, before it is destroyed. A later PanelBegin starts
// it afresh.
void releasePanel();
