// The GUI host library's front: option handling, the frame cycle shared by
// both backends, and the Begin/End calls.
//
// Sections
//   1. session state
//   2. guiInit and its checks
//   3. frames: starting one, guiUpdate
//   4. GLContext and the Begin/End calls
#include "platform/gui.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/fatal_error.h"
#include "platform/gui_backend.h"
#include "platform/gui_input.h"
#include "platform/gui_options.h"
#include "platform/perf_counter_control.h"

// ---- 1. session state ------------------------------------------------------------
namespace {
// The library's process-wide session: one window (or offscreen widget) and
// its frames.
struct GuiSession {
    bool started = false;
    GuiOptions options;
    std::vector<ScriptEvent> script;
    std::size_t nextScriptEvent = 0;   // first event not yet applied
    int frame = 0;                     // frames completed since guiInit
    InputTracker tracker;
    bool windowStarted = false;        // SDL video is up (once per process)
    bool windowShown = false;
    std::string windowTitle;           // as last given to the window
    int minimumWidth = 0;              // as last given to the window
    int minimumHeight = 0;
    void* currentContext = nullptr;    // offscreen: the context made current last
};
GuiSession session;

bool offscreen() { return session.options.backend == GuiBackend::Offscreen; }
}  // namespace

bool guiIsOffscreen() { return session.started && offscreen(); }

// ---- 2. guiInit ----------------------------------------------------------------------
namespace {
std::vector<ScriptEvent> loadScript(const std::string& path) {
    std::error_code ec;
    std::ifstream file(path, std::ios::binary);
    if (!file || std::filesystem::is_directory(path, ec)) fatalError("cannot read script '%s'", path.c_str());
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) fatalError("cannot read script '%s'", path.c_str());
    std::vector<ScriptEvent> events;
    int line = 0;
    std::string error;
    if (!parseGuiScript(text, events, line, error))
        fatalError("%s:%d: %s", path.c_str(), line, error.c_str());
    return events;
}

void prepareGrabFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) fatalError("cannot create grab folder '%s'", dir.c_str());
}

void startFrame();
}  // namespace

void guiInit(int& argc, char** argv) {
    setProgramName(argc > 0 ? argv[0] : nullptr);
    GuiOptions options;
    std::string error;
    if (!parseGuiOptions(argc, argv, options, error)) fatalError("%s", error.c_str());
    std::vector<ScriptEvent> script;
    if (!options.scriptPath.empty()) script = loadScript(options.scriptPath);
    if (!options.grabDir.empty()) prepareGrabFolder(options.grabDir);
    if (session.started && options.backend != session.options.backend)
        fatalError("guiInit cannot switch to another platform once one has started");

    session.options = options;
    session.script = std::move(script);
    session.nextScriptEvent = 0;
    session.frame = 0;
    session.tracker = InputTracker{};
    if (offscreen()) {
        startVirtualPerfCounter(std::llround(options.frameTime * static_cast<double>(perfCounterFrequency)));
        session.tracker.state.widgetWidth = options.width;
        session.tracker.state.widgetHeight = options.height;
    } else if (!session.windowStarted) {
        startWindowSystem();
        session.windowStarted = true;
    }
    session.started = true;
    startFrame();
}

// ---- 3. frames -----------------------------------------------------------------------
namespace {
// Builds the input state of frame session.frame and publishes it.
void startFrame() {
    InputTracker& tracker = session.tracker;
    startInputFrame(tracker);
    if (offscreen()) {
        while (session.nextScriptEvent < session.script.size() &&
               session.script[session.nextScriptEvent].frame <= session.frame) {
            applyInputEvent(tracker, session.script[session.nextScriptEvent].event);
            ++session.nextScriptEvent;
        }
    } else {
        pollWindowEvents(tracker);
        if (session.windowShown) windowDrawableSize(tracker.state.widgetWidth, tracker.state.widgetHeight);
    }
    if (session.options.closeAtFrame >= 0 && session.frame >= session.options.closeAtFrame)
        tracker.state.closeRequest = true;
    guiSetInputState(tracker.state);
}

std::string grabPath(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05d.png", frame);
    return (std::filesystem::path(session.options.grabDir) / name).string();
}

void grabFrame() {
    if (!session.currentContext) fatalError("-grab needs a GL context made current in the frame");
    makeOffscreenCurrent(session.currentContext, session.options.width, session.options.height);
    const std::string path = grabPath(session.frame);
    if (!writeOffscreenGrab(path, session.options.width, session.options.height))
        fatalError("cannot write grab '%s'", path.c_str());
}
}  // namespace

void guiUpdate(bool waitForEvents) {
    if (offscreen()) {
        if (!session.options.grabDir.empty()) grabFrame();
        advancePerfCounterFrame();
    } else {
        presentWindow();
        if (waitForEvents) waitForWindowEvent();
    }
    ++session.frame;
    startFrame();
}

// ---- 4. GLContext and the Begin/End calls ------------------------------------------
GLContext::GLContext() {
    if (!session.started) {
        std::fprintf(stderr, "GLContext made before guiInit: call guiInit first\n");
        std::abort();
    }
    native_ = offscreen() ? createOffscreenContext(session.options.width, session.options.height)
                          : createWindowContext();
    if (offscreen()) session.currentContext = native_;
}

GLContext::~GLContext() {
    if (offscreen()) {
        if (session.currentContext == native_) session.currentContext = nullptr;
        destroyOffscreenContext(native_);
    } else {
        destroyWindowContext(native_);
    }
}

void GLContext::makeCurrent() {
    if (offscreen()) {
        makeOffscreenCurrent(native_, session.options.width, session.options.height);
        session.currentContext = native_;
    } else {
        makeWindowCurrent(native_);
    }
}

void WindowBegin(int, const char* title, const Opts& opts) {
    if (offscreen()) return;
    const char* shownTitle = title && *title ? title : "Stillflow";
    if (session.windowShown) {
        // Titles change rarely; the window system hears only of changes.
        if (session.windowTitle != shownTitle) {
            session.windowTitle = shownTitle;
            setWindowTitle(shownTitle);
        }
        return;
    }
    session.windowTitle = shownTitle;
    showWindow(shownTitle, opts.showMaximized_);
    session.windowShown = true;
    GuiInputState state = guiInputState();
    windowDrawableSize(state.widgetWidth, state.widgetHeight);
    session.tracker.state.widgetWidth = state.widgetWidth;
    session.tracker.state.widgetHeight = state.widgetHeight;
    guiSetInputState(state);
}

void WindowEnd() {}
void HBoxLayoutBegin(int, const Opts&) {}
void HBoxLayoutEnd() {}

void GLWidgetBegin(int, GLContext* context, const Opts& opts) {
    // The widget fills the window without margins, so its smallest size is
    // the window's.
    if (!offscreen() && (opts.minimumWidth_ != session.minimumWidth || opts.minimumHeight_ != session.minimumHeight)) {
        session.minimumWidth = opts.minimumWidth_;
        session.minimumHeight = opts.minimumHeight_;
        setWindowMinimumSize(opts.minimumWidth_, opts.minimumHeight_);
    }
    if (context) context->makeCurrent();
}

void GLWidgetEnd() {}
