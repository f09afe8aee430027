#pragma once
// The per-frame input state behind the gui queries. Both backends fill one of
// these each frame; tests of the stages that read input set it directly.

#include <cstddef>
#include <iterator>
#include <string>

#include "platform/gui.h"

// Every key and button of the table in gui_keys.h, in table order; a key's or
// button's place here is its slot in the arrays of GuiInputState.
#define STILLFLOW_KEY_ENTRY(name, ...) Key::name,
constexpr Key guiKeys[] = {STILLFLOW_GUI_KEYS(STILLFLOW_KEY_ENTRY)};
#undef STILLFLOW_KEY_ENTRY
#define STILLFLOW_BUTTON_ENTRY(name, ...) MouseButton::name,
constexpr MouseButton guiButtons[] = {STILLFLOW_GUI_BUTTONS(STILLFLOW_BUTTON_ENTRY)};
#undef STILLFLOW_BUTTON_ENTRY
constexpr std::size_t guiKeyCount = std::size(guiKeys);
constexpr std::size_t guiButtonCount = std::size(guiButtons);

struct GuiInputState {
    bool closeRequest = false;
    int widgetWidth = 0;
    int widgetHeight = 0;
    int mouseX = 0;
    int mouseY = 0;
    int wheelDelta = 0;
    // Indexed by guiButtonIndex.
    bool buttonDown[guiButtonCount] = {};
    bool buttonHeld[guiButtonCount] = {};
    bool buttonUp[guiButtonCount] = {};
    // Indexed by guiKeyIndex.
    bool keyWentDown[guiKeyCount] = {};
    bool keyHeld[guiKeyCount] = {};
    std::string droppedPath;   // dropped on the window this frame; empty: nothing
};

// The slot of a key or button in GuiInputState's arrays, or -1 for one that
// is not in the table (and so is never down).
int guiKeyIndex(Key key);
int guiButtonIndex(MouseButton button);

// Replaces the current frame's input state. For tests of input-driven stages;
// the backends call it themselves at the start of every frame.
void guiSetInputState(const GuiInputState& state);
const GuiInputState& guiInputState();
