#pragma once
// A fixture for the tests of guide editing: the process-wide guide list is
// empty and the edit tool chosen before each test, and frame() runs the
// interaction stages in the frame loop's order with the cursor given
// directly in picture units. The view is at scale 2: the grab radius of 14
// viewport pixels is 7 picture units, the delete radius of 32 is 16, both
// exact in float.

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "edit/history.h"
#include "edit/tools.h"
#include "edit/view.h"
#include "flow/guides.h"
#include "support/input_frame.h"

// Whether two guide lists hold the same guides in the same order.
inline bool sameGuides(const std::vector<GuideSegment>& a, const std::vector<GuideSegment>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].x0 != b[i].x0 || a[i].y0 != b[i].y0 || a[i].x1 != b[i].x1 || a[i].y1 != b[i].y1) return false;
    }
    return true;
}

class GuideEditingTest : public ::testing::Test {
protected:
    GuideEditingTest() { view.scale = 2.0f; }

    void SetUp() override {
        guideSegments.clear();
        ToolMode = toolEditGuides;
        InputFrame().apply();
    }
    void TearDown() override {
        guideSegments.clear();
        ToolMode = toolNone;
        InputFrame().apply();
    }

    // One frame of tool selection and guide editing.
    void frame(const InputFrame& input, Vec2 cursor) {
        input.apply();
        updateToolMode();
        updateGuideEditing(cursor, view, flowDirty, history);
    }

    View view;
    bool flowDirty = false;
    EditHistory history;
    ByteMask mask;  // what undo and redo of mask strokes would change
};
