#include "image/loading.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include <stb_image.h>

namespace {

constexpr int kRgbaComponents = 4;

// Owns the decoder's pixel buffer so that it is released on every path.
struct DecodedPixels {
    stbi_uc* pixels = nullptr;
    ~DecodedPixels() {
        if (pixels) stbi_image_free(pixels);
    }
};

}  // namespace

bool loadImageInto(const char* path, ImageGrid* destination) {
    if (!path) return false;

    // 1-2. Decode from the open file; the file is not needed afterwards.
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    int width = 0;
    int height = 0;
    int fileComponents = 0;
    DecodedPixels decoded;
    decoded.pixels = stbi_load_from_file(file, &width, &height, &fileComponents, kRgbaComponents);
    std::fclose(file);

    // 3. No buffer or no pixels: not a picture.
    if (!decoded.pixels || width < 1 || height < 1) return false;
    if (!destination) return true;

    // 4. Sizes in 64 bits. A destination of another size gets new storage,
    // built aside so that a failed allocation leaves it untouched.
    const std::int64_t byteCount = gridCellCount(width, height) * kRgbaComponents;
    if (destination->width != width || destination->height != height) {
        ImageGrid resized;
        if (!resized.tryCreate(width, height)) return false;
        *destination = std::move(resized);
    }
    std::memcpy(destination->data(), decoded.pixels, static_cast<std::size_t>(byteCount));
    return true;
}

ImageGrid loadImage(const char* path) {
    ImageGrid picture;
    if (!loadImageInto(path, &picture)) return ImageGrid();
    return picture;
}
