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

// Releases every GL object (the textures, then the passes' programs,
// framebuffers and geometry), then the GL context.
void shutDown(AppState& state);
