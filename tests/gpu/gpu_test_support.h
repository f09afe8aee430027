#pragma once
// Helpers of the GL tests of the GPU pipeline: read-backs of whole textures
// (level 0, rows packed tightly, row 0 first), a test picture, and the list of
// a set of render targets.

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <vector>

#include "flow/grid.h"
#include "gpu/render_targets.h"
#include "gpu/texture.h"

inline std::vector<float> readRgFloats(Texture& texture) {
    const int width = texture.width();
    const int height = texture.height();
    std::vector<float> texels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2u);
    texture.bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_FLOAT, texels.data());
    return texels;
}

inline std::vector<std::uint8_t> readRgbaBytes(Texture& texture) {
    const int width = texture.width();
    const int height = texture.height();
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u);
    texture.bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

inline GLint textureParameter(Texture& texture, GLenum pname) {
    texture.bind();
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    return value;
}

// A picture whose neighbouring pixels all differ, so a sample that lands one
// texel off shows.
inline ImageGrid makeTestPicture(std::int32_t width, std::int32_t height) {
    ImageGrid picture(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            Rgba8& pixel = picture.at(x, y);
            pixel.r = static_cast<std::uint8_t>(x * 37 + y * 11);
            pixel.g = static_cast<std::uint8_t>(y * 53 + x * 5);
            pixel.b = static_cast<std::uint8_t>((x * y * 29) ^ 0x5a);
            pixel.a = static_cast<std::uint8_t>(255 - x * 3);
        }
    }
    return picture;
}

// Every texture of a set of render targets, for checks that apply to all nine.
inline std::array<Texture*, 9> allTargets(RenderTargets& targets) {
    return {&targets.picture,    &targets.flow,       &targets.current[0],
            &targets.current[1], &targets.current[2], &targets.scratch[0],
            &targets.scratch[1], &targets.scratch[2], &targets.output};
}
