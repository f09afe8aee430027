#include "app/commands.h"

#include <cstdio>
#include <string>

#include "app/motion.h"
#include "app/window_export.h"
#include "flow/document.h"
#include "flow/guides.h"
#include "flow/scene_files.h"
#include "gpu/passes.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"

namespace {

bool keyActive(Key key) { return keyDown(key) || keyPressed(key); }

// A key that went down this frame with Ctrl held.
bool ctrlChord(Key key) { return keyDown(key) && keyActive(Key::Ctrl); }

// K, [ ], - =, , and .: one step each per press (app/motion.h).
void runMotionKeys(AppState& state) {
    if (keyDown(Key::K)) toggleFreeze(state);
    if (keyDown(Key::LeftBracket)) stepBrushRadius(state, RadiusStep::Halve);
    if (keyDown(Key::RightBracket)) stepBrushRadius(state, RadiusStep::Double);
    if (keyDown(Key::Minus)) stepSpeed(state, MotionStep::Down);
    if (keyDown(Key::Equals)) stepSpeed(state, MotionStep::Up);
    if (keyDown(Key::Comma)) stepLoopLength(state, MotionStep::Down);
    if (keyDown(Key::Period)) stepLoopLength(state, MotionStep::Up);
}

// What an undone or redone step changed, put into effect: the flow follows
// the guides as after any edit, and the mask where it holds the flow still;
// a setting takes its value back as its keys would set it.
StepTarget putIntoEffect(AppState& state, StepTarget changed, const SettingValue& setting) {
    if (changed == StepTarget::Guides) state.flowDirty = true;
    if (changed == StepTarget::Mask) {
        state.maskTintStale = true;
        if (state.freezeWhereMasked) state.flowDirty = true;
    }
    if (changed == StepTarget::Setting) applySetting(state, setting);
    return changed;
}

}  // namespace

StepTarget undoLastStep(AppState& state) {
    SettingValue setting;
    return putIntoEffect(state, undoEdit(state.history, guideSegments, state.mask, &setting), setting);
}

StepTarget redoLastStep(AppState& state) {
    SettingValue setting;
    return putIntoEffect(state, redoEdit(state.history, guideSegments, state.mask, &setting), setting);
}

FlowDocument workingDocument(const AppState& state) {
    FlowDocument document;
    document.picture = state.picture;
    document.mask = state.mask;
    document.guides = guideSegments;
    document.flowScale = state.flowScale;
    document.phaseSpacing = state.phaseSpacing;
    document.settings.freeze = state.freezeWhereMasked;
    document.settings.brushRadius = state.brushRadius;
    return document;
}

bool saveWorkingDocument(AppState& state) {
    const FlowDocument document = workingDocument(state);
    std::string error;
    if (!writeFlowDocument(flowDocumentFileName, document, &error)) {
        reportProblem("%s not saved: %s", flowDocumentFileName, error.c_str());
        state.window.message = std::string(flowDocumentFileName) + " not saved: " + error;
        state.window.messageIsError = true;
        return false;
    }
    const std::size_t count = document.guides.size();
    std::printf("saved %s (%zu %s)\n", flowDocumentFileName, count, count == 1 ? "guide" : "guides");
    std::fflush(stdout);
    state.window.message = formatLine("saved %s (%zu %s)", flowDocumentFileName, count, count == 1 ? "guide" : "guides");
    state.window.messageIsError = false;
    markSaved(state.history);
    return true;
}

bool hasUnsavedChanges(const AppState& state) { return hasUnsavedSteps(state.history); }

void toggleGuides(AppState& state) { state.showGuides = !state.showGuides; }
void toggleParticles(AppState& state) { state.showParticles = !state.showParticles; }
void toggleMaskTint(AppState& state) { state.showMask = !state.showMask; }

void togglePictureFilter(AppState& state) {
    if (state.pictureFilter == PictureFilter::Sharp) {
        state.pictureFilter = PictureFilter::Fast;
    } else if (!displaceHasSharpFilter()) {
        reportProblem("displace.frag here has no sharp filter (it was written before there was one); the "
                      "shader files of a scene made now by stillflow-new can replace this folder's");
    } else if (preparePictureFilter(PictureFilter::Sharp).has_value()) {
        // Its logs are on standard output; the user's work is worth more
        // than the filter, so the window stays on the one it shows.
        reportProblem("the sharp filter is not available: displace.frag does not build with SHARP_FILTER "
                      "defined; the window keeps the fast filter");
    } else {
        state.pictureFilter = PictureFilter::Sharp;
    }
}

void exportFromWindow(AppState& state) {
    std::string error;
    if (startWindowExport(state, error)) return;
    state.window.message = error;
    state.window.messageIsError = true;
    reportProblem("%s", error.c_str());
}

void runCommands(AppState& state) {
    if (keyDown(Key::G)) toggleGuides(state);
    if (keyDown(Key::P)) toggleParticles(state);
    if (keyDown(Key::M)) toggleMaskTint(state);
    if (keyDown(Key::F)) togglePictureFilter(state);
    if (keyDown(Key::Tab)) state.window.panelShown = !state.window.panelShown;

    if (mouseDown(MouseButton::Left) || mousePressed(MouseButton::Left)) return;
    runMotionKeys(state);
    const bool shift = keyActive(Key::Shift);
    if (ctrlChord(Key::Z) && !shift) {
        undoLastStep(state);
    } else if (ctrlChord(Key::Y) || (ctrlChord(Key::Z) && shift)) {
        redoLastStep(state);
    }
    if (ctrlChord(Key::S)) saveWorkingDocument(state);
    if (ctrlChord(Key::E)) exportFromWindow(state);
}
