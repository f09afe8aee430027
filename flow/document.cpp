#include "flow/document.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/regular_file.h"
#include "platform/safe_file.h"

// Contents
//   1. byte input from a file or from memory
//   2. little-endian fields
//   3. decoding into temporaries, the settings block
//   4. delivery and the public readers
//   5. encoding and the writer

namespace {

// ---- 1. byte input ----------------------------------------------------------

// Where the document's bytes come from. `remaining` is known before anything
// is read, so that sizes taken from the document can be checked against it
// before any block is allocated.
struct DocumentInput {
    std::FILE* file = nullptr;             // read from here when set
    const std::uint8_t* bytes = nullptr;   // otherwise from here
    std::uint64_t remaining = 0;           // bytes the source still holds
};

// Reads exactly `count` bytes or fails; a short read is a failure.
bool readBytes(DocumentInput& input, void* destination, std::uint64_t count) {
    if (count > input.remaining) return false;
    if (count == 0) return true;
    if (count > SIZE_MAX) return false;
    const std::size_t n = static_cast<std::size_t>(count);
    if (input.file) {
        if (std::fread(destination, 1, n, input.file) != n) return false;
    } else {
        std::memcpy(destination, input.bytes, n);
        input.bytes += n;
    }
    input.remaining -= count;
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// ---- 2. little-endian fields --------------------------------------------------

// Assembled byte by byte so that the format reads the same on any host.
std::uint32_t uint32FromLittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void uint32ToLittleEndian(std::uint32_t value, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t bitsFromFloat(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool readInt32(DocumentInput& input, std::int32_t* value) {
    std::uint8_t bytes[4];
    if (!readBytes(input, bytes, sizeof bytes)) return false;
    *value = static_cast<std::int32_t>(uint32FromLittleEndian(bytes));
    return true;
}

bool readFloat(DocumentInput& input, float* value) {
    std::uint8_t bytes[4];
    if (!readBytes(input, bytes, sizeof bytes)) return false;
    *value = floatFromBits(uint32FromLittleEndian(bytes));
    return true;
}

// ---- 3. decoding --------------------------------------------------------------

constexpr std::uint64_t kPixelBytes = 4;     // R, G, B, A
constexpr std::uint64_t kMaskBytes = 1;
constexpr std::uint64_t kCountBytes = 4;     // N
constexpr std::uint64_t kParameterBytes = 8; // flowScale, phaseSpacing
constexpr std::uint64_t kGuideBytes = sizeof(GuideSegment);

// The settings block: a tag and a length, then the fields this version knows
// (flags, brushRadius); fields a later version appends are skipped.
constexpr std::uint8_t kSettingsTag[4] = {'S', 'F', 'S', 'T'};
constexpr std::uint64_t kSettingsHeaderBytes = 8;  // tag, length
constexpr std::uint64_t kSettingsFieldBytes = 8;   // flags, brushRadius
constexpr std::uint32_t kFreezeFlag = 1u;

// Fills in why the read failed, when the caller asked, and fails.
bool refuse(DocumentReadReport* report, const char* format, ...) {
    if (report) {
        char text[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        report->refusal = text;
    }
    return false;
}

// The settings block after phaseSpacing, when there is a usable one; the
// defaults otherwise. Reads at most its header and the fields it knows, so
// a length of any size costs nothing; never fails the document.
DocumentSettings decodeSettings(DocumentInput& input) {
    const DocumentSettings defaults;
    std::uint8_t header[kSettingsHeaderBytes];
    if (!readBytes(input, header, sizeof header)) return defaults;
    if (std::memcmp(header, kSettingsTag, sizeof kSettingsTag) != 0) return defaults;
    const std::uint64_t length = uint32FromLittleEndian(header + 4);
    if (length < kSettingsFieldBytes || length > input.remaining) return defaults;
    std::uint8_t fields[kSettingsFieldBytes];
    if (!readBytes(input, fields, sizeof fields)) return defaults;
    DocumentSettings settings;
    settings.freeze = (uint32FromLittleEndian(fields) & kFreezeFlag) != 0;
    settings.brushRadius = floatFromBits(uint32FromLittleEndian(fields + 4));
    if (!isUsableBrushRadius(settings.brushRadius)) return defaults;
    return settings;
}

// Reads a whole document into temporaries, in file order. Every block size
// is compared with what the source still holds before it is allocated; the
// comparisons divide instead of multiplying, since 5 * W * H can exceed 64
// bits for the largest int32 sizes.
bool decodeDocument(DocumentInput& input, FlowDocument* document, DocumentReadReport* report) {
    // 1. Picture size; pictures the flow sampler cannot read are refused, and
    //    so are those the caller cannot use.
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!readInt32(input, &width) || !readInt32(input, &height)) {
        return refuse(report, "it is shorter than the 8 bytes of its picture size");
    }
    if (width < kMinimumGridSide || height < kMinimumGridSide) {
        return refuse(report, "its picture is %d x %d pixels; at least %d x %d are needed", width, height,
                      kMinimumGridSide, kMinimumGridSide);
    }
    const std::uint64_t cellCount = static_cast<std::uint64_t>(gridCellCount(width, height));
    const std::uint64_t fixedBytes = kCountBytes + kParameterBytes;
    if (input.remaining < fixedBytes ||
        (input.remaining - fixedBytes) / (kPixelBytes + kMaskBytes) < cellCount) {
        return refuse(report, "it ends before the pixels and mask of its %d x %d picture", width, height);
    }
    if (report && report->checkPictureSize) {
        const std::string problem = report->checkPictureSize(width, height);
        if (!problem.empty()) return refuse(report, "%s", problem.c_str());
    }

    // 2. Picture, then mask, each in one read.
    ImageGrid picture;
    ByteMask mask;
    if (!picture.tryCreate(width, height) || !mask.tryCreate(width, height)) {
        return refuse(report, "there is no memory for its %d x %d picture", width, height);
    }
    if (!readBytes(input, picture.data(), cellCount * kPixelBytes) ||
        !readBytes(input, mask.data(), cellCount * kMaskBytes)) {
        return refuse(report, "reading its picture failed part-way");
    }

    // 3. Guides: the count, then the records, their fields decoded in place.
    std::int32_t guideCount = 0;
    if (!readInt32(input, &guideCount)) return refuse(report, "it ends before its guide count");
    if (guideCount < 0) return refuse(report, "its guide count %d is negative", guideCount);
    if (guideCount > kMostGuides) {
        return refuse(report, "it holds %d guides, more than the %d a scene may have", guideCount, kMostGuides);
    }
    if (input.remaining < kParameterBytes ||
        (input.remaining - kParameterBytes) / kGuideBytes < static_cast<std::uint64_t>(guideCount)) {
        return refuse(report, "it ends before its %d guides and two parameters", guideCount);
    }
    std::vector<GuideSegment> guides;
    try {
        guides.resize(static_cast<std::size_t>(guideCount));
    } catch (const std::bad_alloc&) {
        return refuse(report, "there is no memory for its %d guides", guideCount);
    }
    std::uint8_t* raw = reinterpret_cast<std::uint8_t*>(guides.data());
    const std::uint64_t guideBytes = static_cast<std::uint64_t>(guideCount) * kGuideBytes;
    if (!readBytes(input, raw, guideBytes)) {
        return refuse(report, "reading its guides failed part-way");
    }
    for (std::uint64_t offset = 0; offset < guideBytes; offset += 4) {
        const float value = floatFromBits(uint32FromLittleEndian(raw + offset));
        std::memcpy(raw + offset, &value, sizeof value);
    }
    // A guide with an endpoint at infinity or NaN is left out: it would make
    // every cell of the flow field NaN, and the picture black.
    const auto kept = std::remove_if(guides.begin(), guides.end(),
                                     [](const GuideSegment& guide) { return !guideIsFinite(guide); });
    const std::int32_t dropped = static_cast<std::int32_t>(guides.end() - kept);
    guides.erase(kept, guides.end());

    // 4. Parameters. Values that would stall or break the animation clock
    // fall back to the defaults the program runs with when no document is read.
    float flowScale = 0.0f;
    float phaseSpacing = 0.0f;
    if (!readFloat(input, &flowScale) || !readFloat(input, &phaseSpacing)) {
        return refuse(report, "reading its parameters failed part-way");
    }
    if (!std::isfinite(flowScale)) flowScale = kDefaultFlowScale;
    if (!isUsablePhaseSpacing(phaseSpacing)) phaseSpacing = kDefaultPhaseSpacing;

    // 5. Stillflow's settings, if the document has a usable block of them.
    const DocumentSettings settings = decodeSettings(input);

    // 6. Only now does the caller's document change; moves cannot fail.
    document->picture = std::move(picture);
    document->mask = std::move(mask);
    document->guides = std::move(guides);
    document->flowScale = flowScale;
    document->phaseSpacing = phaseSpacing;
    document->settings = settings;
    if (report) report->droppedGuides = dropped;
    return true;
}

// ---- 4. delivery ----------------------------------------------------------------

// A destination of the same size keeps its storage (a plain copy); one of
// another size takes the decoded storage, which is what a copy-assign would
// give but without a second allocation that could fail half-way through a
// delivery.
template <typename Cell>
void deliverGrid(Grid<Cell>& source, Grid<Cell>* destination) {
    if (!destination) return;
    if (destination->width == source.width && destination->height == source.height) {
        *destination = source;
    } else {
        *destination = std::move(source);
    }
}

void deliverDocument(FlowDocument& document, ImageGrid* picture, ByteMask* mask, float* flowScale,
                     float* phaseSpacing, DocumentSettings* settings) {
    deliverGrid(document.picture, picture);
    deliverGrid(document.mask, mask);
    guideSegments = std::move(document.guides);
    if (flowScale) *flowScale = document.flowScale;
    if (phaseSpacing) *phaseSpacing = document.phaseSpacing;
    if (settings) *settings = document.settings;
}

}  // namespace

bool readFlowDocument(const char* path, ImageGrid* picture, ByteMask* mask, float* flowScale,
                      float* phaseSpacing, DocumentSettings* settings, DocumentReadReport* report) {
    if (report) {
        report->refusal.clear();
        report->droppedGuides = 0;
    }
    if (!path) return false;
    // Only a regular file is read, and its size bounds every block the
    // document may ask for: a FIFO named like the document would wait for a
    // writer for ever, a device never end.
    FileCheck check = FileCheck::unusable;
    std::string why;
    std::uint64_t fileSize = 0;
    FileHandle file(openRegularFile(path, check, why, &fileSize));
    if (!file) {
        // No file at all is the ordinary case of a run without a document.
        if (check == FileCheck::missing) return false;
        return refuse(report, "%s", why.c_str());
    }

    DocumentInput input;
    input.file = file.get();
    input.remaining = fileSize;
    FlowDocument document;
    if (!decodeDocument(input, &document, report)) return false;
    file.reset();
    deliverDocument(document, picture, mask, flowScale, phaseSpacing, settings);
    return true;
}

bool readFlowDocumentFromMemory(const std::uint8_t* bytes, std::size_t size, ImageGrid* picture,
                                ByteMask* mask, float* flowScale, float* phaseSpacing,
                                DocumentSettings* settings) {
    FlowDocument document;
    if (!decodeFlowDocument(bytes, size, &document)) return false;
    deliverDocument(document, picture, mask, flowScale, phaseSpacing, settings);
    return true;
}

bool decodeFlowDocument(const std::uint8_t* bytes, std::size_t size, FlowDocument* document) {
    if (!document || (!bytes && size != 0)) return false;
    DocumentInput input;
    input.bytes = bytes;
    input.remaining = size;
    return decodeDocument(input, document, nullptr);
}

// ---- 5. encoding and the writer -------------------------------------------------

namespace {

std::string formatGuideCountError(std::size_t guideCount) {
    return "nothing written: " + std::to_string(guideCount) + " guides, more than the " +
           std::to_string(kMostGuides) + " a scene may have";
}

}  // namespace

std::vector<std::uint8_t> encodeFlowDocument(const FlowDocument& document) {
    const ImageGrid& picture = document.picture;
    if (picture.empty()) return {};
    const bool maskGiven = !document.mask.empty();
    if (maskGiven && (document.mask.width != picture.width || document.mask.height != picture.height)) {
        return {};
    }
    if (document.guides.size() > static_cast<std::size_t>(kMostGuides)) return {};

    const std::size_t cells = static_cast<std::size_t>(picture.cellCount());
    const std::size_t guideCount = document.guides.size();
    const bool settingsGiven = document.settings != DocumentSettings{};
    const std::size_t settingsBytes = settingsGiven ? kSettingsHeaderBytes + kSettingsFieldBytes : 0;
    std::vector<std::uint8_t> bytes(20 + 5 * cells + 16 * guideCount + settingsBytes);
    std::uint8_t* out = bytes.data();
    auto putBits = [&out](std::uint32_t bits) {
        uint32ToLittleEndian(bits, out);
        out += 4;
    };

    putBits(static_cast<std::uint32_t>(picture.width));
    putBits(static_cast<std::uint32_t>(picture.height));
    std::memcpy(out, picture.data(), cells * 4);
    out += cells * 4;
    if (maskGiven) std::memcpy(out, document.mask.data(), cells);  // else left zero
    out += cells;
    putBits(static_cast<std::uint32_t>(guideCount));
    for (const GuideSegment& guide : document.guides) {
        putBits(bitsFromFloat(guide.x0));
        putBits(bitsFromFloat(guide.y0));
        putBits(bitsFromFloat(guide.x1));
        putBits(bitsFromFloat(guide.y1));
    }
    putBits(bitsFromFloat(document.flowScale));
    putBits(bitsFromFloat(document.phaseSpacing));
    if (settingsGiven) {
        std::memcpy(out, kSettingsTag, sizeof kSettingsTag);
        out += sizeof kSettingsTag;
        putBits(static_cast<std::uint32_t>(kSettingsFieldBytes));
        putBits(document.settings.freeze ? kFreezeFlag : 0u);
        putBits(bitsFromFloat(document.settings.brushRadius));
    }
    return bytes;
}

bool writeFlowDocument(const char* path, const FlowDocument& document, std::string* error) {
    if (!path || !*path) {
        if (error) *error = "no file name";
        return false;
    }
    if (document.guides.size() > static_cast<std::size_t>(kMostGuides)) {
        if (error) *error = formatGuideCountError(document.guides.size());
        return false;
    }
    const std::vector<std::uint8_t> bytes = encodeFlowDocument(document);
    if (bytes.empty()) {
        if (error) *error = "nothing to write: no picture, or a mask of another size";
        return false;
    }
    // The old document stands until the new one is complete on the disk.
    std::string reason;
    if (!writeFileSafely(path, bytes.data(), bytes.size(), reason)) {
        if (error) *error = reason;
        return false;
    }
    return true;
}
