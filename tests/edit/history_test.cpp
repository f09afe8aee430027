// The edit history: each finished guide edit is one step, undo and redo
// restore the list exactly, a new edit drops the redo steps, a setting's
// step gives back the value to put into effect, and the history knows
// whether the current state is the saved one.

#include "edit/history.h"

#include <gtest/gtest.h>

#include <vector>

#include "edit/tools.h"
#include "support/guide_editing.h"
#include "support/input_frame.h"

namespace {

using Guides = std::vector<GuideSegment>;

class History : public GuideEditingTest {
protected:
    // A left drag from `from` to `to`, released there (with extra keys held
    // at the release).
    void drag(Vec2 from, Vec2 to, InputFrame release = InputFrame()) {
        frame(InputFrame().press(MouseButton::Left), from);
        frame(InputFrame().hold(MouseButton::Left), Vec2{(from.x + to.x) / 2, (from.y + to.y) / 2});
        frame(InputFrame().hold(MouseButton::Left), to);
        frame(release.release(MouseButton::Left), to);
        frame(InputFrame(), to);
    }
    void rightClick(Vec2 at) {
        frame(InputFrame().press(MouseButton::Right), at);
        frame(InputFrame().release(MouseButton::Right), at);
    }
};

TEST_F(History, EveryFinishedEditIsOneStepThatUndoAndRedoRestoreExactly) {
    std::vector<Guides> states{guideSegments};
    drag({3, 4}, {30, 40});                         // a new guide
    states.push_back(guideSegments);
    drag({100, 100}, {100.5f, 90.25f});             // another
    states.push_back(guideSegments);
    drag({31, 41}, {50, 20});                       // moves the first one's end
    states.push_back(guideSegments);
    rightClick({3, 4});                             // deletes the first guide
    states.push_back(guideSegments);
    drag({100, 100}, {100, 100});                   // grabs and lets go: no step
    drag({100, 100}, {60, 60}, InputFrame().key(Key::X));  // released in the paint tool: a step
    states.push_back(guideSegments);
    frame(InputFrame(), {0, 0});                    // back to the edit tool
    frame(InputFrame().press(MouseButton::Left), {0, 0});  // a drag still going on is no step
    guideSegments.pop_back();
    ASSERT_EQ(history.steps.size(), states.size() - 1);
    ASSERT_TRUE(sameGuides(guideSegments, states.back()));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_EQ(undoEdit(history, guideSegments, mask), StepTarget::Guides) << i;
        EXPECT_TRUE(sameGuides(guideSegments, states[i - 1])) << "after undoing step " << i;
    }
    EXPECT_EQ(undoEdit(history, guideSegments, mask), StepTarget::None);
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_EQ(redoEdit(history, guideSegments, mask), StepTarget::Guides) << i;
        EXPECT_TRUE(sameGuides(guideSegments, states[i])) << "after redoing step " << i;
    }
    EXPECT_EQ(redoEdit(history, guideSegments, mask), StepTarget::None);
}

TEST_F(History, ANewEditDropsTheRedoStepsAndTheSavedStateIsTracked) {
    EXPECT_FALSE(hasUnsavedSteps(history));
    drag({10, 10}, {20, 10});
    drag({50, 50}, {50, 60});
    EXPECT_TRUE(hasUnsavedSteps(history));
    markSaved(history);                     // saved with both guides
    EXPECT_FALSE(hasUnsavedSteps(history));
    ASSERT_EQ(undoEdit(history, guideSegments, mask), StepTarget::Guides);
    EXPECT_TRUE(hasUnsavedSteps(history));
    ASSERT_EQ(redoEdit(history, guideSegments, mask), StepTarget::Guides);
    EXPECT_FALSE(hasUnsavedSteps(history)) << "redone back to the saved state";
    drag({30, 30}, {35, 35});               // one new edit after the save ...
    EXPECT_TRUE(hasUnsavedSteps(history));
    ASSERT_EQ(undoEdit(history, guideSegments, mask), StepTarget::Guides);
    EXPECT_FALSE(hasUnsavedSteps(history)) << "... and its undo: saved again";

    ASSERT_EQ(undoEdit(history, guideSegments, mask), StepTarget::Guides);
    drag({80, 80}, {90, 90});               // replaces the undone guide
    EXPECT_EQ(redoEdit(history, guideSegments, mask), StepTarget::None);
    ASSERT_EQ(guideSegments.size(), 2u);
    EXPECT_EQ(guideSegments[1].x0, 80.0f);
    ASSERT_EQ(undoEdit(history, guideSegments, mask), StepTarget::Guides);
    EXPECT_TRUE(hasUnsavedSteps(history)) << "the saved state can no longer be reached";

    // A step whose guide is gone (the list replaced behind the history's
    // back) is refused without touching the list.
    guideSegments.clear();
    EXPECT_EQ(undoEdit(history, guideSegments, mask), StepTarget::None);
    EXPECT_TRUE(guideSegments.empty());
}

TEST_F(History, ASettingsStepGivesBackTheValueItsUndoOrRedoPutsIntoEffect) {
    recordEdit(history, SettingEdit{Setting::FlowScale, 2.0f, 2.5f});
    drag({10, 10}, {20, 10});
    recordEdit(history, SettingEdit{Setting::Freeze, 0.0f, 1.0f});
    SettingValue value;
    ASSERT_EQ(undoEdit(history, guideSegments, mask, &value), StepTarget::Setting);
    EXPECT_EQ(value.setting, Setting::Freeze);
    EXPECT_EQ(value.value, 0.0f);
    // Without a place for the value a setting's step is not taken.
    EXPECT_EQ(redoEdit(history, guideSegments, mask), StepTarget::None);
    ASSERT_EQ(undoEdit(history, guideSegments, mask, &value), StepTarget::Guides);
    EXPECT_TRUE(guideSegments.empty());
    ASSERT_EQ(undoEdit(history, guideSegments, mask, &value), StepTarget::Setting);
    EXPECT_EQ(value.setting, Setting::FlowScale);
    EXPECT_EQ(value.value, 2.0f);
    ASSERT_EQ(redoEdit(history, guideSegments, mask, &value), StepTarget::Setting);
    EXPECT_EQ(value.value, 2.5f);
    EXPECT_TRUE(hasUnsavedSteps(history));
}

}  // namespace
