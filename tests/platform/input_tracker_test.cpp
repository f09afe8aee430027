// How input events become the per-frame state the queries read.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gui.h"
#include "platform/gui_input.h"
#include "platform/input_tracker.h"

namespace {
InputEvent press(MouseButton b) { InputEvent e; e.type = InputEventType::Press; e.button = b; return e; }
InputEvent release(MouseButton b) { InputEvent e; e.type = InputEventType::Release; e.button = b; return e; }
InputEvent keyDownEvent(Key k) { InputEvent e; e.type = InputEventType::KeyDown; e.key = k; return e; }
InputEvent keyUpEvent(Key k) { InputEvent e; e.type = InputEventType::KeyUp; e.key = k; return e; }
InputEvent wheel(int d) { InputEvent e; e.type = InputEventType::Wheel; e.wheelDelta = d; return e; }
InputEvent move(int x, int y) { InputEvent e; e.type = InputEventType::Move; e.x = x; e.y = y; return e; }
InputEvent closeEvent() { InputEvent e; e.type = InputEventType::Close; return e; }

// What one frame's queries should answer, for the left button and Space.
struct Expected {
    bool down, held, up;
    bool keyWentDown, keyHeld;
};

// Runs frames through a tracker, publishing each as the library does, and
// checks the queries of every frame.
void runFrames(const std::vector<std::vector<InputEvent>>& frames, const std::vector<Expected>& expected,
               MouseButton button, Key key) {
    InputTracker tracker;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        startInputFrame(tracker);
        for (const auto& e : frames[f]) applyInputEvent(tracker, e);
        guiSetInputState(tracker.state);
        const Expected& x = expected[f];
        EXPECT_EQ(mouseDown(button), x.down) << "frame " << f;
        EXPECT_EQ(mousePressed(button), x.held) << "frame " << f;
        EXPECT_EQ(mouseUp(button), x.up) << "frame " << f;
        EXPECT_EQ(keyDown(key), x.keyWentDown) << "frame " << f;
        EXPECT_EQ(keyPressed(key), x.keyHeld) << "frame " << f;
    }
}
}  // namespace

TEST(InputTracker, PressHoldReleaseShowDownHeldAndUpInTheirFrames) {
    const auto L = MouseButton::Left;
    const auto K = Key::Space;
    runFrames({{press(L), keyDownEvent(K)}, {}, {release(L), keyUpEvent(K)}, {}},
              {{true, true, false, true, true},
               {false, true, false, false, true},
               {false, false, true, false, false},
               {false, false, false, false, false}},
              L, K);
}

TEST(InputTracker, AClickWithinOneFrameIsHeldForThatFrameAndUpInTheNext) {
    const auto R = MouseButton::Right;
    const auto K = Key::Home;
    runFrames({{press(R), release(R), keyDownEvent(K), keyUpEvent(K)}, {}, {}},
              {{true, true, false, true, true},
               {false, false, true, false, false},
               {false, false, false, false, false}},
              R, K);
    // A second press before the deferred release showed keeps it held.
    runFrames({{press(R), release(R), press(R)}, {}, {release(R)}},
              {{true, true, false, false, false},
               {false, true, false, false, false},
               {false, false, true, false, false}},
              R, K);
}

// Ctrl (or Shift) going up in the frame its letter goes down, before or
// after it, is still held in that frame, so the chord is seen; it is up in
// the next.
TEST(InputTracker, AModifierReleasedWithItsLetterIsHeldThroughThatFrame) {
    for (const Key modifier : {Key::Ctrl, Key::Shift}) {
        for (const bool releaseFirst : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "modifier " << static_cast<int>(modifier) << ", release first "
                                              << releaseFirst);
            InputTracker tracker;
            startInputFrame(tracker);
            applyInputEvent(tracker, keyDownEvent(modifier));
            startInputFrame(tracker);
            if (releaseFirst) applyInputEvent(tracker, keyUpEvent(modifier));
            applyInputEvent(tracker, keyDownEvent(Key::S));
            if (!releaseFirst) applyInputEvent(tracker, keyUpEvent(modifier));
            guiSetInputState(tracker.state);
            EXPECT_TRUE(keyDown(Key::S));
            EXPECT_TRUE(keyPressed(modifier));
            startInputFrame(tracker);
            guiSetInputState(tracker.state);
            EXPECT_FALSE(keyPressed(modifier));
            EXPECT_TRUE(keyPressed(Key::S));
        }
    }
}

