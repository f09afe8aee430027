#pragma once
// Photos as they stand: a picture file decoded like the program's own
// pictures, then turned by its EXIF orientation.

#include <cstdint>
#include <string>

#include "flow/grid.h"

// The picture at `path` (any format loadImage reads), with a JPEG's EXIF
// orientation applied; an empty grid when it cannot be read.
ImageGrid loadPhoto(const char* path);

// Bytes held at the peak while a photo of this size is read and prepared:
// the decoder's buffer, the picture copied from it, and an upright or
// scaled copy, four bytes a pixel each.
std::uint64_t photoPreparationBytes(std::int32_t width, std::int32_t height);

// Empty when the photo at `path`, at the size its header declares, can be
// decoded and prepared with `availableBytes` of memory (0: memory not
// checked); otherwise the phrase that follows "is" in a message naming the
// file: the decoder's limit ("30000 x 30000 pixels, more than the 536
// million the picture decoder takes") or memory ("20000 x 20000 pixels,
// which needs 4.5 GiB of memory to prepare; ..."). A header that cannot be
// read gives no phrase: reading the photo then fails on its own.
std::string photoSizeProblem(const char* path, std::uint64_t availableBytes);
