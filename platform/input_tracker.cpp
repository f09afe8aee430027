#include "platform/input_tracker.h"

#include <cmath>
#include <cstddef>

namespace {
void press(bool& wentDown, bool& held, bool& deferred) {
    if (deferred) {
        // Pressed again before the deferred release was shown: it simply
        // stays held.
        deferred = false;
        return;
    }
    if (held) return;
    held = true;
    wentDown = true;
}

void release(bool& wentDown, bool& held, bool* wentUp, bool& deferred) {
    if (!held) return;
    if (wentDown) {
        // Seen as held for this whole frame; the release shows next frame.
        deferred = true;
        return;
    }
    held = false;
    if (wentUp) *wentUp = true;
}
}  // namespace

void startInputFrame(InputTracker& tracker) {
    GuiInputState& s = tracker.state;
    s.wheelDelta = 0;
    s.droppedPath.clear();
    for (std::size_t b = 0; b < guiButtonCount; ++b) {
        s.buttonDown[b] = false;
        s.buttonUp[b] = false;
        if (tracker.buttonReleaseDeferred[b]) {
            tracker.buttonReleaseDeferred[b] = false;
            s.buttonHeld[b] = false;
            s.buttonUp[b] = true;
        }
    }
    for (std::size_t k = 0; k < guiKeyCount; ++k) {
        s.keyWentDown[k] = false;
        if (tracker.keyReleaseDeferred[k]) {
            tracker.keyReleaseDeferred[k] = false;
            s.keyHeld[k] = false;
        }
    }
}

void applyInputEvent(InputTracker& tracker, const InputEvent& event) {
    GuiInputState& s = tracker.state;
    switch (event.type) {
    case InputEventType::Move:
        s.mouseX = event.x;
        s.mouseY = event.y;
        break;
    case InputEventType::Press: {
        const int b = guiButtonIndex(event.button);
        if (b < 0) break;
        press(s.buttonDown[b], s.buttonHeld[b], tracker.buttonReleaseDeferred[b]);
        break;
    }
    case InputEventType::Release: {
        const int b = guiButtonIndex(event.button);
        if (b < 0) break;
        release(s.buttonDown[b], s.buttonHeld[b], &s.buttonUp[b], tracker.buttonReleaseDeferred[b]);
        break;
    }
    case InputEventType::Wheel:
        s.wheelDelta += event.wheelDelta;
        break;
    case InputEventType::KeyDown: {
        const int k = guiKeyIndex(event.key);
        if (k < 0) break;
        press(s.keyWentDown[k], s.keyHeld[k], tracker.keyReleaseDeferred[k]);
        break;
    }
    case InputEventType::KeyUp: {
        const int k = guiKeyIndex(event.key);
        if (k < 0) break;
        const bool modifier = event.key == Key::Ctrl || event.key == Key::Shift;
        if (modifier && s.keyHeld[k]) {
            tracker.keyReleaseDeferred[k] = true;
            break;
        }
        release(s.keyWentDown[k], s.keyHeld[k], nullptr, tracker.keyReleaseDeferred[k]);
        break;
    }
    case InputEventType::Close:
        s.closeRequest = true;
        break;
    case InputEventType::Drop:
        if (s.droppedPath.empty()) s.droppedPath = event.path;
        break;
    }
}

int takeWheelUnits(double& remainder, double notches) {
    constexpr double unitsPerNotch = 120.0;  // the wheel delta of one notch
    remainder += notches * unitsPerNotch;
    const double whole = std::trunc(remainder);
    remainder -= whole;
    return static_cast<int>(whole);
}

GuiInputState withoutPanelInput(const GuiInputState& input, PanelInputOwners& owners, bool panelWantsMouse,
                                bool panelWantsKeyboard) {
    GuiInputState shown = input;
    for (std::size_t b = 0; b < guiButtonCount; ++b) {
        if (input.buttonDown[b]) owners.panel[b] = panelWantsMouse;
        if (owners.panel[b]) {
            shown.buttonDown[b] = false;
            shown.buttonHeld[b] = false;
            shown.buttonUp[b] = false;
        }
        // The gesture ends with its button up; the next one decides anew.
        if (!input.buttonHeld[b] && !input.buttonDown[b]) owners.panel[b] = false;
    }
    if (panelWantsMouse) shown.wheelDelta = 0;
    if (panelWantsKeyboard) {
        for (std::size_t k = 0; k < guiKeyCount; ++k) {
            shown.keyWentDown[k] = false;
            shown.keyHeld[k] = false;
        }
    }
    return shown;
}
