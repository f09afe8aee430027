#pragma once
// Deterministic building blocks for the demo scene: hashed value noise,
// fractal sums of it, a seeded random generator and a small colour type.
// Everything here depends only on its arguments, so the scene comes out the
// same on every run and every machine.

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace demo {

// ---- scalar helpers ---------------------------------------------------------

inline float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

inline float smoothstep(float edge0, float edge1, float v) {
    const float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// Value noise in [0, 1): lattice values blended with the quintic fade, whose
// zero second derivative at the lattice hides the grid in shaded gradients.
float valueNoise(float x, float y, std::uint32_t seed);

// Fractal sum of value noise, normalised back to [0, 1). Each octave is
// rotated by about 37 degrees so that the lattices of the octaves never line
// up into visible horizontal and vertical streaks.
float fractalNoise(float x, float y, std::uint32_t seed, int octaves, float gain = 0.5f);

// Ridged fractal noise in [0, 1]: sharp bright creases where the noise
// crosses its middle, used for cracks in rock and foam filaments.
float ridgedNoise(float x, float y, std::uint32_t seed, int octaves);

// One-dimensional fractal noise, for ridge lines and edges.
float fractalNoise1(float x, std::uint32_t seed, int octaves);

// ---- seeded random numbers --------------------------------------------------

// SplitMix64: tiny, seedable, and the same sequence everywhere.
struct SceneRandom {
    std::uint64_t state = 0;

    explicit SceneRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t nextBits() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    float unit() { return static_cast<float>(nextBits() >> 40) * (1.0f / 16777216.0f); }
    float range(float low, float high) { return low + (high - low) * unit(); }
};

// ---- colour -----------------------------------------------------------------

// Linear-ish RGB in [0, 1] per channel while painting; converted to bytes at
// the very end.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

inline Color rgb8(int r, int g, int b) {
    return Color{static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                 static_cast<float>(b) / 255.0f};
}
inline Color mix(Color a, Color b, float t) {
    return Color{lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)};
}
inline Color scale(Color c, float s) { return Color{c.r * s, c.g * s, c.b * s}; }
inline Color add(Color a, Color b) { return Color{a.r + b.r, a.g + b.g, a.b + b.b}; }

inline std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f));
}

}  // namespace demo
