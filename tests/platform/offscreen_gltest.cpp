// The offscreen backend's GL context: what the program and the other GL
// tests rely on from it.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gui.h"
#include "support/gl_test.h"

namespace {
GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    EXPECT_EQ(ok, GL_TRUE);
    return shader;
}
}  // namespace

TEST(OffscreenContext, IsACompatibilityContextOfAtLeast30WithGlewEntryPoints) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_GE(std::atoi(version), 3) << version;
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_EQ(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0) << "a core profile has no immediate mode";
    // glewInit reports no GLX display under EGL, yet it has loaded the
    // entry points; these calls go through them.
    ASSERT_NE(glCreateShader, nullptr);
    ASSERT_NE(glGenFramebuffers, nullptr);
    ASSERT_NE(glGenVertexArrays, nullptr);
    ASSERT_NE(glActiveTexture, nullptr);
    const GLuint vertex = compile(GL_VERTEX_SHADER, "#version 130\nvoid main() { gl_Position = gl_Vertex; }\n");
    const GLuint fragment =
        compile(GL_FRAGMENT_SHADER, "#version 130\nvoid main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n");
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    glDeleteProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(OffscreenContext, RendersIntoAnRg32fFramebufferObject) {
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RG32F, 4, 4, 0, GL_RG, GL_FLOAT, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, 4, 4);
    glClearColor(0.25f, -3.5f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const auto values = readTextureRg32f(texture, 4, 4);
    EXPECT_FLOAT_EQ(values[0], 0.25f);
    EXPECT_FLOAT_EQ(values[1], -3.5f) << "RG32F must keep values outside [0, 1]";
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
}

TEST(OffscreenContext, FramebufferZeroIsTheWidgetAndTakesImmediateModeDrawing) {
    ASSERT_EQ(widgetWidth(), 64);
    ASSERT_EQ(widgetHeight(), 64);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint viewport[4] = {};
    glViewport(0, 0, widgetWidth(), widgetHeight());
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // A red quad over the left half through the fixed-function matrix stacks.
    glUseProgram(0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 64, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(32, 0);
    glVertex2f(32, 64);
    glVertex2f(0, 64);
    glEnd();
    const auto pixels = readDefaultFramebufferRgba8(64, 64);
    const std::size_t left = (10 * 64 + 5) * 4, right = (10 * 64 + 50) * 4;
    EXPECT_EQ(pixels[left + 0], 255);
    EXPECT_EQ(pixels[left + 2], 0);
    EXPECT_EQ(pixels[right + 0], 0);
    EXPECT_EQ(pixels[right + 2], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
