#pragma once
// The per-frame input state behind the gui queries. Both backends fill one of
// these each frame; tests of the stages that read input set it directly.

#include "platform/gui.h"

struct GuiInputState {
    bool closeRequest = false;
    int widgetWidth = 0;
    int widgetHeight = 0;
    int mouseX = 0;
    int mouseY = 0;
    int wheelDelta = 0;
    // Indexed by MouseButton value (1 left, 2 right); index 0 unused.
    bool buttonDown[3] = {};
    bool buttonHeld[3] = {};
    bool buttonUp[3] = {};
    // Keys the program asks about, in the order Escape, Home, Space, C, X.
    bool keyWentDown[5] = {};
    bool keyHeld[5] = {};
};

// Index of a key in GuiInputState's key arrays, or -1 for a key the program
// never asks about.
int guiKeyIndex(Key key);

// Replaces the current frame's input state. For tests of input-driven stages;
// the backends call it themselves at the start of every frame.
void guiSetInputState(const GuiInputState& state);
const GuiInputState& guiInputState();
