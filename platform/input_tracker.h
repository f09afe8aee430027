#pragma once
// Turns a stream of input events into the per-frame GuiInputState that the
// queries read. Both backends feed it: the offscreen backend with the events
// a script gives for a frame, the window backend with what one poll of the
// window system delivered.
//
// Rules every backend shares:
//   - mouseDown / keyDown and mouseUp are true only in the frame the event
//     arrives in; the wheel travel of one frame adds up and lasts that frame;
//   - a press and a release of the same button (or key) within one frame
//     shows as down and held in that frame and as up in the next, so that a
//     quick click is still seen as held for a whole frame;
//   - a release of Ctrl or Shift always shows in the next frame: a chord
//     whose modifier goes up in the same frame as its letter goes down (a
//     quick Ctrl+S on a slow frame) is still a chord;
//   - a close request, once made, stays (until the program dismisses it);
//   - a dropped file or folder lasts the frame it arrives in; the first of
//     a frame is the one kept.

#include <string>

#include "platform/gui.h"
#include "platform/gui_input.h"

enum class InputEventType { Move, Press, Release, Wheel, KeyDown, KeyUp, Close, Drop };

struct InputEvent {
    InputEventType type = InputEventType::Move;
    int x = 0, y = 0;                         // Move: widget pixels
    MouseButton button = MouseButton::Left;   // Press, Release
    Key key = Key::Escape;                    // KeyDown, KeyUp
    int wheelDelta = 0;                       // Wheel: 120 per notch
    std::string path;                         // Drop: the file or folder, as given
};

struct InputTracker {
    GuiInputState state;                  // the frame being built
    bool buttonReleaseDeferred[guiButtonCount] = {};   // released in the frame it went down
    bool keyReleaseDeferred[guiKeyCount] = {};
};

// Ends the previous frame's one-frame flags and applies the releases that
// were deferred from it. Call once before the events of a new frame.
void startInputFrame(InputTracker& tracker);
void applyInputEvent(InputTracker& tracker, const InputEvent& event);

// Converts wheel travel in notches (fractional on smooth-scrolling devices)
// to whole units of 120 per notch, carrying what is left over in remainder,
// so slow smooth scrolling still adds up instead of being dropped.
int takeWheelUnits(double& remainder, double notches);

// Whose each mouse button's gesture is while a panel is drawn over the
// widget: decided in the frame the button goes down, kept until it goes up.
struct PanelInputOwners {
    bool panel[guiButtonCount] = {};  // the panel took the gesture
};

// What the program's own stages see of `input` while a panel is drawn:
// without the gestures the panel took (down, held and up), without the wheel
// while the panel wants the mouse, and without any key while it wants the
// keyboard. A gesture that went down outside the panel keeps its events
// until its button goes up. `owners` carries the gestures to the next frame.
GuiInputState withoutPanelInput(const GuiInputState& input, PanelInputOwners& owners, bool panelWantsMouse,
                                bool panelWantsKeyboard);
