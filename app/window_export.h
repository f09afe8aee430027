#pragma once
// Exporting from the window: stillflow-export, found beside the program,
// runs as a child on a copy of the scene as it stands (the working document
// written by the one document writer into a private temporary folder, the
// scene's other files linked there), so the file it makes is the one it
// makes from that document, unsaved edits included, and the scene folder
// gets nothing but the video. The window keeps drawing and taking edits
// meanwhile; an edit made during an export does not change it.

#include <string>

#include "app/app_state.h"

// Starts an export of the scene as it stands with the panel's choices, to
// "loop.mp4" (or the next free name) in the scene folder. False, with one
// line in `error`, when one is running already, the tool is missing, or the
// copy of the scene cannot be made.
bool startWindowExport(AppState& state, std::string& error);

// Whether an export is running; its progress from 0 to 100 (-1 when none).
bool windowExportRunning(const AppState& state);
int windowExportPercent(const AppState& state);

// Once a frame: takes in what the tool said; once it has ended, puts its
// last word in the panel's message (the file, its size and length; or why
// it failed) and removes the scene's copy.
void pollWindowExport(AppState& state);

// Asks the running export to stop: it removes its temporary file, and a file
// it still finished is removed; the scene's copy goes once it has ended.
void cancelWindowExport(AppState& state);

// At the end of the run: a running export is waited for (`finish`, offscreen
// runs, whose results must not depend on the machine's speed) or cancelled,
// and ended either way; nothing of it is left but a finished file.
void endWindowExport(AppState& state, bool finish);
