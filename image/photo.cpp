#include "image/photo.h"

#include <cstdio>

#include "image/loading.h"
#include "image/orientation.h"

namespace {

// Four bytes a pixel: the decoder's buffer, the picture, its prepared copy.
constexpr std::uint64_t kPreparationBytesPerPixel = 3 * 4;

// Of the memory available, an eighth stays free for what the count leaves
// out (the decoder's inflated rows, the scaler's filters, the rest of the
// desktop), as the program keeps for its pictures.
std::uint64_t spareableBytes(std::uint64_t available) { return available / 8 * 7; }

constexpr double kBytesPerGibibyte = 1024.0 * 1024.0 * 1024.0;

}  // namespace

ImageGrid loadPhoto(const char* path) {
    ImageGrid stored = loadImage(path);
    if (stored.empty()) return stored;
    const int orientation = readExifOrientation(path);
    if (orientation == 1) return stored;
    return orientImage(stored, orientation);
}

std::uint64_t photoPreparationBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * kPreparationBytesPerPixel;
}

std::string photoSizeProblem(const char* path, std::uint64_t availableBytes) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!readPictureSize(path, &width, &height)) return {};
    std::string problem = pictureDecodeProblem(width, height);
    if (!problem.empty()) return problem;
    const std::uint64_t needed = photoPreparationBytes(width, height);
    if (availableBytes == 0 || needed <= spareableBytes(availableBytes)) return {};
    char text[256];
    std::snprintf(text, sizeof text,
                  "%d x %d pixels, which needs %.1f GiB of memory to prepare; %.1f GiB of the %.1f GiB available "
                  "can be spared",
                  width, height, static_cast<double>(needed) / kBytesPerGibibyte,
                  static_cast<double>(spareableBytes(availableBytes)) / kBytesPerGibibyte,
                  static_cast<double>(availableBytes) / kBytesPerGibibyte);
    return text;
}
