#pragma once
// Drawing in picture coordinates with the fixed-function pipeline: the frame
// the window shows (and the export's frames) around the animated picture.
// app/ decides what is drawn, when and in which colour through these; edit/
// and flow/ build what is drawn (guide marks, particle positions) as plain
// CPU data. Every function needs the context current.
//
// Contents
//   1. where drawing goes: the window's framebuffer, picture coordinates
//   2. pictures: textures over the picture rectangle, the mask as a tint
//   3. marks: the preview particles, outlines, lines over a halo

#include <GL/glew.h>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <vector>

#include "flow/grid.h"
#include "gpu/texture.h"

// An RGBA colour, each component from 0 to 1.
using Colour = std::array<GLfloat, 4>;
constexpr Colour opaqueWhite = {1.0f, 1.0f, 1.0f, 1.0f};

// ---- 1. where drawing goes ---------------------------------------------------

// Draws into the window (framebuffer 0) again, after the passes drew into
// their own framebuffers.
void drawIntoWindow();

// Selects no shader program: the fixed-function pipeline draws from here.
void useFixedFunctionPipeline();

// No shader program, no vertex array and no buffer bound (array, element
// and pixel-unpack), so that drawing with client-side arrays reads them from
// memory: what the panel's drawing expects (platform/gui.h: PanelEnd).
void useClientArrays();

// Clears the bound framebuffer's colour to transparent black (0, 0, 0, 0).
void clearToTransparentBlack();

// Viewport (0, 0, viewportWidth, viewportHeight); projection matrix the
// identity, then gluOrtho2D with these edges in picture coordinates;
// model-view matrix the identity. Leaves the model-view matrix selected.
void setPictureProjection(int viewportWidth, int viewportHeight, double left, double right, double bottom,
                          double top);

// Blending and line smoothing off, for whatever draws next.
void endPictureDrawing();

// ---- 2. pictures -------------------------------------------------------------

// The picture rectangle (0, 0)-(width, height) with the whole texture on it,
// texture row 0 at y = 0, every vertex in `colour` (which the default texture
// environment multiplies with the texels), alpha-blended over what is there.
// Binds the texture on unit 0; leaves blending and texturing off.
void drawPicture(Texture& texture, float width, float height, const Colour& colour = opaqueWhite);

// Uploads the overlay picture into `texture` with the plain upload: RGBA8 at
// the picture's own size, nearest-neighbour both ways, clamped to the edge.
void uploadOverlayPicture(const ImageGrid& picture, Texture& texture);

// Replaces `texture` with the mask as an alpha-only texture (GL_ALPHA8,
// nearest, clamped): drawn with drawPicture, each cell shows `colour` at the
// cell's share of its opacity, and an empty cell leaves the picture as it is.
void uploadMaskTint(const ByteMask& mask, Texture& texture);

// ---- 3. marks ----------------------------------------------------------------

// The preview particles: one smoothed white point of 12 window pixels a
// position, whatever the zoom, alpha-blended. Expects texturing off. Leaves
// blending off and point smoothing on, the colour white and the point size 12.
void drawParticles(const Vec2* positions, std::size_t count);

// A closed outline of 40 segments in the current colour; the first vertex
// lies at angle 0, to the right of the centre.
void drawCircleOutline(Vec2 centre, float radius);

// The mask brush under the cursor: a white circle outline, one window pixel
// wide, unblended.
void drawBrushOutline(Vec2 centre, float radius);

// Line segments (pairs of points, picture coordinates) in one style.
struct LineList {
    const std::vector<Vec2>* segments;
    GLfloat width;  // window pixels
    Colour colour;
};

// Draws each list, in order, over a translucent dark halo two pixels wider,
// so that the lines show on light and dark parts of the picture alike; an
// empty list draws nothing. Texturing off, alpha-blended. Leaves blending and
// texturing off, the line width 1 and the colour white.
void drawHaloedLines(std::initializer_list<LineList> lists);
