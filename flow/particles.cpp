#include "flow/particles.h"

#include <cassert>

namespace {

// The generator's constants: state = state * 214013 + 2531011 (mod 2^32),
// and the draw is bits 16 to 30 of the new state.
constexpr std::uint32_t randomMultiplier = 214013u;
constexpr std::uint32_t randomIncrement = 2531011u;
constexpr int randomShift = 16;
constexpr std::uint32_t randomMask = 0x7FFFu;

// The particles' generator: process-wide, used by nothing else, never
// reseeded, so every run scatters the same way.
std::uint32_t particleRandomState = 1u;

// One random pixel position: x drawn first, then y; whole numbers inside the
// picture (and below 32768, the largest draw).
Vec2 randomPixelPosition(std::int32_t width, std::int32_t height) {
    assert(width > 0 && height > 0 && "particles need a picture of positive size");
    const std::uint32_t x = particleRandom() % static_cast<std::uint32_t>(width);
    const std::uint32_t y = particleRandom() % static_cast<std::uint32_t>(height);
    return Vec2{static_cast<float>(x), static_cast<float>(y)};
}

}  // namespace

std::uint32_t particleRandom() {
    // Unsigned arithmetic wraps modulo 2^32, which is the generator's modulus.
    particleRandomState = particleRandomState * randomMultiplier + randomIncrement;
    return (particleRandomState >> randomShift) & randomMask;
}

void seedParticles(ParticleList& particles, std::int32_t width, std::int32_t height) {
    for (Vec2& p : particles) p = randomPixelPosition(width, height);
}

void advanceParticles(ParticleList& particles, const FlowGrid& flow, float dt) {
    const float right = static_cast<float>(flow.width);
    const float bottom = static_cast<float>(flow.height);
    for (Vec2& p : particles) {
        const Vec2 v = sampleFlow(flow, p);
        p.x = p.x + v.x * dt;
        p.y = p.y + v.y * dt;
        // Exactly on the right or bottom edge still counts as inside. Written
        // as "not inside" so that a position that is not a number (a flow
        // document may hold NaN guides) respawns too instead of staying lost.
        const bool inside = p.x >= 0.0f && p.y >= 0.0f && p.x <= right && p.y <= bottom;
        if (!inside) {
            p = randomPixelPosition(flow.width, flow.height);
        }
    }
}

void refreshParticles(ParticleList& particles, double& lastReseedTime, double now, std::int32_t width,
                      std::int32_t height) {
    if (!(now - lastReseedTime > particleReseedInterval)) return;
    for (int i = 0; i < particleReseedCount; ++i) {
        // Position first, then the particle it goes to: the order of draws is
        // part of the sequence every run repeats.
        const Vec2 position = randomPixelPosition(width, height);
        const std::uint32_t index = particleRandom() % static_cast<std::uint32_t>(particleCount);
        particles[index] = position;
    }
    lastReseedTime = now;
}
