#pragma once
// Helpers for GL tests: reading textures and framebuffer 0 back to the CPU.
// Each leaves the texture binding of unit 0 and the pack state as it found them.

#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "platform/gui.h"

// The run's one GL context, made by the test main and current throughout.
// Tests that restart the offscreen session with another -size hand it to
// GLWidgetBegin (or call makeCurrent) so framebuffer 0 takes the new size.
GLContext& glTestContext();

// width × height × 4 bytes, rows bottom-up as GL stores them.
std::vector<std::uint8_t> readTextureRgba8(GLuint texture, int width, int height);
// width × height × 2 floats (red, green), rows bottom-up.
std::vector<float> readTextureRg32f(GLuint texture, int width, int height);
// The widget's current contents (framebuffer 0), RGBA8, rows bottom-up.
std::vector<std::uint8_t> readDefaultFramebufferRgba8(int width, int height);
