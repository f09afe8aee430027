#include "image/png_writing.h"

#include <png.h>
#include <zlib.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "platform/safe_file.h"

namespace {

// libpng reports a failure by a long jump back to encodePng's setjmp, which
// crosses these callbacks: they hold nothing with a destructor when they
// call png_error.
void appendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bool full = false;
    try {
        bytes->insert(bytes->end(), data, data + size);
    } catch (const std::bad_alloc&) {
        full = true;
    }
    if (full) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

// Silent: writePng's callers say what failed in their own words.
void jumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

// The picture's PNG into `encoded`. zlib's fastest level with libpng's
// adaptive row filters: a 3840 x 2880 photo takes about a second, where the
// slower levels take two to six for a file a few per cent smaller, and the
// picture is written once and read back often.
bool encodePng(const ImageGrid& picture, std::vector<std::uint8_t>& encoded) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, ignoreWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &encoded, appendBytes, flushNothing);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t width = static_cast<std::size_t>(picture.width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        // libpng's row type is not const, but a written row is only read.
        png_write_row(png, reinterpret_cast<png_bytep>(const_cast<Rgba8*>(picture.data() + y * width)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const char* path, const ImageGrid& picture) {
    constexpr int kRgbaChannels = 4;
    if (!path || picture.empty() || picture.width > INT_MAX / kRgbaChannels) return false;
    // Encoded in memory, then written through a temporary created
    // exclusively: never through a link planted under the name, never a
    // half-written picture, and a full disk is a failure.
    std::vector<std::uint8_t> encoded;
    if (!encodePng(picture, encoded)) return false;
    std::string error;
    return writeFileSafely(path, encoded.data(), encoded.size(), error);
}
