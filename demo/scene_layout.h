#pragma once
// Where things are in the demo scene. The picture painter and the guide
// layout both read these, so the water's guides sit exactly on the painted
// water and the pins sit on the painted rock and trees.

#include <cstdint>

namespace demo {

// The working picture and the overlay share one size.
constexpr std::int32_t kSceneWidth = 1280;
constexpr std::int32_t kSceneHeight = 720;

// Sky down to where the far hills meet the valley floor.
constexpr float kHorizonY = 330.0f;

// The cliff that carries the waterfall spans the middle of the picture; its
// top edge dips into a notch at the fall's lip.
constexpr float kCliffTopY = 258.0f;    // top edge away from the notch
constexpr float kNotchDepth = 34.0f;    // how far the notch dips below kCliffTopY
constexpr float kNotchHalfWidth = 120.0f;

// The waterfall: a sheet of water from the lip down to the lake.
constexpr float kFallCenterX = 640.0f;
constexpr float kFallLipY = kCliffTopY + kNotchDepth;  // 292: water leaves the ledge here
constexpr float kFallTopHalfWidth = 58.0f;             // at the lip
constexpr float kFallBottomHalfWidth = 80.0f;          // where it meets the lake
// The river that feeds the fall shows in the notch above the lip.
constexpr float kRiverTopY = 270.0f;

// The lake fills the bottom of the picture from this line down.
constexpr float kLakeY = 548.0f;

// Seeds of the independent noise fields.
constexpr std::uint32_t kSeedSky = 11;
constexpr std::uint32_t kSeedClouds = 23;
constexpr std::uint32_t kSeedHills = 37;
constexpr std::uint32_t kSeedRock = 41;
constexpr std::uint32_t kSeedFall = 53;
constexpr std::uint32_t kSeedLake = 67;
constexpr std::uint32_t kSeedFoliage = 79;
constexpr std::uint64_t kSeedTrees = 0x5EED7EE5ull;
constexpr std::uint64_t kSeedOverlay = 0x0BE4A7ull;

// Top edge of the cliff at column x: the notch is a smooth dip centred on
// the fall, the rest a gently broken rim.
float cliffTopAt(float x);

// Half the waterfall's width at row y: it widens as it falls.
float fallHalfWidthAt(float y);

// Signed horizontal distance into the fall at (x, y): positive inside, in
// pixels, with a ragged edge so that the sheet doesn't look cut out.
float fallInsideAt(float x, float y);
float bankTopAt(float x);

// What a pixel of the picture shows; the guide layout reads it to decide
// what moves.
enum class Region : std::uint8_t {
    Sky = 0,
    Hills,
    Rock,
    Foliage,
    River,
    Fall,
    Lake,
};

}  // namespace demo
