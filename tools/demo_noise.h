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

// ---- hashing and value noise ------------------------------------------------

// Integer hash of a lattice point (a finaliser of the murmur family): good
// enough avalanche that neighbouring cells look unrelated.
inline std::uint32_t hashLattice(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B9u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A lattice value in [0, 1).
inline float latticeValue(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    return static_cast<float>(hashLattice(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

// Value noise in [0, 1): lattice values blended with the quintic fade, whose
// zero second derivative at the lattice hides the grid in shaded gradients.
inline float valueNoise(float x, float y, std::uint32_t seed) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const std::int32_t ix = static_cast<std::int32_t>(fx);
    const std::int32_t iy = static_cast<std::int32_t>(fy);
    const float tx = x - fx;
    const float ty = y - fy;
    const float ux = tx * tx * tx * (tx * (tx * 6.0f - 15.0f) + 10.0f);
    const float uy = ty * ty * ty * (ty * (ty * 6.0f - 15.0f) + 10.0f);
    const float v00 = latticeValue(ix, iy, seed);
    const float v10 = latticeValue(ix + 1, iy, seed);
    const float v01 = latticeValue(ix, iy + 1, seed);
    const float v11 = latticeValue(ix + 1, iy + 1, seed);
    return lerp(lerp(v00, v10, ux), lerp(v01, v11, ux), uy);
}

// Fractal sum of value noise, normalised back to [0, 1). Each octave is
// rotated by about 37 degrees so that the lattices of the octaves never line
// up into visible horizontal and vertical streaks.
inline float fractalNoise(float x, float y, std::uint32_t seed, int octaves, float gain = 0.5f) {
    const float rotCos = 0.8f;
    const float rotSin = 0.6f;
    float sum = 0.0f;
    float amplitude = 1.0f;
    float norm = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(x, y, seed + static_cast<std::uint32_t>(octave) * 101u);
        norm += amplitude;
        amplitude *= gain;
        const float rx = (x * rotCos - y * rotSin) * 2.03f;
        const float ry = (x * rotSin + y * rotCos) * 2.03f;
        x = rx + 17.1f;
        y = ry - 5.3f;
    }
    return sum / norm;
}

// Ridged fractal noise in [0, 1]: sharp bright creases where the noise
// crosses its middle, used for cracks in rock and foam filaments.
inline float ridgedNoise(float x, float y, std::uint32_t seed, int octaves) {
    const float n = fractalNoise(x, y, seed, octaves);
    return 1.0f - std::fabs(n * 2.0f - 1.0f);
}

// One-dimensional fractal noise, for ridge lines and edges.
inline float fractalNoise1(float x, std::uint32_t seed, int octaves) {
    return fractalNoise(x, 0.5f, seed, octaves);
}

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
