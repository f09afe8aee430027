#include "flow/particle_draw.h"

#include <GL/gl.h>

namespace {

// Diameter of a preview particle on screen, in window pixels.
constexpr GLfloat particlePointSize = 12.0f;

}  // namespace

void drawParticles(const ParticleList& particles) {
    // 1. White, large, smoothed points blended by their coverage.
    glColor3f(1.0f, 1.0f, 1.0f);
    glPointSize(particlePointSize);
    glEnable(GL_BLEND);
    glEnable(GL_POINT_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // 2. One vertex a particle, at its picture position.
    glBegin(GL_POINTS);
    for (const Vec2& p : particles) {
        glColor3f(1.0f, 1.0f, 1.0f);
        glVertex2f(p.x, p.y);
    }
    glEnd();

    // 3. Blending off for whatever is drawn next; point smoothing stays on.
    glDisable(GL_BLEND);
}
