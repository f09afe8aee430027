#include "edit/guide_draw.h"

#include <GL/gl.h>

namespace {

struct LineStyle {
    GLfloat width;      // window pixels
    GLfloat colour[4];  // RGBA
};

// The halo is drawn under every list, two pixels wider than its line.
constexpr GLfloat haloExtraWidth = 2.0f;
constexpr GLfloat haloColour[4] = {0.0f, 0.0f, 0.0f, 0.6f};
constexpr LineStyle guideStyle{1.5f, {1.0f, 0.85f, 0.1f, 1.0f}};         // yellow
constexpr LineStyle deleteTargetStyle{2.0f, {1.0f, 0.25f, 0.2f, 1.0f}};  // red
constexpr LineStyle grabTargetStyle{2.0f, {0.2f, 0.9f, 1.0f, 1.0f}};     // cyan

void drawLines(const std::vector<Vec2>& lines, GLfloat width, const GLfloat* colour) {
    if (lines.empty()) return;
    glLineWidth(width);
    glColor4fv(colour);
    glBegin(GL_LINES);
    for (const Vec2& p : lines) glVertex2f(p.x, p.y);
    glEnd();
}

void drawStyled(const std::vector<Vec2>& lines, const LineStyle& style) {
    drawLines(lines, style.width + haloExtraWidth, haloColour);
    drawLines(lines, style.width, style.colour);
}

}  // namespace

void drawGuideMarks(const GuideMarks& marks) {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawStyled(marks.guides, guideStyle);
    drawStyled(marks.deleteTarget, deleteTargetStyle);
    drawStyled(marks.grabTarget, grabTargetStyle);
    glDisable(GL_BLEND);
    glLineWidth(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
}
