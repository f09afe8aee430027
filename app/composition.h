#pragma once

#include "app/app_state.h"

// Draws the frame into the GL widget with the fixed-function pipeline, in
// picture coordinates under the view's projection: the animated picture, the
// preview particles, the overlay picture, and in the two brush modes the
// brush outline; then, when toggled on, the mask tint (under the brush
// outline) and the guides (over everything). With the toggles at their start
// values that is exactly the animation, particles, overlay and outline.
// Leaves point smoothing on, the colour white and the point size 12.
void composeFrame(AppState& state);

// Draws the frame as an exported video shows it, into the framebuffer bound
// now, which must be picture-sized: the animated picture and, when
// withOverlay and the scene has one, the overlay picture over it; no
// particles, no brush outline. The picture's top row lands in GL row 0, so
// a read-back returns rows top row first, as picture files store them.
// Leaves blending off.
void composePictureFrame(AppState& state, bool withOverlay);
