#pragma once

#include "app/app_state.h"

// Draws the frame into the GL widget with the fixed-function pipeline, in
// picture coordinates under the view's projection: the animated picture, the
// preview particles, the overlay picture, and in the two brush modes the
// brush outline. Leaves point smoothing on, the colour white, the point size
// 12 and the overlay texture bound on unit 0.
void composeFrame(AppState& state);

// A closed outline of 40 segments in the current colour; the first vertex
// lies at angle 0, to the right of the centre.
void drawCircleOutline(Vec2 centre, float radius);
