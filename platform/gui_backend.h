#pragma once
// The two backends behind gui.h, as gui.cpp drives them. Internal to the
// platform layer.

#include <string>

#include "platform/input_tracker.h"

// Whether guiInit chose the offscreen backend (false before guiInit).
bool guiIsOffscreen();

// ---- offscreen: EGL without any display --------------------------------------
// The widget's target is an EGL pbuffer of the given size, so framebuffer 0
// is real. Failures end the process through fatalError.
void* createOffscreenContext(int width, int height);
void destroyOffscreenContext(void* context);
// Makes the context current on a widget target of this size, re-making the
// target when the size changed since the last call.
void makeOffscreenCurrent(void* context, int width, int height);
// Reads framebuffer 0 and writes it to path as an RGBA PNG, top row first.
// Leaves the GL state as it found it.
bool writeOffscreenGrab(const std::string& path, int width, int height);

// ---- window: SDL2 --------------------------------------------------------------
// Starts SDL video; without a usable display prints one line and exits 1.
void startWindowSystem();
void* createWindowContext();
void destroyWindowContext(void* context);
void makeWindowCurrent(void* context);
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
