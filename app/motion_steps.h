#pragma once
// The steps of the speed (- and =) and of the loop length (, and .): plain
// arithmetic on flowScale and phaseSpacing, which app/motion.h puts into
// effect.

#include <cstddef>
#include <iterator>

// Which way a key steps a setting.
enum class MotionStep { Down, Up };

// One step of the speed multiplies or divides flowScale by this.
constexpr float kSpeedStepFactor = 1.25f;
// flowScale is kept within the default divided and multiplied by this.
constexpr float kSpeedRange = 1000.0f;

// The loop lengths , and . step through, in seconds of phaseSpacing (the
// animation repeats every phaseSpacing; a layer's cycle lasts three times
// that): steps of about the square root of two.
inline constexpr float loopLengthLadder[] = {0.25f, 0.35f, 0.5f, 0.7f, 1.0f, 1.4f, 2.0f, 2.8f, 4.0f, 5.6f, 8.0f};
constexpr std::size_t loopLengthSteps = std::size(loopLengthLadder);

// flowScale after one step: times kSpeedStepFactor up, divided by it down,
// the sign kept, the size clamped to [default / kSpeedRange, default *
// kSpeedRange]. A value reached by whole steps from the default is the
// default times a whole power of 1.25, so steps up and back down return to
// the default exactly. The same value when it cannot move that way (at a
// bound, or 0 stepped down).
float steppedFlowScale(float flowScale, MotionStep step);

// phaseSpacing after one step: the next length of loopLengthLadder in that
// direction (a spacing between two lengths goes to the nearer one that
// way). The same spacing when there is none.
float steppedPhaseSpacing(float phaseSpacing, MotionStep step);

// The speed as the user reads it: flowScale as a factor of the default.
double speedFactor(float flowScale);
