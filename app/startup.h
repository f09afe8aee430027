#pragma once

#include "app/app_state.h"

// Start-up in its fixed order: pictures and CPU-side grids, the clock, the
// window and GL context, the GPU resources, the flow document, the music.
// Ends the process with exit code 1, after one line on standard error, when
// the working picture is missing, undecodable, smaller than 3 x 3, larger
// than the GPU or the memory can take, or the GPU runs out of memory for its
// textures (also those of a document's picture): the program cannot animate
// it, so it stops before any window shows.
void startUp(AppState& state, int& argc, char** argv);

// The steps of startUp that other programs running a scene share, in the
// order startUp takes them:
//   loadScenePictures   the working picture (ending the process as above),
//                       the overlay, and the CPU-side state at its size;
//   createSceneTextures the animation's textures and the overlay's (needs a
//                       current context);
//   readSceneDocument   the first layer phases for a run whose clock reads
//                       `now`, then the flow document if there is a readable
//                       one, which replaces picture, mask, flowScale and
//                       phaseSpacing, rebuilds the textures and marks the
//                       guides for synthesis.
void loadScenePictures(AppState& state);
void createSceneTextures(AppState& state);
void readSceneDocument(AppState& state, double now);

// Start-up for programs that render a scene without a window: the same
// pictures, failures, textures and document as startUp, with the GL context
// of the offscreen backend (no display needed), no music, and the first layer
// phases set for time 0. Error lines start with the base name of argv0.
void startUpOffscreen(AppState& state, const char* argv0);

// Releases every GL object (the textures, then the passes' programs,
// framebuffers and geometry), then the GL context.
void shutDown(AppState& state);
