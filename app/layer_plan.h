#pragma once
// The decision of the animation's scheduling, alone: which UV layer is reset
// in a frame, by how much each layer is advected, and the blend weights of
// the displace pass. Plain arithmetic, no GL: the window's scheduling
// (app/schedule.h) and the export's timing both run it.

#include <array>

struct LayerPlan {
    bool reset[3];     // the layer's cycle ended: reset it to the identity first
    float step[3];     // seconds to advect the layer by in this frame
    float weight[3];   // the layer's weight in the displace pass
};

// Decides this frame's passes for time t (seconds) and moves each due layer's
// phase forward by whole periods (3 * phaseSpacing) until
// phase < t <= phase + period. A phaseSpacing that isUsablePhaseSpacing
// refuses would make no usable period; the default 0.5 s is used instead.
// The catch-up adds one period at a time, as long as that stays short; beyond
// 65536 periods (a long stall, or a period too small to move the phase in
// double precision) it jumps by a computed number of them, so it always ends.
LayerPlan planLayers(double t, float advectStep, float phaseSpacing,
                     std::array<double, 3>& layerPhase);

// Lays the phases out for a new spacing at time t (the loop length changed
// during the run): each layer keeps the fraction of its cycle it has reached,
// so at t every weight is what it was and the picture does not jump; the
// phases are then exactly the new spacing apart, as the weights' sum of 1
// needs, and each layer is next reset where its weight is 0 again. A layer's
// mapping stays as old as it is until then, so the new loop settles within
// one period, as after a reset. Spacings that isUsablePhaseSpacing refuses
// count as the default 0.5 s, as in planLayers.
void rephaseLayers(double t, float oldSpacing, float newSpacing, std::array<double, 3>& layerPhase);

// The displace weight of a layer `age` seconds into its cycle:
// (1 - cos(2 pi age / (3 phaseSpacing))) / 3, as planLayers forms it. Two
// layers of the same age get the same weight, to the last bit.
float layerWeight(double age, float phaseSpacing);

// The phase spacings the window shows as a loop, in seconds. Shorter than
// 0.05 s, a layer's whole cycle (3 * spacing) spans fewer than nine frames
// of a 60 Hz display: the cross-fade becomes flicker and the layers are reset
// before anything has moved. Longer than 60 s (a cycle of three minutes) the
// layers carry the picture so far before each reset that no loop is seen
// while someone watches. A document may hold anything isUsablePhaseSpacing
// takes (1 ms to a million seconds); the window runs it at the nearest of
// these bounds and says so.
constexpr float kShortestShownPhaseSpacing = 0.05f;
constexpr float kLongestShownPhaseSpacing = 60.0f;

// The spacing the window runs `spacing` at: itself within the bounds above,
// else the nearer bound.
float shownPhaseSpacing(float spacing);
