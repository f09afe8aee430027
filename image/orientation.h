#pragma once
// Camera photos store their pixels as the sensor saw them and say in an EXIF
// tag (Orientation, 1-8) how they must be turned to stand as the camera
// showed them. These read that tag and apply it.

#include "flow/grid.h"

// The EXIF orientation (1-8) of the JPEG file at `path`; 1, the identity,
// when the file has no EXIF data, no Orientation tag or a value outside 1-8.
// Prints nothing.
int readExifOrientation(const char* path);

// The picture as it stands once `orientation` (an EXIF value) is applied:
// 2 mirrors left-right, 3 turns half a turn, 4 mirrors top-bottom, 5
// transposes, 6 turns a quarter clockwise, 7 transposes across the other
// diagonal, 8 turns a quarter anticlockwise; 5-8 swap width and height. Any
// other value gives an unchanged copy. An empty grid when the copy cannot be
// allocated.
ImageGrid orientImage(const ImageGrid& stored, int orientation);
