#pragma once
// Rendered frames read back to the CPU without waiting for them: a colour
// target with its framebuffer, and two pixel-pack buffers, so that the copy
// of frame k completes while frame k + 1 renders. And a texture read back at
// once, for measurements.

#include <array>
#include <cstdint>
#include <vector>

#include "gpu/gl_name.h"
#include "gpu/texture.h"

// Owned by its user and released (moved over with an empty one) while the
// context is current; the members go in the order declared.
struct FrameReadback {
    int width = 0;                          // the target's size in pixels
    int height = 0;
    std::array<GpuBuffer, 2> packBuffers;   // frame k reads back into buffer k % 2
    Framebuffer framebuffer;                // draws into `colour`
    Texture colour;                         // RGBA8
};

// Makes the RGBA8 colour target of width x height, its framebuffer and the
// two pixel-pack buffers, each the size of one frame. Leaves the window's
// framebuffer (0) bound and no pack buffer.
void createFrameReadback(int width, int height, FrameReadback& readback);

// Draws into the colour target from here.
void drawIntoReadback(FrameReadback& readback);

// Starts copying the colour target into pack buffer `slot` (0 or 1) and
// returns at once; then draws into the window's framebuffer again. Rows come
// in GL order (bottom row first), tightly packed.
void startReadback(FrameReadback& readback, int slot);

// Waits for pack buffer `slot`'s copy and lends its pixels (width x height
// RGBA), or null when the buffer cannot be mapped. They stay valid until
// finishReadback of that slot, which must follow either way.
const std::uint8_t* mapReadback(FrameReadback& readback, int slot);
void finishReadback(FrameReadback& readback, int slot);

// Level 0 of an RGBA8 texture of width x height, copied out now (waiting for
// the GPU): rows in GL order, tightly packed. Leaves it bound on unit 0.
std::vector<std::uint8_t> readTextureRgba8(Texture& texture, int width, int height);
