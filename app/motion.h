#pragma once
// Directing the motion besides the guides: the freeze (K), the brush size
// ([ and ]), the speed (- and =) and the loop length (, and .). Each change
// is one step of the edit history and leaves the document unsaved; a change
// that cannot go further (a bound reached) is no step. The keys call these,
// and any other control should call the same functions.

#include "app/app_state.h"
#include "app/motion_steps.h"
#include "edit/brush.h"
#include "edit/history.h"

// K: the freeze on or off; the flow is synthesised again.
void toggleFreeze(AppState& state);

// [ halves, ] doubles the brush radius, within 1 .. 1024 picture pixels.
void stepBrushRadius(AppState& state, RadiusStep step);

// - divides, = multiplies flowScale by 1.25 (motion_steps.h); the flow is
// synthesised again.
void stepSpeed(AppState& state, MotionStep step);

// , and . step phaseSpacing through the loop lengths of motion_steps.h; the
// layers are re-phased at this frame's time (rephaseLayers), so the picture
// goes on without a jump.
void stepLoopLength(AppState& state, MotionStep step);

// Puts a setting's value into effect as its keys do, but as no step of the
// history: what undo and redo of a setting's step do.
void applySetting(AppState& state, const SettingValue& setting);
