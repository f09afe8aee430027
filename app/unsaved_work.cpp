#include "app/unsaved_work.h"

#include <cstdio>
#include <filesystem>

#include "app/commands.h"
#include "app/scene_path.h"
#include "app/startup.h"
#include "app/window_export.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"

namespace {

// Whether leaving the scene now would lose work the user may want.
bool worthAsking(const AppState& state) {
    return state.window.inRealWindow && guiFailure().empty() && hasUnsavedChanges(state);
}

void ask(AppState& state, UnsavedQuestion question, const std::string& path) {
    state.window.question = question;
    state.window.questionPath = path;
}

}  // namespace

bool keepRunning(AppState& state) {
    WindowSession& window = state.window;
    if (window.leaveNow) return false;
    // 1. Escape that went to the panel ends nothing until it is released.
    if (window.escapeSpent && !keyPressed(Key::Escape) && !keyDown(Key::Escape)) window.escapeSpent = false;
    const bool escapeFresh = keyDown(Key::Escape) && !window.escapeSpent;
    // A field of the panel being edited takes Escape for itself; the
    // question (which holds the panel's keyboard) answers it.
    bool escapeDown = escapeFresh && !panelHasKeyboard();

    // 2. The open question's keys.
    if (window.question != UnsavedQuestion::None) {
        escapeDown = escapeFresh;
        if (keyDown(Key::S)) {
            answerUnsavedQuestion(state, UnsavedAnswer::Save);
        } else if (keyDown(Key::D)) {
            answerUnsavedQuestion(state, UnsavedAnswer::Discard);
        } else if (escapeDown) {
            answerUnsavedQuestion(state, UnsavedAnswer::Cancel);
            window.escapeSpent = true;
            escapeDown = false;
        }
        if (window.leaveNow) return false;
    }

    // 3. Escape in the panel stops an export rather than the run.
    if (escapeDown && window.panelShown && windowExportRunning(state)) {
        cancelWindowExport(state);
        window.escapeSpent = true;
    }

    // 4. A close request or Escape held: leave, or ask first.
    const bool escapeHeld = keyPressed(Key::Escape) && !window.escapeSpent && !panelHasKeyboard();
    if (!windowCloseRequest() && !escapeHeld) return true;
    if (window.question == UnsavedQuestion::None) {
        if (!worthAsking(state)) return false;
        ask(state, UnsavedQuestion::BeforeQuitting, "");
    }
    // Asked (now or before): the request waits for the answer, unless it is
    // one the window system insists on (-frames, a failure).
    if (windowCloseRequest() && !dismissCloseRequest()) return false;
    if (escapeHeld) window.escapeSpent = true;
    return true;
}

void requestOpen(AppState& state, const std::string& path) {
    if (state.window.question != UnsavedQuestion::None) return;
    if (worthAsking(state)) {
        ask(state, UnsavedQuestion::BeforeOpening, path);
        return;
    }
    state.window.openRequest = path;
}

void answerUnsavedQuestion(AppState& state, UnsavedAnswer answer) {
    WindowSession& window = state.window;
    const UnsavedQuestion question = window.question;
    if (question == UnsavedQuestion::None || answer == UnsavedAnswer::None) return;
    window.question = UnsavedQuestion::None;
    if (answer == UnsavedAnswer::Cancel) return;
    // A save that failed keeps the run, and the work, where they are.
    if (answer == UnsavedAnswer::Save && !saveWorkingDocument(state)) return;
    if (question == UnsavedQuestion::BeforeQuitting) window.leaveNow = true;
    if (question == UnsavedQuestion::BeforeOpening) window.openRequest = window.questionPath;
}

void openRequestedScene(AppState& state) {
    WindowSession& window = state.window;
    if (window.openRequest.empty()) return;
    const std::string path = window.openRequest;
    window.openRequest.clear();
    std::string folder;
    std::string made;
    std::string error;
    if (!sceneFolderForPath(path, window.photoMaxSide, folder, made, error) ||
        !openSceneInWindow(state, folder, error)) {
        state.window.message = error;
        state.window.messageIsError = true;
        reportProblem("%s", error.c_str());
        return;
    }
    if (!made.empty()) {
        std::printf("%s\n", made.c_str());
        std::fflush(stdout);
    }
    state.window.message = made.empty() ? "opened " + state.sceneName : made;
    state.window.messageIsError = false;
}
