// Feeds arbitrary bytes to the flow document reader, from memory and from a
// file, and checks what a successful read promises: a picture of at least
// 3 x 3 taken byte for byte from the input, a mask of the same size, counts
// that fit the input, usable parameters, at most kMostGuides guides, every
// one finite, settings from a usable block or the defaults; and that a
// failed read changes nothing.

#include "flow/document.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "flow document fuzzer: %s\n", what);
        std::abort();
    }
}

const std::string& scratchPath() {
    static const std::string path = [] {
        std::random_device seed;
        return (std::filesystem::temp_directory_path() / ("stillflow_document_fuzz_" + std::to_string(seed()) + ".flw"))
            .string();
    }();
    return path;
}

bool writeScratch(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

std::uint32_t littleEndianAt(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

// libFuzzer caps inputs at the largest seed or 4 KB unless told, which
// leaves room for pictures of about 28 x 28 pixels only. Unless the command
// line says otherwise, inputs may grow to 512 KB: documents of real shapes,
// such as 320 x 240 with a few guides.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0) return 0;
    }
    static std::vector<char*> arguments((*argv), (*argv) + *argc);
    static char maxLength[] = "-max_len=524288";
    arguments.insert(arguments.begin() + 1, maxLength);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Destinations persist between inputs so that both delivery paths (same
    // size: copy into storage; other size: take the document's) are reached.
    static ImageGrid picture(3, 3);
    static ByteMask mask(3, 3);
    float flowScale = -7.0f;
    float phaseSpacing = -7.0f;
    DocumentSettings settings{true, -7.0f};
    guideSegments = {GuideSegment{1.0f, 2.0f, 3.0f, 4.0f}};
    const std::int32_t oldWidth = picture.width;
    const Rgba8* oldStorage = picture.data();

    const bool read =
        readFlowDocumentFromMemory(data, size, &picture, &mask, &flowScale, &phaseSpacing, &settings);
    if (!read) {
        check(picture.width == oldWidth && picture.data() == oldStorage, "a failed read changed the picture");
        check(flowScale == -7.0f && phaseSpacing == -7.0f, "a failed read changed a parameter");
        check(settings.freeze && settings.brushRadius == -7.0f, "a failed read changed the settings");
        check(guideSegments.size() == 1 && guideSegments[0].y1 == 4.0f, "a failed read changed the guides");
    } else {
        check(picture.width >= kMinimumGridSide && picture.height >= kMinimumGridSide, "picture below 3 x 3");
        check(mask.width == picture.width && mask.height == picture.height, "mask and picture differ in size");
        const std::uint64_t cells = static_cast<std::uint64_t>(picture.cellCount());
        const std::uint64_t needed = 20 + 5 * cells + 16 * static_cast<std::uint64_t>(guideSegments.size());
        check(needed <= size, "read more than the input holds");
        check(static_cast<std::int32_t>(littleEndianAt(data)) == picture.width, "width differs from the input");
        check(std::memcmp(picture.data(), data + 8, 4 * cells) == 0, "picture differs from the input");
        check(std::memcmp(mask.data(), data + 8 + 4 * cells, cells) == 0, "mask differs from the input");
        check(std::isfinite(flowScale), "non-finite flowScale delivered");
        check(isUsablePhaseSpacing(phaseSpacing), "unusable phaseSpacing delivered");
        check(isUsableBrushRadius(settings.brushRadius), "unusable brush radius delivered");
        // Settings other than the defaults need a whole block after the fixed fields.
        check(settings == DocumentSettings{} || needed + 16 <= size, "settings without a whole block");
        check(guideSegments.size() <= static_cast<std::size_t>(kMostGuides), "more guides than a scene holds");
        for (const GuideSegment& guide : guideSegments) check(guideIsFinite(guide), "a non-finite guide delivered");
    }

    // The file reader must agree with the memory reader.
    if (writeScratch(data, size)) {
        FlowDocument fromMemory;
        const bool decoded = decodeFlowDocument(data, size, &fromMemory);
        check(decoded == read, "decode and read disagree");
        ImageGrid filePicture;
        float fileFlowScale = 0.0f;
        DocumentSettings fileSettings;
        const bool fileRead =
            readFlowDocument(scratchPath().c_str(), &filePicture, nullptr, &fileFlowScale, nullptr, &fileSettings);
        check(fileRead == read, "file and memory readers disagree");
        if (fileRead) {
            check(filePicture.width == picture.width && filePicture.height == picture.height, "file picture size");
            check(std::memcmp(&fileFlowScale, &flowScale, sizeof flowScale) == 0, "file flowScale differs");
            check(fileSettings == settings, "file settings differ");
            check(decoded && fromMemory.settings == settings, "decoded settings differ");
        }
    }
    return 0;
}
