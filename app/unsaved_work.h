#pragma once
// Leaving a scene without losing work: closing the window, holding Escape or
// dropping another scene on the window with unsaved changes asks first
// (Save, Discard or Cancel); without unsaved changes, and in offscreen runs,
// the window goes on as asked at once.

#include <string>

#include "app/app_state.h"

// Right after WindowBegin, once a frame: false when the loop must end now
// (a close request or Escape held, with nothing to ask about, or a question
// answered so). Otherwise a close request or Escape opens the question, and
// S, D and Escape answer one that is open. While an export runs, Escape
// cancels it instead of quitting.
bool keepRunning(AppState& state);

// The file or folder to open next (dropped on the window): opened once the
// frame is shown, after the question when there is unsaved work.
void requestOpen(AppState& state, const std::string& path);

// The user's answer to the open question: Save (then go on, unless the save
// failed), Discard (go on) or Cancel (stay).
void answerUnsavedQuestion(AppState& state, UnsavedAnswer answer);

// Once the frame is shown: opens the scene that was asked for, if any
// (app/scene_path.h, app/startup.h). Its failure is the panel's message and
// one line on standard error; the scene stays as it was then.
void openRequestedScene(AppState& state);
