#pragma once
// Writing pictures as PNG files.

#include "flow/grid.h"

// Writes the picture as an 8-bit RGBA PNG. False (and nothing printed) when
// the picture is empty or the file cannot be written in full.
bool writePng(const char* path, const ImageGrid& picture);
