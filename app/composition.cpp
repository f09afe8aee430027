#include "app/composition.h"

#include "edit/brush.h"
#include "edit/guide_marks.h"
#include "edit/tools.h"
#include "edit/view.h"
#include "gpu/drawing.h"
#include "platform/gui.h"

namespace {

// The mask tint: a full mask cell shows as this colour at this opacity.
constexpr Colour maskTintColour = {1.0f, 0.2f, 0.6f, 0.5f};

// The guide marks, one style a list.
constexpr GLfloat guideWidth = 1.5f;  // window pixels
constexpr Colour guideColour = {1.0f, 0.85f, 0.1f, 1.0f};         // yellow
constexpr GLfloat targetWidth = 2.0f;
constexpr Colour deleteTargetColour = {1.0f, 0.25f, 0.2f, 1.0f};  // red
constexpr Colour grabTargetColour = {0.2f, 0.9f, 1.0f, 1.0f};     // cyan

// The mask as a tint over the picture, so that an empty cell leaves the
// picture as it is. Its texture is made again only when the brush changed
// the mask.
void drawMaskTint(AppState& state, float width, float height) {
    if (state.mask.empty()) return;
    if (state.maskTintStale) {
        uploadMaskTint(state.mask, state.maskTexture);
        state.maskTintStale = false;
    }
    drawPicture(state.maskTexture, width, height, maskTintColour);
}

// The guides as arrows and pin rings, then the guide a right click would
// delete over them, then the ring of the endpoint a left press would grab.
void drawGuideMarks(const GuideMarks& marks) {
    drawHaloedLines({{&marks.guides, guideWidth, guideColour},
                     {&marks.deleteTarget, targetWidth, deleteTargetColour},
                     {&marks.grabTarget, targetWidth, grabTargetColour}});
}

}  // namespace

void composeFrame(AppState& state) {
    const float pictureWidth = static_cast<float>(state.picture.width);
    const float pictureHeight = static_cast<float>(state.picture.height);

    // 1. Draw into the widget again, after the passes' framebuffers, with
    // unit 0 active (the passes leave another unit active).
    drawIntoWindow();
    state.targets.output.bind();

    // 2. Picture coordinates: the window's top-left corner shows picture
    // point a, its bottom-right corner point b, so picture y runs down.
    const Vec2 a = screenToPicture(state.view, Vec2{0.0f, 0.0f});
    const Vec2 b = screenToPicture(state.view, Vec2{state.view.width, state.view.height});
    setPictureProjection(widgetWidth(), widgetHeight(), a.x, b.x, b.y, a.y);

    // 3. The animated picture.
    drawPicture(state.targets.output, pictureWidth, pictureHeight);

    // 4. Particles, untextured; P hides them (they keep moving).
    if (state.showParticles) drawParticles(state.previewParticles.data(), state.previewParticles.size());

    // 5. The overlay covers animation and particles where it is opaque. A
    // missing overlay picture is simply not drawn.
    if (!state.overlayPicture.empty()) drawPicture(state.overlayTexture, pictureWidth, pictureHeight);

    // 6. M: the mask as a tint, over the overlay so that every stroke shows.
    if (state.showMask) drawMaskTint(state, pictureWidth, pictureHeight);

    // 7. The brush outline in the two mask modes.
    if (ToolMode == toolPaintMask || ToolMode == toolClearMask) drawBrushOutline(state.cursorPosition, state.brushRadius);

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
    endPictureDrawing();
}

void composePictureFrame(AppState& state, bool withOverlay) {
    const float pictureWidth = static_cast<float>(state.picture.width);
    const float pictureHeight = static_cast<float>(state.picture.height);

    // 1. Unit 0 active before texturing is enabled (the passes leave another
    //    unit active); cleared as the window is, so a translucent picture
    //    shows on black.
    state.targets.output.bind();
    clearToTransparentBlack();

    // 2. Picture coordinates with y running up the framebuffer: memory order
    // of a read-back is then the picture's own row order.
    setPictureProjection(state.picture.width, state.picture.height, 0.0, pictureWidth, 0.0, pictureHeight);

    // 3. The animated picture and the overlay, blended as on screen.
    drawPicture(state.targets.output, pictureWidth, pictureHeight);
    if (withOverlay && !state.overlayPicture.empty()) {
        drawPicture(state.overlayTexture, pictureWidth, pictureHeight);
    }
}
