#pragma once
// Picture files into RGBA8 grids. Any format the stb_image decoder reads;
// pixels arrive as R, G, B, A bytes, row-major, top row first, with fewer
// channels already expanded (grey gives R = G = B, a missing alpha 255).
// Failures print nothing and throw nothing.

#include "flow/grid.h"

// Decodes the picture at `path`. True when it was decoded; then
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
