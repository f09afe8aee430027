// Feeds arbitrary bytes, as a file, to picture loading and checks the
// result against the decoder's own reading of the same bytes.

#include "image/decoder_checks.h"
#include "image/loading.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include <stb_image.h>

namespace {

// The decoder allocates whatever size a header declares before it finds the
// data missing, and fills the gap slowly. Headers declaring more pixels than
// this are skipped so that the fuzzer spends its time on decoding paths, not
// on one huge allocation (a size the program would also refuse to animate).
constexpr std::int64_t kLargestFuzzedPixelCount = 2048 * 2048;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "image loading fuzzer: %s\n", what);
        std::abort();
    }
}

const std::string& scratchPath() {
    static const std::string path = [] {
        std::random_device seed;
        return (std::filesystem::temp_directory_path() / ("stillflow_image_fuzz_" + std::to_string(seed()))).string();
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(INT32_MAX)) return 0;
    // Data the loader must refuse also trips the decoder's header parsing
    // (JPEG), which the size check and the reference below use.
    const bool decoderSafe = decoderCanTake(data, size);
    int width = 0;
    int height = 0;
    int channels = 0;
    if (decoderSafe && stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) &&
        // A top-down BMP declares a negative height and decodes at its magnitude.
        std::llabs(static_cast<std::int64_t>(width) * height) > kLargestFuzzedPixelCount) {
        return 0;
    }

    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;

    // Kept between inputs so that reuse of a same-size destination is reached.
    static ImageGrid destination;
    const std::int32_t oldWidth = destination.width;
    const Rgba8* oldStorage = destination.data();
    const bool loaded = loadImageInto(scratchPath().c_str(), &destination);

    if (!decoderSafe) {
        check(!loaded, "loaded a file the decoder mishandles");
        return 0;
    }
    if (loaded) {
        check(destination.width >= 1 && destination.height >= 1 && destination.data() != nullptr,
              "a loaded picture without pixels");
    } else {
        check(destination.width == oldWidth && destination.data() == oldStorage, "a failed load changed the grid");
    }

    // The decoder reads uninitialised memory on some corrupt JPEG streams, so
    // two decodes of one such file may differ in pixels and even in success;
    // JPEG input is checked for memory faults and the grid's shape only.
    if (looksLikeJpeg(data, size)) {
        (void)loadImage(scratchPath().c_str());
        return 0;
    }

    // The reference decodes the same file (the decoder's file and memory
    // readers differ on some corrupt inputs: a negative skip seeks backwards
    // in a file), asking for the file's own channels, the one request that is
    // safe for every format, and is widened here.
    stbi_uc* reference = nullptr;
    if (std::FILE* again = std::fopen(scratchPath().c_str(), "rb")) {
        reference = stbi_load_from_file(again, &width, &height, &channels, 0);
        std::fclose(again);
    }
    if (!loaded) {
        check(!reference || width < 1 || height < 1, "the decoder read what loading refused");
    } else {
        check(reference != nullptr, "loading accepted what the decoder refuses");
        check(destination.width == width && destination.height == height, "size differs from the decoder's");
        check(channels >= 1 && channels <= 4, "channel count");
        for (std::int64_t i = 0; i < destination.cellCount(); ++i) {
            const stbi_uc* in = reference + i * channels;
            const Rgba8 got = destination.data()[i];
            const bool grey = channels <= 2;
            const std::uint8_t alpha = channels == 2 ? in[1] : channels == 4 ? in[3] : 255;
            check(got.r == in[0] && got.g == in[grey ? 0 : 1] && got.b == in[grey ? 0 : 2] && got.a == alpha,
                  "pixels differ from the decoder's");
        }
        const ImageGrid copy = loadImage(scratchPath().c_str());
        check(copy.width == width && copy.byteCount() == destination.byteCount(), "loadImage differs");
    }
    stbi_image_free(reference);
    return 0;
}
