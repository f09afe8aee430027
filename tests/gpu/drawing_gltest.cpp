// Drawing in picture coordinates into the 64 x 64 test widget.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "flow/particles.h"
#include "gpu/drawing.h"
#include "support/gl_test.h"

namespace {

constexpr int side = 64;  // the test context's widget

// Red of the pixel at window position (x, y), y down as in picture coordinates.
int redAt(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const int row = side - 1 - y;  // GL rows run bottom-up
    return pixels[(static_cast<std::size_t>(row) * side + static_cast<std::size_t>(x)) * 4];
}

TEST(DrawParticles, DrawsEveryParticleAsAWhitePointAndLeavesBlendingOff) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glUseProgram(0);
    glViewport(0, 0, side, side);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, side, side, 0.0, -1.0, 1.0);  // picture pixels, y down
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    ParticleList particles{};
    particles.fill(Vec2{16.0f, 40.0f});
    particles[particleCount - 1] = Vec2{48.0f, 12.0f};  // the last one is drawn too
    glColor3f(0.0f, 0.0f, 1.0f);
    drawParticles(particles.data(), particles.size());
    const std::vector<std::uint8_t> pixels = readDefaultFramebufferRgba8(side, side);

    EXPECT_GE(redAt(pixels, 16, 40), 250);
    EXPECT_GE(redAt(pixels, 48, 12), 250);
    EXPECT_GE(redAt(pixels, 19, 40), 250) << "a point is 12 pixels across";
    EXPECT_EQ(redAt(pixels, 24, 40), 0) << "a point is 12 pixels across";
    EXPECT_EQ(redAt(pixels, 40, 50), 0);

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &source);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    GLfloat pointSize = 0.0f;
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    EXPECT_EQ(pointSize, 12.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Leave the context as the other tests expect it.
    glDisable(GL_POINT_SMOOTH);
    glPointSize(1.0f);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

}  // namespace
