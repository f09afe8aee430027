#include "image/loading.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include <stb_image.h>

#include "image/decoder_checks.h"
#include "platform/regular_file.h"

namespace {

constexpr int kRgbaComponents = 4;
constexpr std::uint8_t kOpaque = 255;

// Owns the decoder's pixel buffer so that it is released on every path.
struct DecodedPixels {
    stbi_uc* pixels = nullptr;
    ~DecodedPixels() {
        if (pixels) stbi_image_free(pixels);
    }
};

// Widens 1 (grey), 2 (grey, alpha) or 3 (RGB) channels to RGBA the way the
// decoder does: grey goes to R, G and B, a missing alpha is opaque.
void widenToRgba(const stbi_uc* source, int channels, std::int64_t pixelCount, Rgba8* destination) {
    for (std::int64_t i = 0; i < pixelCount; ++i, source += channels) {
        Rgba8& out = destination[i];
        if (channels <= 2) {
            out = Rgba8{source[0], source[0], source[0], channels == 2 ? source[1] : kOpaque};
        } else {
            out = Rgba8{source[0], source[1], source[2], kOpaque};
        }
    }
}

// Runs decoderCanTake on the files it concerns, before the decoder sees
// them, and leaves the file at its start. Only files that begin as JPEG
// (0xFF), PNM ('P') or BMP ('B') files do, or whose second byte is 0 as in
// uncompressed TGA files, are read ahead in full.
bool passesDecoderChecks(std::FILE* file) {
    const int first = std::fgetc(file);
    const int second = first == EOF ? EOF : std::fgetc(file);
    bool passes = true;
    if (first == 0xFF || first == 'P' || first == 'B' || second == 0) {
        std::vector<std::uint8_t> bytes;
        try {
            bytes.push_back(static_cast<std::uint8_t>(first));
            if (second != EOF) bytes.push_back(static_cast<std::uint8_t>(second));
            constexpr std::size_t kChunk = 1 << 16;
            for (;;) {
                const std::size_t used = bytes.size();
                bytes.resize(used + kChunk);
                const std::size_t got = std::fread(bytes.data() + used, 1, kChunk, file);
                bytes.resize(used + got);
                if (got < kChunk) break;
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        passes = decoderCanTake(bytes.data(), bytes.size());
    }
    return std::fseek(file, 0, SEEK_SET) == 0 && passes;
}

// The picture file at `path`, open for reading, when it is a regular file.
std::FILE* openPictureFile(const char* path) {
    FileCheck check = FileCheck::unusable;
    std::string why;
    return openRegularFile(path, check, why);
}

// The size the header declares is one the decoder can deliver; the file is
// left at its start.
bool headerSizeDecodes(std::FILE* file) {
    int width = 0;
    int height = 0;
    int components = 0;
    const bool known = stbi_info_from_file(file, &width, &height, &components) != 0;
    // A header the decoder cannot read is left to the decoder to refuse.
    return !known || pictureDecodeProblem(width, height).empty();
}

}  // namespace

std::string pictureDecodeProblem(std::int32_t width, std::int32_t height) {
    const std::int64_t pixels = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
    if (pixels <= kMostDecodedPixels) return {};
    char text[160];
    std::snprintf(text, sizeof text, "%d x %d pixels, more than the %lld million the picture decoder takes", width,
                  height, static_cast<long long>(kMostDecodedPixels / 1000000));
    return text;
}

bool loadImageInto(const char* path, ImageGrid* destination) {
    if (!path) return false;

    // 1. Decode from the open file; the file is not needed afterwards.
    // The packaged decoder (stb_image 2.27) mishandles some files, handled
    // here. Corrupt JPEG, PNM and TGA files that it would write past its
    // tables on, or return uninitialised pixels for, are refused before
    // decoding (decoder_checks.h). 16-bit PNM files, asked for another channel count
    // than their own, are widened as if 8-bit and then narrowed from twice
    // the bytes allocated; so 16-bit files are decoded with their own
    // channels and widened here, which gives the decoder's own result for the
    // 16-bit formats it handles correctly.
    std::FILE* file = openPictureFile(path);
    if (!file) return false;
    if (!passesDecoderChecks(file) || !headerSizeDecodes(file)) {
        std::fclose(file);
        return false;
    }
    const int requested = stbi_is_16_bit_from_file(file) ? 0 : kRgbaComponents;
    int width = 0;
    int height = 0;
    int fileComponents = 0;
    DecodedPixels decoded;
    decoded.pixels = stbi_load_from_file(file, &width, &height, &fileComponents, requested);
    std::fclose(file);

    // 2. No buffer or no pixels: not a picture.
    if (!decoded.pixels || width < 1 || height < 1) return false;
    const int delivered = requested != 0 ? requested : fileComponents;
    if (delivered < 1 || delivered > kRgbaComponents) return false;
    if (!destination) return true;

    // 3. Sizes in 64 bits. A destination of another size gets new storage,
    // built aside so that a failed allocation leaves it untouched.
    const std::int64_t pixelCount = gridCellCount(width, height);
    if (destination->width != width || destination->height != height) {
        ImageGrid resized;
        if (!resized.tryCreate(width, height)) return false;
        *destination = std::move(resized);
    }
    if (delivered == kRgbaComponents) {
        std::memcpy(destination->data(), decoded.pixels, static_cast<std::size_t>(pixelCount * kRgbaComponents));
    } else {
        widenToRgba(decoded.pixels, delivered, pixelCount, destination->data());
    }
    return true;
}

namespace {

// The size a header field stands for, saturated where negating overflows.
std::int32_t declaredMagnitude(int declared) {
    if (declared >= 0) return declared;
    return declared == std::numeric_limits<int>::min() ? std::numeric_limits<std::int32_t>::max() : -declared;
}

}  // namespace

bool readPictureSize(const char* path, std::int32_t* width, std::int32_t* height) {
    if (!path) return false;
    std::FILE* file = openPictureFile(path);
    if (!file) return false;
    int declaredWidth = 0;
    int declaredHeight = 0;
    int components = 0;
    // The decoder's header parsing has the same faults as its decoding
    // (JPEG tables are read on the way to the size), so the checks run first.
    const bool known = passesDecoderChecks(file) &&
                       stbi_info_from_file(file, &declaredWidth, &declaredHeight, &components) != 0;
    std::fclose(file);
    if (!known) return false;
    // A BMP stored top-down declares a negative height and is decoded at its
    // magnitude; taken as it stands, the size would slip under every limit.
    if (width) *width = declaredMagnitude(declaredWidth);
    if (height) *height = declaredMagnitude(declaredHeight);
    return true;
}

ImageGrid loadImage(const char* path) {
    ImageGrid picture;
    if (!loadImageInto(path, &picture)) return ImageGrid();
    return picture;
}
