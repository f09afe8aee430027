#pragma once
// Photos as they stand: a picture file decoded like the program's own
// pictures, then turned by its EXIF orientation.

#include "flow/grid.h"

// The picture at `path` (any format loadImage reads), with a JPEG's EXIF
// orientation applied; an empty grid when it cannot be read.
ImageGrid loadPhoto(const char* path);
