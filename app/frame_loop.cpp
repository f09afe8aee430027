#include "app/frame_loop.h"

#include "app/app_clock.h"
#include "app/commands.h"
#include "app/composition.h"
#include "app/layer_proxy.h"
#include "app/panel.h"
#include "app/unsaved_work.h"
#include "app/window_export.h"
#include "app/schedule.h"
#include "app/window_title.h"
#include "app/synthesize_flow.h"
#include "edit/brush.h"
#include "edit/tools.h"
#include "edit/view.h"
#include "flow/guides.h"
#include "flow/particles.h"
#include "gpu/drawing.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"

namespace {

// The frame in which the view is fitted to the picture: by then the window
// has its final size.
constexpr std::int32_t fitFrame = 3;

// The GL widget's smallest size, in pixels.
constexpr int widgetMinimumWidth = 512;
constexpr int widgetMinimumHeight = 256;
// Expanding in both directions: the widget grows with the window.
constexpr int sizePolicyExpanding = 7;

// The layers at about the resolution the view shows the picture at
// (app/layer_proxy.h): re-created, from the identity, when the level
// changes. A displace.frag that cannot read a proxy keeps them
// picture-sized, after one line.
void updateLayerProxy(AppState& state) {
    float wanted = chooseLayerScale(state.picture.width, state.picture.height, state.view, state.layerScale);
    if (wanted == state.layerScale) return;
    if (wanted > 1.0f) {
        // A program that does not build is the pass's to report, this frame.
        if (preparePictureFilter(state.pictureFilter)) return;
        if (!displaceTakesLayerScale(state.pictureFilter)) {
            if (!state.layerProxyRefused) {
                reportProblem("displace.frag here cannot draw the animation at the window's resolution (it was "
                              "written before it could), so this %d x %d picture animates at its own, slower; the "
                              "shader files of a scene made now by stillflow-new can replace this folder's",
                              state.picture.width, state.picture.height);
                state.layerProxyRefused = true;
            }
            if (state.layerScale == 1.0f) return;
            wanted = 1.0f;
        }
    }
    state.layerScale = wanted;
    const LayerSize size = layerSizeFor(state.picture.width, state.picture.height, wanted);
    createAnimationLayers(size.width, size.height, state.targets);
    // The zero flow of the new layers is replaced now, unless the guides
    // changed and this frame's synthesis uploads it anyway.
    if (!state.flowDirty) uploadFlowForLayers(state);
}

}  // namespace

bool runFrame(AppState& state, std::optional<PassFailure>& failure) {
    // 1. The frame's time. Two counter queries, one after the other.
    const double frameStartMs = appClockMilliseconds();
    const double t = appClockSeconds();
    state.frameClockTime = t;

    // 2. A document read at start-up gives its first frame a zero step.
    const float advectStep = state.flowDirty ? 0.0f : static_cast<float>(state.previousFrameDuration);

    // 3. The window; leave at once on a close request or Escape held, unless
    // there is unsaved work to ask about first.
    const std::string title =
        windowTitle(state.sceneName, guideSegments.size(), hasUnsavedChanges(state),
                    state.pictureFilter == PictureFilter::Sharp,
                    TitleMotion{state.flowScale, state.phaseSpacing, state.freezeWhereMasked},
                    windowExportPercent(state));
    WindowBegin(0, title.c_str(), Opts().showMaximized(true).margins(0, 0, 0, 0));
    if (!keepRunning(state)) return false;

    // 4. Layout and the GL widget.
    HBoxLayoutBegin(1, Opts().margins(0, 0, 0, 0));
    GLWidgetBegin(2, &*state.context,
                  Opts()
                      .minimumWidth(widgetMinimumWidth)
                      .minimumHeight(widgetMinimumHeight)
                      .sizePolicy(sizePolicyExpanding, sizePolicyExpanding)
                      .showFrame(false));
    // The panel's frame begins before the input stages: what it takes, they
    // do not see.
    bool panel = panelInUse(state);
    if (panel) {
        useClientArrays();
        panel = PanelBegin();
    }

    // 5. Viewport size, the fit, the cursor in picture pixels.
    state.view.width = static_cast<float>(widgetWidth());
    state.view.height = static_cast<float>(widgetHeight());
    if (state.frameCounter == fitFrame || keyDown(Key::Home)) {
        state.view = fitView(state.view, state.picture.width, state.picture.height);
    }
    state.cursorPosition =
        screenToPicture(state.view, Vec2{static_cast<float>(mouseX()), static_cast<float>(mouseY())});

    // 6. Input stages, then the keyboard commands. Edits see the view as it
    // was before this frame's pan and zoom.
    updateToolMode();
    updateGuideEditing(state.cursorPosition, state.view, state.flowDirty, state.history);
    const BrushActivity brush = updateMaskBrush(state.cursorPosition, state.brushRadius, state.mask, state.history);
    if (brush.stamped) state.maskTintStale = true;
    // Where the mask holds the flow still, a finished stroke changes the flow
    // as a guide edit does.
    if (brush.strokeRecorded && state.freezeWhereMasked) state.flowDirty = true;
    updatePanZoom(state.view);
    runCommands(state);
    updateLayerProxy(state);
    if (!droppedPath().empty()) requestOpen(state, droppedPath());
    if (panel) buildPanel(state);
    pollWindowExport(state);

    // 7. Clear; synthesise the flow when the guides changed.
    clearToTransparentBlack();
    synthesizeFlow(state, t);

    // 8. Preview particles.
    advanceParticles(state.previewParticles, state.flowGrid, static_cast<float>(state.previousFrameDuration));
    refreshParticles(state.previewParticles, state.lastReseedTime, appClockSeconds(), state.picture.width,
                     state.picture.height);

    // 9. The three UV layers and the displaced picture. A pass that cannot
    // draw ends the loop here: none of this frame reaches the screen.
    failure = animateLayers(t, advectStep, state.phaseSpacing, state.layerPhase, state.targets, state.pictureFilter);
    if (failure) return false;
    useFixedFunctionPipeline();

    // 10. On screen, the panel last, above everything.
    composeFrame(state);
    if (panel) {
        useClientArrays();
        PanelEnd();
    }

    // 11. Present; this frame's duration is the next frame's step.
    GLWidgetEnd();
    HBoxLayoutEnd();
    WindowEnd();
    guiUpdate(false);
    const double frameEndMs = appClockMilliseconds();
    state.frameCounter += 1;
    state.previousFrameDuration = (frameEndMs - frameStartMs) / 1000.0;

    // 12. Another scene asked for opens between frames.
    openRequestedScene(state);
    return true;
}

std::optional<PassFailure> runFrameLoop(AppState& state) {
    std::optional<PassFailure> failure;
    while (runFrame(state, failure)) {
    }
    // An export still running ends with the run: a window's is cancelled; an
    // offscreen run's is waited for, so that what a run leaves does not
    // depend on the machine's speed.
    endWindowExport(state, !state.window.inRealWindow);
    return failure;
}
