#pragma once
// Picture files into RGBA8 grids. Any format the stb_image decoder reads;
// pixels arrive as R, G, B, A bytes, row-major, top row first, with fewer
// channels already expanded (grey gives R = G = B, a missing alpha 255).
// Only regular files are read (platform/regular_file.h). Failures print
// nothing and throw nothing.

#include <climits>
#include <cstdint>
#include <string>

#include "flow/grid.h"

// The most pixels the decoder delivers in one picture: its output buffer,
// four bytes a pixel, has a signed 32-bit size, so a larger picture would
// fail only after much of the file was read and inflated (a zero-filled PNG
// of 30000 x 30000 is a file of under a megabyte). Refused from the header.
constexpr std::int64_t kMostDecodedPixels = INT_MAX / 4;

// Empty when the decoder takes a picture of this size; otherwise the phrase
// that follows "is" in a message naming the file:
// "30000 x 30000 pixels, more than the 536 million the picture decoder takes".
std::string pictureDecodeProblem(std::int32_t width, std::int32_t height);

// Decodes the picture at `path`. True when it was decoded (a picture its
// header declares larger than kMostDecodedPixels never is); then
// `destination`, if given, holds it: a destination of the picture's size
// keeps its storage, one of another size takes new storage. On false the
// destination is unchanged.
bool loadImageInto(const char* path, ImageGrid* destination);

// The width and height that the picture file at `path` declares, read from
// its header without decoding or allocating pixels, so that a picture too
// large to use can be refused before the decoder reserves memory for it.
// False when the file cannot be opened or is not a picture loadImageInto
// would take a look at (the same checks run first).
bool readPictureSize(const char* path, std::int32_t* width, std::int32_t* height);

// The picture at `path`, or an empty grid (0 x 0, no storage) when it cannot
// be opened or decoded.
ImageGrid loadImage(const char* path);
