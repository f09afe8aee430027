// The GUI host library's front: option handling, the frame cycle shared by
// both backends, and the Begin/End calls.
//
// Sections
//   1. session state
//   2. guiStart, guiInit and their checks
//   3. frames: starting one, guiUpdate
//   4. GLContext and the Begin/End calls
//   5. the panel
#include "platform/gui.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "platform/audio_control.h"
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
    int frame = 0;                     // frames completed since guiStart
    InputTracker tracker;
    bool windowStarted = false;        // SDL video is up (once per process)
    bool windowShown = false;
    std::string windowTitle;           // as last given to the window
    int minimumWidth = 0;              // as last given to the window
    int minimumHeight = 0;
    void* currentContext = nullptr;    // offscreen: the context made current last
    std::string failure;               // what stopped the backend during the session; empty: nothing
    PanelInputOwners panelOwners;      // whose the held buttons' gestures are
    int lastPanelFrame = -2;           // the frame of the last PanelBegin
};
GuiSession session;

bool offscreen() { return session.options.backend == GuiBackend::Offscreen; }

// Set by SIGINT or SIGTERM in a window: the run is to end, as from a failure,
// through the program's own shutdown and without a question.
std::atomic<bool> stopSignalled{false};
extern "C" void noteStopSignal(int) { stopSignalled = true; }
}  // namespace

// ---- 2. guiStart and guiInit ---------------------------------------------------------
namespace {
bool loadScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error) {
    std::error_code ec;
    std::ifstream file(path, std::ios::binary);
    std::string text;
    if (file && !std::filesystem::is_directory(path, ec)) {
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (!file || file.bad() || std::filesystem::is_directory(path, ec)) {
        error = formatLine("cannot read script '%s'", path.c_str());
        return false;
    }
    int line = 0;
    std::string reason;
    if (parseGuiScript(text, events, line, reason)) return true;
    error = formatLine("%s:%d: %s", path.c_str(), line, reason.c_str());
    return false;
}

bool prepareGrabFolder(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (std::filesystem::is_directory(dir, ec)) return true;
    error = formatLine("cannot create grab folder '%s'", dir.c_str());
    return false;
}

void startFrame();
}  // namespace

bool guiStart(const GuiOptions& options, std::string& error) {
    // 1. What the options name must be there; nothing has started yet.
    std::vector<ScriptEvent> script;
    if (!options.scriptPath.empty() && !loadScript(options.scriptPath, script, error)) return false;
    if (!options.grabDir.empty() && !prepareGrabFolder(options.grabDir, error)) return false;
    if (session.started && options.backend != session.options.backend) {
        error = "guiStart cannot switch to another platform once one has started";
        return false;
    }
    if (options.backend == GuiBackend::Window && !session.windowStarted) {
        if (!startWindowSystem(error)) return false;
        session.windowStarted = true;
        std::signal(SIGINT, noteStopSignal);
        std::signal(SIGTERM, noteStopSignal);
    }

    // 2. A fresh session on the backend.
    session.options = options;
    session.script = std::move(script);
    session.nextScriptEvent = 0;
    session.frame = 0;
    session.tracker = InputTracker{};
    session.failure.clear();
    if (offscreen()) {
        silenceAudioOutput();
        startVirtualPerfCounter(std::llround(options.frameTime * static_cast<double>(perfCounterFrequency)));
        session.tracker.state.widgetWidth = options.width;
        session.tracker.state.widgetHeight = options.height;
    }
    session.started = true;
    startFrame();
    return true;
}

bool guiInit(int& argc, char** argv, std::string& error) {
    GuiOptions options;
    return parseGuiOptions(argc, argv, options, error) && guiStart(options, error);
}

const std::string& guiFailure() { return session.failure; }

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
    if (!session.failure.empty() || stopSignalled) tracker.state.closeRequest = true;
    guiSetInputState(tracker.state);
}

std::string grabPath(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05d.png", frame);
    return (std::filesystem::path(session.options.grabDir) / name).string();
}

// The first failure of the session is the one reported.
void noteFailure(const std::string& line) {
    if (session.failure.empty()) session.failure = line;
}

void grabFrame() {
    if (!session.currentContext) return noteFailure("-grab needs a GL context made current in the frame");
    std::string error;
    if (!makeOffscreenCurrent(session.currentContext, session.options.width, session.options.height, error))
        return noteFailure(error);
    const std::string path = grabPath(session.frame);
    if (!writeOffscreenGrab(path, session.options.width, session.options.height))
        noteFailure(formatLine("cannot write grab '%s'", path.c_str()));
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
        std::fprintf(stderr, "GLContext made before guiStart: call guiStart first\n");
        std::abort();
    }
    native_ = offscreen() ? createOffscreenContext(session.options.width, session.options.height, failure_)
                          : createWindowContext(failure_);
    if (offscreen() && native_) session.currentContext = native_;
}

namespace {
// The backend's context behind a GLContext; nothing for null.
void destroyNativeContext(void* native) {
    if (!native) return;
    if (offscreen()) {
        if (session.currentContext == native) session.currentContext = nullptr;
        destroyOffscreenContext(native);
    } else {
        destroyWindowContext(native);
    }
}
// What a context that was handed on says when asked.
constexpr const char* kHandedOn = "the GL context was handed on to another owner";
}  // namespace

GLContext::GLContext(GLContext&& other) noexcept : native_(other.native_), failure_(std::move(other.failure_)) {
    other.native_ = nullptr;
    other.failure_ = kHandedOn;
}

GLContext& GLContext::operator=(GLContext&& other) noexcept {
    if (this == &other) return *this;
    destroyNativeContext(native_);
    native_ = other.native_;
    failure_ = std::move(other.failure_);
    other.native_ = nullptr;
    other.failure_ = kHandedOn;
    return *this;
}

GLContext::~GLContext() { destroyNativeContext(native_); }

void GLContext::makeCurrent() {
    if (!native_) return noteFailure(failure_);
    std::string error;
    if (offscreen()) {
        if (!makeOffscreenCurrent(native_, session.options.width, session.options.height, error)) {
            return noteFailure(error);
        }
        session.currentContext = native_;
    } else if (!makeWindowCurrent(native_, error)) {
        noteFailure(error);
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

bool dismissCloseRequest() {
    if (session.options.closeAtFrame >= 0 && session.frame >= session.options.closeAtFrame) return false;
    if (!session.failure.empty() || stopSignalled) return false;
    session.tracker.state.closeRequest = false;
    GuiInputState shown = guiInputState();
    shown.closeRequest = false;
    guiSetInputState(shown);
    return true;
}

// ---- 5. the panel ----------------------------------------------------------------------
bool PanelBegin() {
    // A panel missing from the last frame took no gesture that is still going on.
    if (session.lastPanelFrame != session.frame - 1) session.panelOwners = PanelInputOwners{};
    session.lastPanelFrame = session.frame;
    bool wantsMouse = false;
    bool wantsKeyboard = false;
    if (!startPanelFrame(session.tracker.state, offscreen(), session.options.frameTime, wantsMouse, wantsKeyboard)) {
        return false;
    }
    GuiInputState shown = withoutPanelInput(session.tracker.state, session.panelOwners, wantsMouse, wantsKeyboard);
    // A close request dismissed in this frame stays dismissed.
    shown.closeRequest = guiInputState().closeRequest;
    guiSetInputState(shown);
    return true;
}

void PanelEnd() { drawPanelFrame(); }

bool panelHasKeyboard() { return panelTakesKeyboard(); }

void releasePanel() { stopPanel(); }
