#include "platform/gui_input.h"

namespace {
// The library's one input state: what the queries of the current frame see.
GuiInputState currentInput;

int buttonIndex(MouseButton button) {
    const int index = static_cast<int>(button);
    return index == 1 || index == 2 ? index : 0;  // index 0 is never set
}
}  // namespace

int guiKeyIndex(Key key) {
    switch (key) {
    case Key::Escape: return 0;
    case Key::Home: return 1;
    case Key::Space: return 2;
    case Key::C: return 3;
    case Key::X: return 4;
    }
    return -1;
}

void guiSetInputState(const GuiInputState& state) { currentInput = state; }
const GuiInputState& guiInputState() { return currentInput; }

bool windowCloseRequest() { return currentInput.closeRequest; }
int widgetWidth() { return currentInput.widgetWidth; }
int widgetHeight() { return currentInput.widgetHeight; }
int mouseX() { return currentInput.mouseX; }
int mouseY() { return currentInput.mouseY; }
bool mouseDown(MouseButton button) { return currentInput.buttonDown[buttonIndex(button)]; }
bool mousePressed(MouseButton button) { return currentInput.buttonHeld[buttonIndex(button)]; }
bool mouseUp(MouseButton button) { return currentInput.buttonUp[buttonIndex(button)]; }

bool keyDown(Key key) {
    const int k = guiKeyIndex(key);
    return k >= 0 && currentInput.keyWentDown[k];
}

bool keyPressed(Key key) {
    const int k = guiKeyIndex(key);
    return k >= 0 && currentInput.keyHeld[k];
}

int mouseWheelDelta() { return currentInput.wheelDelta; }
