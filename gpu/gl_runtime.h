#pragma once
// The GL implementation at run time, as the gpu layer uses it: its entry
// points and its queue of commands.

// Loads the entry points beyond OpenGL 1.1 (shaders, programs, buffers,
// vertex arrays, framebuffers, glActiveTexture, uniforms) through GLEW for
// the context that is current: once, right after the program's context is
// made current and before any other gpu/ call. The result is not examined.
void loadGlFunctions();

// Returns once the GPU has finished every command given so far (glFinish):
// for measuring what a pass costs, not for drawing.
void waitForGpu();