TEST(InputTracker, RepeatsAndStrayReleasesChangeNothing) {
    const auto L = MouseButton::Left;
    const auto K = Key::X;
    runFrames({{release(L), keyUpEvent(K)}, {press(L), keyDownEvent(K)}, {press(L), keyDownEvent(K)}},
              {{false, false, false, false, false},
               {true, true, false, true, true},
               {false, true, false, false, true}},
              L, K);

    // A stray Ctrl release (Ctrl was not down) followed, in the same frame,
    // by Ctrl and S going down: Ctrl is held, so Ctrl+S is seen, and stays
    // held in the next frame.
    InputTracker tracker;
    startInputFrame(tracker);
    for (const InputEvent& e : {keyUpEvent(Key::Ctrl), keyDownEvent(Key::Ctrl), keyDownEvent(Key::S)}) {
        applyInputEvent(tracker, e);
    }
    guiSetInputState(tracker.state);
    EXPECT_TRUE(keyPressed(Key::Ctrl));
    EXPECT_TRUE(keyDown(Key::S));
    startInputFrame(tracker);
    guiSetInputState(tracker.state);
    EXPECT_TRUE(keyPressed(Key::Ctrl)) << "no release is left over for the next frame";
}

TEST(InputTracker, ButtonsAndKeysAreIndependent) {
    InputTracker tracker;
    startInputFrame(tracker);
    applyInputEvent(tracker, press(MouseButton::Right));
    applyInputEvent(tracker, keyDownEvent(Key::C));
    guiSetInputState(tracker.state);
    EXPECT_FALSE(mousePressed(MouseButton::Left));
    EXPECT_TRUE(mousePressed(MouseButton::Right));
    for (Key k : {Key::Escape, Key::Home, Key::Space, Key::X}) EXPECT_FALSE(keyPressed(k));
    EXPECT_TRUE(keyPressed(Key::C));
    EXPECT_FALSE(keyPressed(static_cast<Key>(0x41))) << "a key the program never asks about";
}

TEST(InputTracker, WheelAddsUpWithinAFrameOnlyAndMovesAndCloseStay) {
    InputTracker tracker;
    startInputFrame(tracker);
    applyInputEvent(tracker, wheel(120));
    applyInputEvent(tracker, wheel(-360));
    applyInputEvent(tracker, move(5, 7));
    applyInputEvent(tracker, move(-3, 900));
    guiSetInputState(tracker.state);
    EXPECT_EQ(mouseWheelDelta(), -240);
    EXPECT_EQ(mouseX(), -3);
    EXPECT_EQ(mouseY(), 900);
    EXPECT_FALSE(windowCloseRequest());
    startInputFrame(tracker);
    applyInputEvent(tracker, closeEvent());
    guiSetInputState(tracker.state);
    EXPECT_EQ(mouseWheelDelta(), 0);
    EXPECT_EQ(mouseX(), -3);
    EXPECT_TRUE(windowCloseRequest());
    startInputFrame(tracker);
    guiSetInputState(tracker.state);
    EXPECT_TRUE(windowCloseRequest()) << "a close request stays";
}

TEST(InputTracker, KeyValuesAreTheLibrarysCodes) {
    EXPECT_EQ(static_cast<int>(Key::Escape), 0x01000000);
    EXPECT_EQ(static_cast<int>(Key::Home), 0x01000010);
    EXPECT_EQ(static_cast<int>(Key::Space), 0x20);
    EXPECT_EQ(static_cast<int>(Key::C), 0x43);
    EXPECT_EQ(static_cast<int>(Key::X), 0x58);
    EXPECT_EQ(static_cast<int>(Key::Ctrl), 0x01000021);
    EXPECT_EQ(static_cast<int>(Key::Shift), 0x01000020);
    EXPECT_EQ(static_cast<int>(Key::S), 0x53);
    EXPECT_EQ(static_cast<int>(Key::Z), 0x5A);
    EXPECT_EQ(static_cast<int>(MouseButton::Left), 1);
    EXPECT_EQ(static_cast<int>(MouseButton::Right), 2);
}

