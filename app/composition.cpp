#include "app/composition.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

#include "edit/brush.h"
#include "edit/guide_draw.h"
#include "edit/tools.h"
#include "edit/view.h"
#include "flow/particle_draw.h"
#include "platform/gui.h"

namespace {

constexpr int circleSegments = 40;
// 2 pi as the float the outline's angles are formed from.
constexpr float circleFullTurn = 6.2831850f;

// White, opaque: the pictures are drawn unchanged.
constexpr GLfloat pictureColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// The mask tint: a full mask cell shows as this colour at this opacity.
constexpr GLfloat maskTintColour[4] = {1.0f, 0.2f, 0.6f, 0.5f};

// The picture rectangle (0, 0)-(W, H) with the whole texture on it, first
// row at the top, in one colour at every vertex.
void drawPictureQuad(float width, float height, const GLfloat* colour) {
    glBegin(GL_QUADS);
    glColor4fv(colour);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glColor4fv(colour);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(width, 0.0f);
    glColor4fv(colour);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(width, height);
    glColor4fv(colour);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, height);
    glEnd();
}

void drawBlendedTexturedPicture(Texture& texture, float width, float height,
                                const GLfloat* colour = pictureColour) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    texture.bind();
    drawPictureQuad(width, height, colour);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// The mask as an alpha texture, tinted by the vertex colour (the default
// texture environment multiplies them), so that an empty cell leaves the
// picture as it is. Made again only when the brush changed the mask.
void drawMaskTint(AppState& state, float width, float height) {
    if (state.mask.empty()) return;
    if (state.maskTintStale) {
        replaceTexture(state.maskTexture, GL_ALPHA8, state.mask.width, state.mask.height, GL_ALPHA,
                       GL_UNSIGNED_BYTE, state.mask.data(), {});
        state.maskTintStale = false;
    }
    drawBlendedTexturedPicture(state.maskTexture, width, height, maskTintColour);
}

}  // namespace

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

void composeFrame(AppState& state) {
    const float pictureWidth = static_cast<float>(state.picture.width);
    const float pictureHeight = static_cast<float>(state.picture.height);

    // 1. Draw into the widget again, after the passes' framebuffers.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    state.targets.output.bind();
    glViewport(0, 0, widgetWidth(), widgetHeight());

    // 2. Picture coordinates: the window's top-left corner shows picture
    // point a, its bottom-right corner point b, so picture y runs down.
    const Vec2 a = screenToPicture(state.view, Vec2{0.0f, 0.0f});
    const Vec2 b = screenToPicture(state.view, Vec2{state.view.width, state.view.height});
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(a.x, b.x, b.y, a.y);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // 3. The animated picture.
    drawBlendedTexturedPicture(state.targets.output, pictureWidth, pictureHeight);

    // 4. Particles, untextured; P hides them (they keep moving).
    if (state.showParticles) drawParticles(state.previewParticles);

    // 5. The overlay covers animation and particles where it is opaque. A
    // missing overlay picture is simply not drawn.
    if (!state.overlayPicture.empty()) {
        drawBlendedTexturedPicture(state.overlayTexture, pictureWidth, pictureHeight);
    }

    // 6. M: the mask as a tint, over the overlay so that every stroke shows.
    if (state.showMask) drawMaskTint(state, pictureWidth, pictureHeight);

    // 7. The brush outline in the two mask modes, one window pixel wide.
    if (ToolMode == toolPaintMask || ToolMode == toolClearMask) {
        glColor3f(1.0f, 1.0f, 1.0f);
        drawCircleOutline(state.cursorPosition, brushRadius);
    }

    // 8. G: the guides above everything, the overlay included, so that guides
    // under its opaque parts can still be found; the targets of the next
    // click only in the edit tool with no drag going on.
    if (state.showGuides) {
        // The cursor under the view as this frame's zoom left it: where the
        // next click lands.
        const Vec2 cursor =
            screenToPicture(state.view, Vec2{static_cast<float>(mouseX()), static_cast<float>(mouseY())});
        const bool showTargets = ToolMode == toolEditGuides && !mousePressed(MouseButton::Left);
        drawGuideMarks(buildGuideMarks(state.view, cursor, showTargets));
    }

    // 9. Blending and line smoothing off for whatever draws next.
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
}

void composePictureFrame(AppState& state, bool withOverlay) {
    const float pictureWidth = static_cast<float>(state.picture.width);
    const float pictureHeight = static_cast<float>(state.picture.height);

    // 1. Unit 0 active before texturing is enabled (the passes leave another
    //    unit active); cleared as the window is, so a translucent picture
    //    shows on black.
    state.targets.output.bind();
    glViewport(0, 0, state.picture.width, state.picture.height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    // 2. Picture coordinates with y running up the framebuffer: memory order
    // of a read-back is then the picture's own row order.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, pictureWidth, 0.0, pictureHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // 3. The animated picture and the overlay, blended as on screen.
    drawBlendedTexturedPicture(state.targets.output, pictureWidth, pictureHeight);
    if (withOverlay && !state.overlayPicture.empty()) {
        drawBlendedTexturedPicture(state.overlayTexture, pictureWidth, pictureHeight);
    }
}
