#pragma once
// The GL step of the preview particles: immediate-mode white points.

#include "flow/particles.h"

// Draws every particle as a 12-pixel smoothed white point at its picture
// position. Expects a current GL context whose projection maps picture
// coordinates to the window and texturing off. Leaves blending disabled and
// point smoothing enabled, with the colour white and the point size 12.
void drawParticles(const ParticleList& particles);
