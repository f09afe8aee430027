#include "gpu/frame_readback.h"

#include <GL/glew.h>

#include <cstddef>

namespace {

constexpr int kBytesPerPixel = 4;

GLsizeiptr frameBytes(const FrameReadback& readback) {
    return static_cast<GLsizeiptr>(static_cast<std::size_t>(readback.width) *
                                   static_cast<std::size_t>(readback.height) * kBytesPerPixel);
}

GpuBuffer& packBuffer(FrameReadback& readback, int slot) {
    return readback.packBuffers[static_cast<std::size_t>(slot)];
}

}  // namespace

void createFrameReadback(int width, int height, FrameReadback& readback) {
    readback.width = width;
    readback.height = height;

    // 1. The colour target and its framebuffer.
    readback.colour.upload(GL_RGBA8, width, height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, readback.framebuffer.id());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, readback.colour.id(), 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    // 2. Room for one frame in each pack buffer, read by the CPU once.
    for (GpuBuffer& buffer : readback.packBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer.id());
        glBufferData(GL_PIXEL_PACK_BUFFER, frameBytes(readback), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void drawIntoReadback(FrameReadback& readback) { glBindFramebuffer(GL_FRAMEBUFFER, readback.framebuffer.id()); }

void startReadback(FrameReadback& readback, int slot) {
    // Into a pixel buffer, glReadPixels returns at once and the copy
    // completes while the next frame renders.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer(readback, slot).id());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

const std::uint8_t* mapReadback(FrameReadback& readback, int slot) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer(readback, slot).id());
    const void* pixels = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, frameBytes(readback), GL_MAP_READ_BIT);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return static_cast<const std::uint8_t*>(pixels);
}

void finishReadback(FrameReadback& readback, int slot) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer(readback, slot).id());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

std::vector<std::uint8_t> readTextureRgba8(Texture& texture, int width, int height) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                   kBytesPerPixel);
    texture.bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
