#pragma once

#include <string>

#include "app/app_state.h"
#include "platform/gui_options.h"

// How a scene is opened: by the program (a window, or offscreen for tests),
// by the export and the tests (offscreen, on virtual time).
struct SceneOptions {
    GuiOptions gui;          // the window system: backend, size, script, grabs (parseGuiOptions)
    bool onAppClock = true;  // start the AppClock and set the first phases on it; false: they
                             // are set for time 0 of the caller's own clock
    bool playMusic = true;   // start the music, which then plays on its own
    bool fitPhaseSpacingToWindow = true;  // a document's spacing outside what a window shows
                                          // as a loop runs at the nearest bound (layer_plan.h)
};

// The options of programs that render a scene without a window: the
// offscreen backend at its smallest widget (they draw into textures of
// their own), time 0, no music.
SceneOptions headlessSceneOptions();

// Opens the scene in the working directory, in start-up's fixed order:
// pictures and CPU-side grids, the clock, the window system and GL context,
// the GPU resources, the flow document, the music. A usable document that
// replaces the picture re-creates every grid and texture at its size.
//
// False, with one line in `error` (without the program's name), when the
// working picture is missing, undecodable, smaller than 3 x 3, larger than
// the GPU or the memory can take, when the window system or the GL context
// cannot start, or when the GPU runs out of memory for its textures (also
// those of a document's picture). What was begun is released then, the
// context included, and the process goes on: the entry point decides.
// A refused overlay or document only costs that file, after one line on
// standard error (reportProblem).
bool openScene(AppState& state, const SceneOptions& options, std::string& error);

// Opens the scene in `folder` in place of the one the running window shows,
// on the window's context (current): the same steps as openScene but the
// window system and the clock, with the passes' shader programs built from
// the new folder's files first. The working directory becomes `folder`.
// What belongs to the window (state.window, the drawing toggles but the
// picture filter, the frame count) is kept; the scene's history starts
// afresh, and its music replaces the old.
//
// False, with one line in `error`, on what openScene refuses and on shader
// files that do not build (their logs on standard output): the current
// scene is then as it was, the working directory, the guides and the
// passes' programs included (the programs are built again on their next use).
bool openSceneInWindow(AppState& state, const std::string& folder, std::string& error);

// The animation's textures at the picture's size, and the overlay read from
// the working directory within the GPU's limits and uploaded (needs a
// current context); false, with one line in `error`, when the GPU cannot
// take the picture or runs out of memory for it.
bool createSceneTextures(AppState& state, std::string& error);

// Releases every GL object (the textures, then the passes' programs,
// framebuffers and geometry), then the GL context.
void shutDown(AppState& state);
