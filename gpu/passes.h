#pragma once
// The three render-to-texture passes of the animation. Each pass keeps, from
// its first call until releasePassObjects(), a shader program built from
// "pass.vert" and its fragment file (read from the working directory on that
// first call) and one framebuffer; the first draw creates the geometry that
// all three share.
//
// A pass that cannot draw (its program does not link, or its target leaves
// the framebuffer incomplete) prints what the program has always printed on
// standard output (the link log, or "incomplete FBO!"), draws nothing and
// returns a PassFailure; the caller decides what follows. Nothing here ends
// the process. Each pass that draws leaves its framebuffer bound, its program
// in use, the shared vertex array bound and the viewport at the target's
// size; the caller restores the default framebuffer and program before
// drawing on screen.

#include <GL/glew.h>

#include <optional>
#include <string>

#include "gpu/texture.h"

// Why a pass did not draw. Its logs are on standard output by then: the
// compile logs while its program was built, then the link log with "%s\n",
// or the line "incomplete FBO!".
struct PassFailure {
    enum class Kind { programNotLinked, framebufferIncomplete };
    Kind kind = Kind::programNotLinked;
    std::string linkLog;  // programNotLinked: the program's link log, as printed
    std::string reason;   // one line for the user, without a program name: the
                          // shader file to blame, or the target the GPU refused
};

// Draws the one triangle that covers clip space [-1, 1]^2. The buffer and the
// vertex array are created by the first call, with the attribute at the
// location that call gives; later calls only bind and draw.
void drawFullscreenTriangle(GLint location);

// Writes the identity mapping into a UV layer: texel (x, y) holds (x, y).
[[nodiscard]] std::optional<PassFailure> identityPass(Texture& target);

// Advances the UV layer `image` by dt seconds along `flow` (picture texels per
// second) into `target`, so that the picture seen through the layer moves the
// way the preview particles do.
[[nodiscard]] std::optional<PassFailure> advectPass(Texture& image, Texture& flow, Texture& target, float dt);

// How the displace pass reads the picture between texels. Both are cubics
// that show the picture exactly at whole positions; Sharp keeps more of its
// finest detail at about two and a half times the cost of the pass.
enum class PictureFilter {
    Fast,   // 4 x 4 texels: the window's default
    Sharp,  // 6 x 6 texels: the video export's, and the window's on request
};

// Renders sum_k w_k * picture(uvs_k) into target. The layers and the target
// may be smaller than the picture (the window's proxy): "layerScale" tells
// the shader the picture texels per layer texel (image size over target
// size, per axis). The Sharp filter is the
// same "displace.frag" built with SHARP_FILTER defined, a program of its own
// built on its first use.
[[nodiscard]] std::optional<PassFailure> displacePass(Texture& image, Texture& uvs0, Texture& uvs1, Texture& uvs2,
                                                      float w0, float w1, float w2, Texture& target,
                                                      PictureFilter filter);

// Whether the working directory's "displace.frag" has a sharp filter of its
// own (it mentions SHARP_FILTER). Files written before there was one build
// the same picture for both filters.
bool displaceHasSharpFilter();

// Whether the working directory's "displace.frag" reads layers smaller than
// the picture (it uses "layerScale"), building the program of `filter` if
// it is not built. A file written before the proxy existed does not: the
// window then animates at the picture's own size. False as well when the
// program does not build (the pass says why when it runs).
bool displaceTakesLayerScale(PictureFilter filter);

// Builds the displace program of `filter` now, unless it is built already,
// so that a caller can ask before it draws with that filter: a program that
// does not link prints its log as a pass does, is not kept, and is answered
// as the pass would answer. A later pass with that filter tries again.
[[nodiscard]] std::optional<PassFailure> preparePictureFilter(PictureFilter filter);

// Builds the programs of the identity, advect and displace passes (the fast
// filter) from the working directory's shader files now, unless they are
// built, so that a caller can learn before the first frame whether the
// shader files build: the first failure comes back as a pass would report
// it (its logs printed). What was built stays for the passes.
[[nodiscard]] std::optional<PassFailure> buildPassPrograms();

// Deletes the programs, their framebuffers and the shared geometry.
// Call while the context that made them is current, before it is destroyed:
// nothing else ever deletes them. A pass called afterwards builds its objects
// afresh, reading its shader files again.
void releasePassObjects();
