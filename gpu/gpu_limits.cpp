#include "gpu/gpu_limits.h"

#include <algorithm>

std::int32_t largestTextureSide() {
    GLint textureSide = 0;
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSide);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return std::max(0, std::min({textureSide, viewport[0], viewport[1]}));
}

bool textureSizeSupported(GLint internalFormat, std::int32_t width, std::int32_t height) {
    // A proxy texture takes no storage; the implementation answers by giving
    // it a width of 0 when it could not create the real one.
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint proxyWidth = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
    clearGlErrors();
    return proxyWidth == width;
}

bool renderTargetsFit(std::int32_t width, std::int32_t height) {
    return textureSizeSupported(GL_RG32F, width, height);
}

bool overlayTextureFits(std::int32_t width, std::int32_t height) {
    return textureSizeSupported(GL_RGBA8, width, height);
}

void clearGlErrors() {
    // glGetError returns one flag at a time; a lost context keeps returning
    // its own, so the loop is bounded.
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool gpuRanOutOfMemory() {
    bool outOfMemory = false;
    for (int i = 0; i < 64; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        if (error == GL_OUT_OF_MEMORY) outOfMemory = true;
    }
    return outOfMemory;
}
