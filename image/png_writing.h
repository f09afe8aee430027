#pragma once
// Writing pictures as PNG files.

#include "flow/grid.h"

// Writes the picture as an 8-bit RGBA PNG, through writeFileSafely (a
// temporary created exclusively beside it, synced, renamed over it). False
// (and nothing printed) when the picture is empty or the file cannot be
// written in full; `path` is then as it was.
bool writePng(const char* path, const ImageGrid& picture);
