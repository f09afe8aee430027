#pragma once
// The picture-sized textures that the animation passes read and write.

#include <GL/glew.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "flow/grid.h"
#include "gpu/texture.h"

// The nine picture-sized textures of the animation. One set exists per run,
// owned by the application state; the scheduling, the shutdown, the tests and
// the benchmarks take it whole. Layer i of `current` and `scratch` belong
// together: the advect pass reads current i, writes scratch i, and the two
// handles are swapped.
struct RenderTargets {
    Texture picture;                  // RGBA8, the picture; linear, mirrored repeat
    Texture flow;                     // RG32F, the flow field; linear, clamped
    std::array<Texture, 3> current;   // RG32F UV layers, newest mapping; linear, clamped
    std::array<Texture, 3> scratch;   // RG32F UV layers, advect targets; linear, clamped
    Texture output;                   // RGBA8, this frame's animated picture; min linear, mag nearest
};

// Builds every target at the picture's size, each replaced through
// replaceTexture (so every old name is deleted), in the order picture, flow,
// then current i and scratch i for i = 0, 1, 2, then output. The flow starts
// at zero (no motion) and both halves of every layer at the identity grid
// (texel (x, y) holds (x, y)); the output's contents are undefined.
void createRenderTargets(const ImageGrid& picture, RenderTargets& targets);

// Re-creates the flow, the layers and the output (not the picture) at
// w x h, as createRenderTargets makes them for the picture's size: a zero
// flow, identity layers (texel (x, y) holds (x, y), in these layers' own
// texels). Smaller than the picture, they are the window's proxy
// (app/layer_proxy.h).
void createAnimationLayers(std::int32_t w, std::int32_t h, RenderTargets& targets);

// Copies UV layer `from`'s newest mapping (current) into layer `to`'s,
// texel for texel with every bit kept (a blit of equal rectangles, nearest).
// Leaves the default framebuffer bound.
void copyLayer(RenderTargets& targets, std::size_t from, std::size_t to);

// Deletes every name while the context is current, in the order output,
// scratch layers, current layers, flow, picture; leaves every target empty.
void releaseRenderTargets(RenderTargets& targets);

// The client pixel type that goes with a sized internal format (36 formats);
// GL_INVALID_VALUE (1281) for any format not in the table.
GLenum pixelTypeForInternalFormat(GLint internalFormat);
