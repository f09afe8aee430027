#pragma once
// What the GL tests share: the run's one context, made by the test main
// (gl_test_main.cpp) and current throughout, and read-backs of textures and
// of framebuffer 0 to the CPU. Each read-back leaves the texture binding of
// the active unit, the pack state and the read framebuffer as it found them.

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gpu/render_targets.h"
#include "gpu/texture.h"
#include "platform/gui.h"

// Tests that restart the offscreen session with another -size hand it to
// GLWidgetBegin (or call makeCurrent) so framebuffer 0 takes the new size.
GLContext& glTestContext();

// Level 0 of a texture: width × height × 4 bytes, or × 2 floats (red,
// green); rows packed tightly, row 0 first as GL stores them.
std::vector<std::uint8_t> readTextureRgba8(GLuint texture, int width, int height);
std::vector<float> readTextureRg32f(GLuint texture, int width, int height);
// The same for a Texture, at the size it reports.
std::vector<std::uint8_t> readRgbaBytes(Texture& texture);
std::vector<float> readRgFloats(Texture& texture);

// The widget's current contents (framebuffer 0), RGBA8, rows bottom-up.
std::vector<std::uint8_t> readDefaultFramebufferRgba8(int width, int height);

// One parameter of a texture, as glGetTexParameteriv reports it.
GLint textureParameter(Texture& texture, GLenum pname);

// Every texture of a set of render targets, for checks that apply to all nine.
std::array<Texture*, 9> allTargets(RenderTargets& targets);
