#pragma once
// Preview particles: 500 points that drift through the flow field on the CPU,
// independent of the GPU animation. Plain CPU code; drawing them is
// gpu/drawing.h's drawParticles, called by the composition.
//
// All randomness comes from particleRandom, one process-wide generator used by
// nothing else and never reseeded, so every run scatters the same way.

#include <array>
#include <cstdint>

#include "flow/grid.h"

constexpr int particleCount = 500;
using ParticleList = std::array<Vec2, particleCount>;

// Re-scattering waits until more than this many seconds have passed since the
// last one: 1/32 s, so it happens at most 32 times a second whatever the
// frame rate.
constexpr double particleReseedInterval = 0.03125;

// Particles re-scattered each time: a tenth of the list.
constexpr int particleReseedCount = particleCount / 10;

// The next draw of the 32-bit linear congruential generator: state starts at
// 1, each draw sets state = state * 214013 + 2531011 (mod 2^32) and returns
// (state >> 16) & 0x7FFF, a value from 0 to 32767.
std::uint32_t particleRandom();

// Gives every particle, in list order, a random pixel position
// (draw mod width, draw mod height), x drawn first: whole numbers inside the
// picture and below 32768. Needs width > 0 and height > 0.
void seedParticles(ParticleList& particles, std::int32_t width, std::int32_t height);

// Moves every particle by the bilinear flow sample at its position times dt
// (seconds). A particle that leaves the picture (x < 0, y < 0, x > W or
// y > H, with W and H the flow grid's size) respawns at a random pixel
// position in the same call; one exactly on the right or bottom edge stays.
// The flow grid must be at least 3 x 3 (sampleFlow's limit).
void advanceParticles(ParticleList& particles, const FlowGrid& flow, float dt);

// When more than particleReseedInterval seconds have passed since
// lastReseedTime, moves particleReseedCount randomly chosen particles to
// random pixel positions and sets lastReseedTime = now; otherwise does
// nothing. Needs width > 0 and height > 0.
void refreshParticles(ParticleList& particles, double& lastReseedTime, double now,
                      std::int32_t width, std::int32_t height);
