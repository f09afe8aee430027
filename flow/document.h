#pragma once
// The flow document (a ".flw" file): a complete working state made of the
// working picture, the mask, the guide segments and two animation
// parameters. The program reads one at start-up and writes it when the user
// saves; the tools and tests write theirs through the same writer.
//
// Format: little-endian, no magic, no version, no padding.
//   int32 W, int32 H,
//   W*H RGBA pixels (4 bytes each, row-major, top row first),
//   W*H mask bytes,
//   int32 N, N guides of four float32 (x0, y0, x1, y1),
//   float32 flowScale, float32 phaseSpacing,
//   then, optionally, Stillflow's settings block:
//     4 bytes tag "SFST", uint32 L (the bytes that follow),
//     L bytes of fields: uint32 flags (bit 0: the freeze; the other bits
//     are written 0 and not read), float32 brushRadius; a later version
//     may append fields, and L grows with them.
// A complete document is 20 + 5*W*H + 16*N bytes; whatever follows
// phaseSpacing is no part of the fixed fields, so a reader that reads only
// those reads every document. The settings block is written only when a
// setting differs from its default: a document that uses none is byte for
// byte what it was before the block existed. A block that is absent, has
// another tag, is cut short, is shorter than the fields above or holds a
// radius outside the brush's range is ignored (the defaults apply) and never
// makes the read fail.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "flow/grid.h"
#include "flow/guides.h"

// The animation parameters when no document was read. 2.0454545 is the bit
// pattern 0x4002E8BA; one layer cycle lasts 3 * phaseSpacing seconds.
constexpr float kDefaultFlowScale = 2.0454545f;
constexpr float kDefaultPhaseSpacing = 0.5f;

// The phase spacings the animation runs with, in seconds. Below a
// millisecond a layer's whole cycle is shorter than any frame and, over a
// run of months, the phases (doubles on the clock's time line) could no
// longer keep their exact third of a period apart, on which the weights'
// sum of 1 rests; a spacing of 1e-30 gives weights of 0 and a black
// picture. Above a million seconds (a cycle of over a month) nothing would
// loop within any run, and far above it 3 * spacing leaves the float range.
constexpr float kSmallestPhaseSpacing = 1.0e-3f;
constexpr float kLargestPhaseSpacing = 1.0e6f;

// The mask brush's radius in picture pixels: the default, and the range [ and ]
// step through (halving and doubling) and the settings block may hold.
constexpr float kDefaultBrushRadius = 4.0f;
constexpr float kSmallestBrushRadius = 1.0f;
constexpr float kLargestBrushRadius = 1024.0f;

// True for a spacing the scheduling and the weights work with: a number
// within [kSmallestPhaseSpacing, kLargestPhaseSpacing]. Anything else is
// replaced by kDefaultPhaseSpacing.
constexpr bool isUsablePhaseSpacing(float spacing) {
    return spacing >= kSmallestPhaseSpacing && spacing <= kLargestPhaseSpacing;  // false for NaN
}

// True for a radius the settings block may hold: within
// [kSmallestBrushRadius, kLargestBrushRadius] (false for NaN).
constexpr bool isUsableBrushRadius(float radius) {
    return radius >= kSmallestBrushRadius && radius <= kLargestBrushRadius;
}

// Stillflow's own settings, kept in the block after phaseSpacing. A document
// without the block has these defaults.
struct DocumentSettings {
    bool freeze = false;                      // the flow is held still where the mask is painted
    float brushRadius = kDefaultBrushRadius;  // picture pixels, isUsableBrushRadius

    bool operator==(const DocumentSettings& other) const {
        return freeze == other.freeze && brushRadius == other.brushRadius;
    }
    bool operator!=(const DocumentSettings& other) const { return !(*this == other); }
};

// What one read delivers.
struct FlowDocument {
    ImageGrid picture;                 // W x H, becomes the working picture
    ByteMask mask;                     // W x H, becomes the mask
    std::vector<GuideSegment> guides;  // becomes guideSegments, same order
    float flowScale = kDefaultFlowScale;
    float phaseSpacing = kDefaultPhaseSpacing;
    DocumentSettings settings;         // from the settings block, or the defaults
};

// Reads the document at `path`. All or nothing: on true every given
// destination (nullptr = not given) holds the document's value and
// guideSegments holds its guides; on false nothing outside the reader has
// changed. Fails, silently, on a missing or short file, anything but a
// regular file, W or H below kMinimumGridSide, N < 0 or N > kMostGuides, or
// blocks that cannot be allocated; block sizes are checked against the file's
// size before anything is allocated.
// A phaseSpacing that isUsablePhaseSpacing refuses reads as
// kDefaultPhaseSpacing, a non-finite flowScale as kDefaultFlowScale, and a
// guide with a coordinate that is not a finite number is left out (the
// report counts them); the rest of the document still applies. `settings`
// receives the settings block's values, or the defaults when the document
// has no usable block.
//
// `report`, when given, lets the caller refuse pictures it cannot use and
// learn why a read failed; the reader still prints nothing.
struct DocumentReadReport {
    // Asked with the document's picture size before anything is allocated;
    // a non-empty answer refuses the document, with the answer as reason.
    std::function<std::string(std::int32_t width, std::int32_t height)> checkPictureSize;
    // On false: why the document was refused, as a phrase ("it ends after
    // 12 bytes, ..."); empty when there is no file at the path at all.
    std::string refusal;
    // On true: how many guides were left out for a coordinate that is not a
    // finite number.
    std::int32_t droppedGuides = 0;
};
bool readFlowDocument(const char* path, ImageGrid* picture, ByteMask* mask,
                      float* flowScale, float* phaseSpacing, DocumentSettings* settings = nullptr,
                      DocumentReadReport* report = nullptr);

// The same read, from `size` bytes in memory.
bool readFlowDocumentFromMemory(const std::uint8_t* bytes, std::size_t size, ImageGrid* picture,
                                ByteMask* mask, float* flowScale, float* phaseSpacing,
                                DocumentSettings* settings = nullptr);

// Decodes a document held in memory into `document` without touching
// guideSegments. On false `document` is unchanged.
bool decodeFlowDocument(const std::uint8_t* bytes, std::size_t size, FlowDocument* document);

// The document's bytes in the .flw format, writing the parameters as they are
// (no defaults substituted), and the settings block when the settings differ
// from the defaults. An empty mask is written as all zero. Empty result when
// the picture is empty, the mask is of another size or there are more than
// kMostGuides guides (a document the reader would refuse).
std::vector<std::uint8_t> encodeFlowDocument(const FlowDocument& document);

// Writes encodeFlowDocument's bytes to `path` through writeFileSafely
// (platform/safe_file.h): under a temporary name beside it, synced to the
// disk, then renamed over it. On false (nothing to encode, or a file that
// cannot be written completely or put in place) `path` is as it was, no
// temporary file is left, and `error`, if given, holds one line saying why.
bool writeFlowDocument(const char* path, const FlowDocument& document, std::string* error = nullptr);
