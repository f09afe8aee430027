// The picture limits that the GL implementation sets, once the context is
// current: apart from the plain arithmetic of picture_limits.cpp, so that
// that part needs no GL.

#include "app/picture_limits.h"
#include "gpu/gpu_limits.h"
#include "platform/memory.h"

namespace {

bool gpuTakesPicture(PictureUse use, std::int32_t width, std::int32_t height) {
    return use == PictureUse::animated ? renderTargetsFit(width, height) : overlayTextureFits(width, height);
}

}  // namespace

PictureLimits limitsOfGpu() {
    PictureLimits limits;
    limits.largestSide = largestTextureSide();
    limits.sideOwner = "this GPU";
    limits.availableBytes = availableMemoryBytes();
    limits.gpuTakesPicture = gpuTakesPicture;
    return limits;
}
