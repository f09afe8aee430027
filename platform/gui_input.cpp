#include "platform/gui_input.h"

#include <cstddef>

namespace {
// The library's one input state: what the queries of the current frame see.
GuiInputState currentInput;

// The slot of `value` in `table`, or -1.
template <typename T, std::size_t N>
int indexIn(const T (&table)[N], T value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i] == value) return static_cast<int>(i);
    }
    return -1;
}

// Whether the entry of `value` in one of the state's arrays is set; false for
// a key or button outside the table.
bool isSet(const bool* entries, int index) { return index >= 0 && entries[index]; }
}  // namespace

int guiKeyIndex(Key key) { return indexIn(guiKeys, key); }
int guiButtonIndex(MouseButton button) { return indexIn(guiButtons, button); }

void guiSetInputState(const GuiInputState& state) { currentInput = state; }
const GuiInputState& guiInputState() { return currentInput; }

bool windowCloseRequest() { return currentInput.closeRequest; }
int widgetWidth() { return currentInput.widgetWidth; }
int widgetHeight() { return currentInput.widgetHeight; }
int mouseX() { return currentInput.mouseX; }
int mouseY() { return currentInput.mouseY; }
bool mouseDown(MouseButton button) { return isSet(currentInput.buttonDown, guiButtonIndex(button)); }
bool mousePressed(MouseButton button) { return isSet(currentInput.buttonHeld, guiButtonIndex(button)); }
bool mouseUp(MouseButton button) { return isSet(currentInput.buttonUp, guiButtonIndex(button)); }
bool keyDown(Key key) { return isSet(currentInput.keyWentDown, guiKeyIndex(key)); }
bool keyPressed(Key key) { return isSet(currentInput.keyHeld, guiKeyIndex(key)); }

int mouseWheelDelta() { return currentInput.wheelDelta; }
const std::string& droppedPath() { return currentInput.droppedPath; }
