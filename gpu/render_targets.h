#pragma once
// The picture-sized textures that the animation passes read and write.

#include <GL/glew.h>

#include <array>

#include "flow/grid.h"
#include "gpu/texture.h"

// Builds every target at the picture's size, each into a fresh Texture that
// is then moved in (so every old name is deleted):
//   pictureTexture   RGBA8, the picture; linear, mirrored repeat
//   flowTexture      RG32F, all zero; linear, clamped
//   current/scratch  RG32F, identity grid (texel (x, y) holds (x, y)); linear, clamped
//   outputTexture    RGBA8, undefined contents; min linear, mag nearest, clamped
void createRenderTargets(const ImageGrid& picture, Texture& pictureTexture, Texture& flowTexture,
                         std::array<Texture, 3>& currentLayers,
                         std::array<Texture, 3>& scratchLayers, Texture& outputTexture);

// The client pixel type that goes with a sized internal format (36 formats);
// GL_INVALID_VALUE (1281) for any format not in the table.
GLenum pixelTypeForInternalFormat(GLint internalFormat);
