#include "gpu/texture.h"

#include <utility>

void Texture::bind() { bind(0); }

void Texture::bind(int unit) {
    const GLuint name = id();
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, name);
}

void Texture::setParameter(GLenum pname, GLint value) {
    bind();
    glTexParameteri(GL_TEXTURE_2D, pname, value);
}

namespace {

// Preset of a size query, so that a query GL rejects answers with a value no
// texture can have rather than with stale memory.
constexpr GLint unansweredSize = GL_INVALID_VALUE;

}  // namespace

int Texture::width() {
    bind();
    GLint value = unansweredSize;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    return value;
}

int Texture::height() {
    bind();
    GLint value = unansweredSize;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    return value;
}

void Texture::upload(GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                     GLenum type, const void* data) {
    bind();
    // Grid rows are tightly packed bytes in host order; set every unpack field
    // so that state left by anyone else cannot skew the rows.
    glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_IMAGES, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, data);
    setParameter(GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    setParameter(GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    setParameter(GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    setParameter(GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void replaceTexture(Texture& destination, GLint internalFormat, GLsizei width, GLsizei height,
                    GLenum format, GLenum type, const void* data,
                    std::initializer_list<TextureParameter> parameters) {
    Texture fresh;
    fresh.upload(internalFormat, width, height, format, type, data);
    destination = std::move(fresh);
    for (const TextureParameter& parameter : parameters) destination.setParameter(parameter.name, parameter.value);
}
