#include "image/png_writing.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "platform/safe_file.h"

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

}  // namespace

bool writePng(const char* path, const ImageGrid& picture) {
    constexpr int kRgbaChannels = 4;
    if (!path || picture.empty() || picture.width > INT_MAX / kRgbaChannels) return false;
    // Encoded in memory and written here: the encoder's own file writer does
    // not check its write, so a full disk would pass for success.
    std::vector<std::uint8_t> encoded;
    if (!stbi_write_png_to_func(appendBytes, &encoded, picture.width, picture.height, kRgbaChannels, picture.data(),
                                picture.width * kRgbaChannels)) {
        return false;
    }
    // Through a temporary created exclusively: never through a link planted
    // under the name, and never a half-written picture.
    std::string error;
    return writeFileSafely(path, encoded.data(), encoded.size(), error);
}
