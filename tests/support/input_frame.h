#pragma once
// One frame of GUI input for the tests of the interaction stages, built by
// chaining: InputFrame().at(10, 20).press(MouseButton::Left).apply().

#include "platform/gui_input.h"

struct InputFrame {
    GuiInputState state;

    InputFrame() {
        state.widgetWidth = 1024;
        state.widgetHeight = 1024;
    }
    InputFrame& at(int x, int y) {
        state.mouseX = x;
        state.mouseY = y;
        return *this;
    }
    // Went down this frame, and is held from now on.
    InputFrame& press(MouseButton button) {
        state.buttonDown[guiButtonIndex(button)] = true;
        state.buttonHeld[guiButtonIndex(button)] = true;
        return *this;
    }
    InputFrame& hold(MouseButton button) {
        state.buttonHeld[guiButtonIndex(button)] = true;
        return *this;
    }
    // Went up this frame, so no longer held.
    InputFrame& release(MouseButton button) {
        state.buttonUp[guiButtonIndex(button)] = true;
        return *this;
    }
    // Held; wentDown also reports it as going down this frame.
    InputFrame& key(Key key, bool wentDown = false) {
        state.keyHeld[guiKeyIndex(key)] = true;
        state.keyWentDown[guiKeyIndex(key)] = wentDown;
        return *this;
    }
    // Went down this frame but is not held (tapped within the frame).
    InputFrame& tap(Key key) {
        state.keyWentDown[guiKeyIndex(key)] = true;
        return *this;
    }
    InputFrame& wheel(int delta) {
        state.wheelDelta = delta;
        return *this;
    }
    void apply() const { guiSetInputState(state); }
};
