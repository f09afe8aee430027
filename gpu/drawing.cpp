#include "gpu/drawing.h"

#include <GL/glu.h>

#include <cmath>

namespace {

constexpr int circleSegments = 40;
// 2 pi as the float the outline's angles are formed from.
constexpr float circleFullTurn = 6.2831850f;

// Diameter of a preview particle on screen, in window pixels.
constexpr GLfloat particlePointSize = 12.0f;

// The halo under every line list: this much wider than its line, in this colour.
constexpr GLfloat haloExtraWidth = 2.0f;
constexpr Colour haloColour = {0.0f, 0.0f, 0.0f, 0.6f};

// The picture rectangle (0, 0)-(W, H) with the whole texture on it, first
// row at the top, in one colour at every vertex.
void drawPictureQuad(float width, float height, const Colour& colour) {
    glBegin(GL_QUADS);
    glColor4fv(colour.data());
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glColor4fv(colour.data());
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(width, 0.0f);
    glColor4fv(colour.data());
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(width, height);
    glColor4fv(colour.data());
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, height);
    glEnd();
}

void drawLines(const std::vector<Vec2>& segments, GLfloat width, const Colour& colour) {
    if (segments.empty()) return;
    glLineWidth(width);
    glColor4fv(colour.data());
    glBegin(GL_LINES);
    for (const Vec2& p : segments) glVertex2f(p.x, p.y);
    glEnd();
}

}  // namespace

// ---- 1. where drawing goes ---------------------------------------------------

void drawIntoWindow() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

void useFixedFunctionPipeline() { glUseProgram(0); }

void useClientArrays() {
    glUseProgram(0);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
}

void clearToTransparentBlack() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void setPictureProjection(int viewportWidth, int viewportHeight, double left, double right, double bottom,
                          double top) {
    glViewport(0, 0, viewportWidth, viewportHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(left, right, bottom, top);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void endPictureDrawing() {
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
}

// ---- 2. pictures -------------------------------------------------------------

void drawPicture(Texture& texture, float width, float height, const Colour& colour) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    texture.bind();
    drawPictureQuad(width, height, colour);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

void uploadOverlayPicture(const ImageGrid& picture, Texture& texture) {
    texture.upload(GL_RGBA8, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
}

void uploadMaskTint(const ByteMask& mask, Texture& texture) {
    replaceTexture(texture, GL_ALPHA8, mask.width, mask.height, GL_ALPHA, GL_UNSIGNED_BYTE, mask.data(), {});
}

// ---- 3. marks ----------------------------------------------------------------

void drawParticles(const Vec2* positions, std::size_t count) {
    // 1. White, large, smoothed points blended by their coverage.
    glColor3f(1.0f, 1.0f, 1.0f);
    glPointSize(particlePointSize);
    glEnable(GL_BLEND);
    glEnable(GL_POINT_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // 2. One vertex a particle, at its picture position.
    glBegin(GL_POINTS);
    for (std::size_t i = 0; i < count; ++i) {
        glColor3f(1.0f, 1.0f, 1.0f);
        glVertex2f(positions[i].x, positions[i].y);
    }
    glEnd();

    // 3. Blending off for whatever is drawn next; point smoothing stays on.
    glDisable(GL_BLEND);
}

void drawCircleOutline(Vec2 centre, float radius) {
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < circleSegments; ++i) {
        // The angle in float; cos and sin in double, narrowed before the
        // float multiplication by the radius.
        const float angle = static_cast<float>(i) * circleFullTurn / static_cast<float>(circleSegments);
        const float x = centre.x + static_cast<float>(std::cos(static_cast<double>(angle))) * radius;
        const float y = centre.y + static_cast<float>(std::sin(static_cast<double>(angle))) * radius;
        glVertex2f(x, y);
    }
    glEnd();
}

void drawBrushOutline(Vec2 centre, float radius) {
    glColor3f(1.0f, 1.0f, 1.0f);
    drawCircleOutline(centre, radius);
}

void drawHaloedLines(std::initializer_list<LineList> lists) {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const LineList& list : lists) {
        drawLines(*list.segments, list.width + haloExtraWidth, haloColour);
        drawLines(*list.segments, list.width, list.colour);
    }
    glDisable(GL_BLEND);
    glLineWidth(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
}
