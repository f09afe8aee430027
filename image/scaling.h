#pragma once
// Scaling a picture down to a size limit, for photos larger than the
// animation needs.

#include "flow/grid.h"

struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The size of a width x height picture whose longer side is at most
// `maxSide`, keeping the aspect ratio (sides rounded to the nearest pixel, no
// side below `minimumSide`). The size itself when it already fits or when
// `maxSide` is not positive.
PictureSize fitWithinSide(std::int32_t width, std::int32_t height, std::int32_t maxSide, std::int32_t minimumSide);

// The picture resampled to `size` with a filter fit for shrinking photos
// (Mitchell, in linear light, with colour weighted by alpha, edges clamped).
// An empty grid when the result cannot be allocated.
ImageGrid resizeImage(const ImageGrid& picture, PictureSize size);
