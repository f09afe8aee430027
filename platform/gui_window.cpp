// The window backend: one SDL2 window with a GL context, its events turned
// into the per-frame input state.
#include <SDL2/SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_sdl.h>

#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/fatal_error.h"
#include "platform/gui_backend.h"
#include "platform/quiet_stderr.h"

namespace {
// The one window of the process and what its events leave over between
// frames.
struct WindowState {
    SDL_Window* window = nullptr;
    double wheelRemainder = 0.0;   // wheel travel below one unit, in units of 1/120 notch
    bool panelBackend = false;     // Dear ImGui's SDL2 backend is up and hears every event
};
WindowState windowState;

// The line for a failed SDL step; false, for returning at once.
bool failWindow(const char* what, std::string& error) {
    error = formatLine("%s: %s", what, SDL_GetError());
    return false;
}

bool isHeadlessDriver(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Scales window coordinates to drawable pixels, the unit of the widget size,
// so positions stay right on HiDPI screens.
void toDrawable(int x, int y, int& outX, int& outY) {
    int windowW = 0, windowH = 0, drawableW = 0, drawableH = 0;
    SDL_GetWindowSize(windowState.window, &windowW, &windowH);
    SDL_GL_GetDrawableSize(windowState.window, &drawableW, &drawableH);
    outX = windowW > 0 ? static_cast<int>(static_cast<long long>(x) * drawableW / windowW) : x;
    outY = windowH > 0 ? static_cast<int>(static_cast<long long>(y) * drawableH / windowH) : y;
}

// The window system's codes of the keys and buttons, from the one table.
template <typename Id>
struct SdlCodes {
    Id id;
    std::initializer_list<int> codes;   // any of them gives `id`
};
#define STILLFLOW_SDL_KEY(name, value, ...) {Key::name, {__VA_ARGS__}},
const SdlCodes<Key> sdlKeys[] = {STILLFLOW_GUI_KEYS(STILLFLOW_SDL_KEY)};
#undef STILLFLOW_SDL_KEY
#define STILLFLOW_SDL_BUTTON(name, value, word, ...) {MouseButton::name, {__VA_ARGS__}},
const SdlCodes<MouseButton> sdlButtons[] = {STILLFLOW_GUI_BUTTONS(STILLFLOW_SDL_BUTTON)};
#undef STILLFLOW_SDL_BUTTON

// The key or button that `code` gives; false for one the program never asks about.
template <typename Id, std::size_t N>
bool fromSdl(const SdlCodes<Id> (&table)[N], int code, Id& id) {
    for (const SdlCodes<Id>& entry : table) {
        for (const int candidate : entry.codes) {
            if (candidate == code) {
                id = entry.id;
                return true;
            }
        }
    }
    return false;
}

void applyMove(InputTracker& tracker, int x, int y) {
    InputEvent move;
    move.type = InputEventType::Move;
    toDrawable(x, y, move.x, move.y);
    applyInputEvent(tracker, move);
}

void applyEvent(InputTracker& tracker, const SDL_Event& e) {
    InputEvent event;
    switch (e.type) {
    case SDL_QUIT:
        event.type = InputEventType::Close;
        applyInputEvent(tracker, event);
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            event.type = InputEventType::Close;
            applyInputEvent(tracker, event);
        }
        break;
    case SDL_MOUSEMOTION:
        applyMove(tracker, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (!fromSdl(sdlButtons, e.button.button, event.button)) break;
        // The press belongs to where it happened, even without a motion event.
        applyMove(tracker, e.button.x, e.button.y);
        event.type = e.type == SDL_MOUSEBUTTONDOWN ? InputEventType::Press : InputEventType::Release;
        applyInputEvent(tracker, event);
        break;
    case SDL_MOUSEWHEEL: {
#if SDL_VERSION_ATLEAST(2, 0, 18)
        double notches = e.wheel.preciseY;
#else
        double notches = e.wheel.y;
#endif
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        event.type = InputEventType::Wheel;
        event.wheelDelta = takeWheelUnits(windowState.wheelRemainder, notches);
        if (event.wheelDelta != 0) applyInputEvent(tracker, event);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.key.repeat || !fromSdl(sdlKeys, e.key.keysym.sym, event.key)) break;
        event.type = e.type == SDL_KEYDOWN ? InputEventType::KeyDown : InputEventType::KeyUp;
        applyInputEvent(tracker, event);
        break;
    case SDL_DROPFILE:
        // Files and folders alike (SDL names both DROPFILE); the name is ours to free.
        if (!e.drop.file) break;
        event.type = InputEventType::Drop;
        event.path = e.drop.file;
        SDL_free(e.drop.file);
        applyInputEvent(tracker, event);
        break;
    default:
        break;
    }
}
}  // namespace

bool startWindowSystem(std::string& error) {
    // SDL falls back to its offscreen or dummy video driver when nothing else
    // opens; a window there is invisible, so refuse it unless it was named.
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    bool ok = false;
    {
        // Drivers that cannot connect (libwayland without a session) print
        // their own lines; the one line below says what matters.
        QuietStderr quiet;
        // SIGINT and SIGTERM are the library's own to catch (gui.cpp): SDL
        // would turn them into a close request, which the program may answer
        // with a question no one who sent a signal is there to answer.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    const char* driver = ok ? SDL_GetCurrentVideoDriver() : nullptr;
    if (ok && isHeadlessDriver(driver) && !(requested && SDL_strcasecmp(requested, driver) == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        ok = false;
        SDL_SetError("only the %s video driver is available", driver);
    }
    if (ok) {
        // Pictures and scene folders dropped on the window open them.
        SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
        return true;
    }
    error = formatLine("no display to open a window on (%s); -platform offscreen runs headless", SDL_GetError());
    return false;
}

void* createWindowContext(std::string& error) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    if (!windowState.window) {
        // Hidden until the first WindowBegin: the context must be current
        // before the window shows.
        windowState.window =
            SDL_CreateWindow("Stillflow", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600,
                             SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!windowState.window) {
            failWindow("cannot create the window", error);
            return nullptr;
        }
    }
    SDL_GLContext context = SDL_GL_CreateContext(windowState.window);
    if (!context) {
        failWindow("cannot create an OpenGL 3.0 compatibility context", error);
        return nullptr;
    }
    if (SDL_GL_MakeCurrent(windowState.window, context) != 0) {
        failWindow("cannot make the GL context current", error);
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    // Vsync where the driver offers it; frames then run at the display rate.
    SDL_GL_SetSwapInterval(1);
    return context;
}

void destroyWindowContext(void* context) {
    if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool makeWindowCurrent(void* context, std::string& error) {
    if (SDL_GL_MakeCurrent(windowState.window, static_cast<SDL_GLContext>(context)) == 0) return true;
    return failWindow("cannot make the GL context current", error);
}

namespace {
// How long the window manager gets to maximise the window before the
// program fits it into the usable area itself.
constexpr Uint32 maximizeWaitMs = 500;

bool usableBounds(SDL_Rect& usable) {
    const int display = SDL_GetWindowDisplayIndex(windowState.window);
    return SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) == 0;
}

// Places the window, its frame included, inside the usable area when the
// window manager did not maximise it: a frame with a title bar around a
// client as large as the usable area would reach past the screen.
void fitFrameIntoUsableArea() {
    SDL_Rect usable;
    if (!usableBounds(usable)) return;
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(windowState.window, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(windowState.window, &x, &y);
    SDL_GetWindowSize(windowState.window, &w, &h);
    const bool inside = x - left >= usable.x && y - top >= usable.y && x + w + right <= usable.x + usable.w &&
                        y + h + bottom <= usable.y + usable.h;
    if (inside) return;
    SDL_SetWindowPosition(windowState.window, usable.x + left, usable.y + top);
    SDL_SetWindowSize(windowState.window, usable.w - left - right, usable.h - top - bottom);
}
}  // namespace

void showWindow(const char* title, bool maximized) {
    SDL_SetWindowTitle(windowState.window, title);
    if (maximized) {
        // Window managers that ignore "maximised" (or no window manager at
        // all) would leave the window at its first size: fill the usable
        // screen explicitly, then ask for maximised as well.
        SDL_Rect usable;
        if (usableBounds(usable)) {
            SDL_SetWindowPosition(windowState.window, usable.x, usable.y);
            SDL_SetWindowSize(windowState.window, usable.w, usable.h);
        }
    }
    SDL_ShowWindow(windowState.window);
    if (maximized) {
        SDL_MaximizeWindow(windowState.window);
        const Uint32 start = SDL_GetTicks();
        do {
            SDL_PumpEvents();
            if (SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_MAXIMIZED) break;
            SDL_Delay(10);
        } while (SDL_GetTicks() - start < maximizeWaitMs);
        if (!(SDL_GetWindowFlags(windowState.window) & SDL_WINDOW_MAXIMIZED)) fitFrameIntoUsableArea();
    }
    SDL_PumpEvents();
}

void setWindowTitle(const char* title) { SDL_SetWindowTitle(windowState.window, title); }

void setWindowMinimumSize(int width, int height) {
    // The window system knows no minimum of zero; it is simply none.
    if (width > 0 && height > 0) SDL_SetWindowMinimumSize(windowState.window, width, height);
}

void windowDrawableSize(int& width, int& height) {
    SDL_GL_GetDrawableSize(windowState.window, &width, &height);
}

void pollWindowEvents(InputTracker& tracker) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        // The panel hears everything; what it takes is left out of the
        // queries later, once it has said what it wants this frame.
        if (windowState.panelBackend) ImGui_ImplSDL2_ProcessEvent(&e);
        applyEvent(tracker, e);
    }
}

bool startWindowPanel() {
    windowState.panelBackend = ImGui_ImplSDL2_InitForOpenGL(windowState.window, SDL_GL_GetCurrentContext());
    return windowState.panelBackend;
}

void windowPanelNewFrame() { ImGui_ImplSDL2_NewFrame(); }

void stopWindowPanel() {
    if (!windowState.panelBackend) return;
    ImGui_ImplSDL2_Shutdown();
    windowState.panelBackend = false;
}

void waitForWindowEvent() { SDL_WaitEvent(nullptr); }

void presentWindow() {
    if (windowState.window) SDL_GL_SwapWindow(windowState.window);
}
