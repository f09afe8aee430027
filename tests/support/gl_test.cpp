#include "support/gl_test.h"

namespace {
// Saves and restores the state the read-backs change.
struct PackStateGuard {
    GLint texture = 0, alignment = 4, packBuffer = 0, readFramebuffer = 0;
    PackStateGuard() {
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }
    ~PackStateGuard() {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    }
};
}  // namespace

std::vector<std::uint8_t> readTextureRgba8(GLuint texture, int width, int height) {
    PackStateGuard guard;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<float> readTextureRg32f(GLuint texture, int width, int height) {
    PackStateGuard guard;
    std::vector<float> values(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 2);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_FLOAT, values.data());
    return values;
}

std::vector<std::uint8_t> readDefaultFramebufferRgba8(int width, int height) {
    PackStateGuard guard;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<std::uint8_t> readRgbaBytes(Texture& texture) {
    return readTextureRgba8(texture.id(), texture.width(), texture.height());
}

std::vector<float> readRgFloats(Texture& texture) {
    return readTextureRg32f(texture.id(), texture.width(), texture.height());
}

GLint textureParameter(Texture& texture, GLenum pname) {
    texture.bind();
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    return value;
}

std::array<Texture*, 9> allTargets(RenderTargets& targets) {
    return {&targets.picture,    &targets.flow,       &targets.current[0],
            &targets.current[1], &targets.current[2], &targets.scratch[0],
            &targets.scratch[1], &targets.scratch[2], &targets.output};
}
