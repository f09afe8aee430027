#include "demo/noise.h"

#include <cmath>
#include <cstdint>

namespace demo {

namespace {

// ---- hashing and value noise ------------------------------------------------

// Integer hash of a lattice point (a finaliser of the murmur family): good
// enough avalanche that neighbouring cells look unrelated.
std::uint32_t hashLattice(std::int32_t x, std::int32_t y, std::uint32_t seed) {
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
float latticeValue(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    return static_cast<float>(hashLattice(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

}  // namespace

float valueNoise(float x, float y, std::uint32_t seed) {
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

float fractalNoise(float x, float y, std::uint32_t seed, int octaves, float gain) {
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

float ridgedNoise(float x, float y, std::uint32_t seed, int octaves) {
    const float n = fractalNoise(x, y, seed, octaves);
    return 1.0f - std::fabs(n * 2.0f - 1.0f);
}

float fractalNoise1(float x, std::uint32_t seed, int octaves) {
    return fractalNoise(x, 0.5f, seed, octaves);
}

}  // namespace demo
