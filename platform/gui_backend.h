#pragma once
// The two backends behind gui.h, as gui.cpp drives them. Internal to the
// platform layer.

#include <string>

#include "platform/input_tracker.h"

// Every call that can fail returns false (or null) with one line in `error`.

// ---- offscreen: EGL without any display --------------------------------------
// The widget's target is an EGL pbuffer of the given size, so framebuffer 0
// is real.
void* createOffscreenContext(int width, int height, std::string& error);
void destroyOffscreenContext(void* context);
// Makes the context current on a widget target of this size, re-making the
// target when the size changed since the last call. On failure what was
// current stays current.
bool makeOffscreenCurrent(void* context, int width, int height, std::string& error);
// Reads framebuffer 0 and writes it to path as an RGBA PNG, top row first.
// Leaves the GL state as it found it.
bool writeOffscreenGrab(const std::string& path, int width, int height);

// ---- window: SDL2 --------------------------------------------------------------
// Starts SDL video; fails without a usable display.
bool startWindowSystem(std::string& error);
void* createWindowContext(std::string& error);
void destroyWindowContext(void* context);
bool makeWindowCurrent(void* context, std::string& error);
// Shows the window the first time, maximised to the usable screen if asked:
// the window manager's frame included, it stays within the usable area.
void showWindow(const char* title, bool maximized);
void setWindowTitle(const char* title);
// The smallest size the window may be given, in window coordinates.
void setWindowMinimumSize(int width, int height);
void windowDrawableSize(int& width, int& height);
// Takes in every pending event without waiting and feeds the tracker.
void pollWindowEvents(InputTracker& tracker);
void presentWindow();
// Blocks until at least one event is pending.
void waitForWindowEvent();
// The panel's window side: Dear ImGui's SDL2 platform backend on the
// window, which pollWindowEvents then feeds every event.
bool startWindowPanel();
void windowPanelNewFrame();
void stopWindowPanel();

// ---- the panel: Dear ImGui (gui_panel.cpp) ---------------------------------------
// Starts Dear ImGui on its first call, then one frame of it: fed from the
// window's events, or offscreen from `input` on a clock of frameSeconds a
// frame. Says whether the panel wants the mouse and the keyboard in this
// frame; false when Dear ImGui could not start (no panel then).
bool startPanelFrame(const GuiInputState& input, bool offscreen, double frameSeconds, bool& wantsMouse,
                     bool& wantsKeyboard);
// Ends the frame and draws it into the current framebuffer.
void drawPanelFrame();
bool panelTakesKeyboard();
// Gives back the context, the font texture and the backends.
void stopPanel();