TEST(WheelUnits, FractionalNotchesAddUpInsteadOfBeingDropped) {
    double remainder = 0.0;
    EXPECT_EQ(takeWheelUnits(remainder, 1.0), 120);
    EXPECT_EQ(takeWheelUnits(remainder, -2.0), -240);
    // A smooth-scrolling device: a tenth of a notch at a time.
    int total = 0;
    for (int i = 0; i < 25; ++i) total += takeWheelUnits(remainder, 0.1);
    EXPECT_EQ(total, 300);
    EXPECT_NEAR(remainder, 0.0, 1e-9);
    EXPECT_EQ(takeWheelUnits(remainder, 0.004), 0);
    EXPECT_EQ(takeWheelUnits(remainder, 0.005), 1) << "0.48 + 0.6 units make one";
}

TEST(InputTracker, ADropLastsItsFrameAndTheFirstOfAFrameIsKept) {
    InputTracker tracker;
    InputEvent first;
    first.type = InputEventType::Drop;
    first.path = "/photos/a lake.jpg";
    InputEvent second = first;
    second.path = "/photos/other.jpg";
    startInputFrame(tracker);
    applyInputEvent(tracker, first);
    applyInputEvent(tracker, second);
    guiSetInputState(tracker.state);
    EXPECT_EQ(droppedPath(), "/photos/a lake.jpg");
    startInputFrame(tracker);
    guiSetInputState(tracker.state);
    EXPECT_EQ(droppedPath(), "");
}

namespace {
// One frame of what the panel says and what the program's stages then see
// of the left button and the wheel, and of Space.
struct PanelFrame {
    std::vector<InputEvent> events;
    bool panelWantsMouse, panelWantsKeyboard;
    bool down, held, up;  // the left button as the stages see it
    int wheel;
    bool spaceHeld;
};

void runPanelFrames(const char* name, const std::vector<PanelFrame>& frames) {
    InputTracker tracker;
    PanelInputOwners owners;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const PanelFrame& frame = frames[f];
        startInputFrame(tracker);
        for (const InputEvent& e : frame.events) applyInputEvent(tracker, e);
        guiSetInputState(withoutPanelInput(tracker.state, owners, frame.panelWantsMouse, frame.panelWantsKeyboard));
        EXPECT_EQ(mouseDown(MouseButton::Left), frame.down) << name << ", frame " << f;
        EXPECT_EQ(mousePressed(MouseButton::Left), frame.held) << name << ", frame " << f;
        EXPECT_EQ(mouseUp(MouseButton::Left), frame.up) << name << ", frame " << f;
        EXPECT_EQ(mouseWheelDelta(), frame.wheel) << name << ", frame " << f;
        EXPECT_EQ(keyPressed(Key::Space), frame.spaceHeld) << name << ", frame " << f;
    }
}
}  // namespace

TEST(PanelInput, ThePanelKeepsWhatItTakesAndNeverCutsAGestureOfTheCanvas) {
    const auto L = MouseButton::Left;
    // A click on the panel: none of it reaches the stages, also when the
    // pointer leaves the panel before the button goes up.
    runPanelFrames("click on the panel", {{{press(L)}, true, false, false, false, false, 0, false},
                                          {{move(400, 300)}, false, false, false, false, false, 0, false},
                                          {{release(L)}, false, false, false, false, false, 0, false},
                                          {{press(L)}, false, false, true, true, false, 0, false}});
    // A drag that began on the picture keeps every event, over the panel too.
    runPanelFrames("drag from the picture", {{{press(L)}, false, false, true, true, false, 0, false},
                                             {{move(10, 10)}, true, false, false, true, false, 0, false},
                                             {{release(L)}, true, false, false, false, true, 0, false}});
    // A quick click on the panel, down and up within one frame.
    runPanelFrames("quick click", {{{press(L), release(L)}, true, false, false, false, false, 0, false},
                                   {{}, true, false, false, false, false, 0, false},
                                   {{press(L)}, false, false, true, true, false, 0, false}});
    // The wheel over the panel scrolls the panel; keys go to a field being edited.
    runPanelFrames("wheel and keys", {{{wheel(120), keyDownEvent(Key::Space)}, true, true, false, false, false, 0, false},
                                      {{wheel(-240)}, false, false, false, false, false, -240, true}});
}
