#include "app/commands.h"

#include <cstdio>
#include <string>

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

}  // namespace

bool saveWorkingDocument(AppState& state) {
    FlowDocument document;
    document.picture = state.picture;
    document.mask = state.mask;
    document.guides = guideSegments;
    document.flowScale = state.flowScale;
    document.phaseSpacing = state.phaseSpacing;
    std::string error;
    if (!writeFlowDocument(flowDocumentFileName, document, &error)) {
        reportProblem("%s not saved: %s", flowDocumentFileName, error.c_str());
        return false;
    }
    const std::size_t count = document.guides.size();
    std::printf("saved %s (%zu %s)\n", flowDocumentFileName, count, count == 1 ? "guide" : "guides");
    std::fflush(stdout);
    markSaved(state.history);
    return true;
}

bool hasUnsavedChanges(const AppState& state) { return hasUnsavedSteps(state.history); }

void runCommands(AppState& state) {
    if (keyDown(Key::G)) state.showGuides = !state.showGuides;
    if (keyDown(Key::P)) state.showParticles = !state.showParticles;
    if (keyDown(Key::M)) state.showMask = !state.showMask;
    if (keyDown(Key::F)) {
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

    if (mouseDown(MouseButton::Left) || mousePressed(MouseButton::Left)) return;
    const bool shift = keyActive(Key::Shift);
    StepTarget changed = StepTarget::None;
    if (ctrlChord(Key::Z) && !shift) {
        changed = undoEdit(state.history, guideSegments, state.mask);
    } else if (ctrlChord(Key::Y) || (ctrlChord(Key::Z) && shift)) {
        changed = redoEdit(state.history, guideSegments, state.mask);
    }
    // The flow follows the guides as after any edit; the mask is not part of it.
    if (changed == StepTarget::Guides) state.flowDirty = true;
    if (changed == StepTarget::Mask) state.maskTintStale = true;
    if (ctrlChord(Key::S)) saveWorkingDocument(state);
}
