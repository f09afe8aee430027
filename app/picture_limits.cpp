#include "app/picture_limits.h"

#include <cstdio>

#include "platform/memory.h"
#include "platform/texture_side_guess.h"

namespace {

// Bytes per pixel of the animated picture. GPU: the picture and output
// textures (RGBA8, 4 each), the flow texture and six UV layers (RG32F, 8
// each). CPU: the picture (4), flow grid (8) and mask (1), plus one
// picture-sized RG32F grid (8) while a texture is filled from it. GPU memory
// is counted against the machine's too: a software or integrated GPU keeps
// its textures there.
constexpr std::uint64_t kAnimatedGpuBytesPerPixel = 4 + 4 + 8 + 6 * 8;
constexpr std::uint64_t kAnimatedCpuBytesPerPixel = 4 + 8 + 1 + 8;
// The overlay: one RGBA8 texture, its grid and the decoder's buffer.
constexpr std::uint64_t kOverlayGpuBytesPerPixel = 4;
constexpr std::uint64_t kOverlayCpuBytesPerPixel = 4 + 4;

constexpr double kBytesPerGibibyte = 1024.0 * 1024.0 * 1024.0;

// Of the memory available, an eighth stays free for what the count above
// leaves out (the decoder's working buffers, the driver, the rest of the
// desktop): a run planned to the last byte would swap or be killed, and a
// picture refused only after decoding costs seconds and gigabytes first.
constexpr std::uint64_t kSpareableEighths = 7;

std::uint64_t spareableBytes(std::uint64_t available) { return available / 8 * kSpareableEighths; }

std::uint64_t pixelCount(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

}  // namespace

PictureLimits limitsBeforeGpu() {
    PictureLimits limits;
    limits.largestSide = kLargestAnyGpuSide;
    limits.sideOwner = "any GPU";
    limits.availableBytes = availableMemoryBytes();
    return limits;
}

std::uint64_t pictureTextureBytes(std::int32_t width, std::int32_t height, PictureUse use) {
    const std::uint64_t perPixel = use == PictureUse::animated ? kAnimatedGpuBytesPerPixel : kOverlayGpuBytesPerPixel;
    return pixelCount(width, height) * perPixel;
}

std::uint64_t pictureMemoryBytes(std::int32_t width, std::int32_t height, PictureUse use) {
    const std::uint64_t perPixel = use == PictureUse::animated ? kAnimatedCpuBytesPerPixel : kOverlayCpuBytesPerPixel;
    return pictureTextureBytes(width, height, use) + pixelCount(width, height) * perPixel;
}

std::string pictureSizeProblem(std::int32_t width, std::int32_t height, PictureUse use,
                               const PictureLimits& limits) {
    // 1. Sides: the cheapest test, and the one every GPU has.
    char text[256];
    if (width > limits.largestSide || height > limits.largestSide) {
        std::snprintf(text, sizeof text, "%d x %d pixels, larger than the %d x %d %s takes", width, height,
                      limits.largestSide, limits.largestSide, limits.sideOwner);
        return text;
    }
    // 2. Memory for everything the run keeps at this size.
    const std::uint64_t needed = pictureMemoryBytes(width, height, use);
    if (limits.availableBytes != 0 && needed > spareableBytes(limits.availableBytes)) {
        std::snprintf(text, sizeof text,
                      "%d x %d pixels, which needs %.1f GiB of memory; %.1f GiB of the %.1f GiB available can be spared",
                      width, height, static_cast<double>(needed) / kBytesPerGibibyte,
                      static_cast<double>(spareableBytes(limits.availableBytes)) / kBytesPerGibibyte,
                      static_cast<double>(limits.availableBytes) / kBytesPerGibibyte);
        return text;
    }
    // 3. The GPU's own answer for its largest texture of this size.
    if (limits.gpuTakesPicture) {
        if (!limits.gpuTakesPicture(use, width, height)) {
            std::snprintf(text, sizeof text, "%d x %d pixels, larger than %s can hold in one texture", width,
                          height, limits.sideOwner);
            return text;
        }
    }
    return {};
}
