#pragma once
// What the GL implementation can hold, asked before anything is allocated,
// and whether an allocation ran out of memory. Need the context current.

#include <GL/glew.h>

#include <cstdint>

// The widest and tallest texture that can also be rendered into whole: the
// smaller of GL_MAX_TEXTURE_SIZE and the viewport's largest side.
std::int32_t largestTextureSide();

// True when the implementation says it could create a 2D texture of this
// format and size (a proxy query: nothing is allocated). Some refuse sizes
// within largestTextureSide whose storage exceeds what one texture may take.
bool textureSizeSupported(GLint internalFormat, std::int32_t width, std::int32_t height);

// textureSizeSupported for the largest texture of each use: the render
// targets of a picture of this size (their largest format is the RG32F of
// the flow and the UV layers), and the overlay picture's RGBA8 texture.
bool renderTargetsFit(std::int32_t width, std::int32_t height);
bool overlayTextureFits(std::int32_t width, std::int32_t height);

// Forgets every GL error raised so far, so that a later gpuRanOutOfMemory
// speaks of what came after it.
void clearGlErrors();

// True when some GL call since the last clearGlErrors ran out of memory;
// forgets the errors it read.
bool gpuRanOutOfMemory();
