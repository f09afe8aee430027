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
//   - a close request, once made, stays.

#include "platform/gui.h"
#include "platform/gui_input.h"

enum class InputEventType { Move, Press, Release, Wheel, KeyDown, KeyUp, Close };

struct InputEvent {
    InputEventType type = InputEventType::Move;
    int x = 0, y = 0;                         // Move: widget pixels
    MouseButton button = MouseButton::Left;   // Press, Release
    Key key = Key::Escape;                    // KeyDown, KeyUp
    int wheelDelta = 0;                       // Wheel: 120 per notch
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
