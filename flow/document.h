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
//   float32 flowScale, float32 phaseSpacing.
// A complete document is 20 + 5*W*H + 16*N bytes; bytes after phaseSpacing
// are never read.

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

// True for a spacing the scheduling and the weights work with: a number
// within [kSmallestPhaseSpacing, kLargestPhaseSpacing]. Anything else is
// replaced by kDefaultPhaseSpacing.
constexpr bool isUsablePhaseSpacing(float spacing) {
    return spacing >= kSmallestPhaseSpacing && spacing <= kLargestPhaseSpacing;  // false for NaN
}

// What one read delivers.
struct FlowDocument {
    ImageGrid picture;                 // W x H, becomes the working picture
    ByteMask mask;                     // W x H, becomes the mask
    std::vector<GuideSegment> guides;  // becomes guideSegments, same order
    float flowScale = kDefaultFlowScale;
    float phaseSpacing = kDefaultPhaseSpacing;
};

// Reads the document at `path`. All or nothing: on true every given
// destination (nullptr = not given) holds the document's value and
// guideSegments holds its guides; on false nothing outside the reader has
// changed. Fails, silently, on a missing or short file, W or H below
// kMinimumGridSide, N < 0, or blocks that cannot be allocated; block sizes
// are checked against the file's size before anything is allocated.
// A phaseSpacing that isUsablePhaseSpacing refuses reads as
// kDefaultPhaseSpacing, a non-finite flowScale as kDefaultFlowScale; the rest
// of the document still applies.
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
};
bool readFlowDocument(const char* path, ImageGrid* picture, ByteMask* mask,
                      float* flowScale, float* phaseSpacing, DocumentReadReport* report = nullptr);

// The same read, from `size` bytes in memory.
bool readFlowDocumentFromMemory(const std::uint8_t* bytes, std::size_t size, ImageGrid* picture,
                                ByteMask* mask, float* flowScale, float* phaseSpacing);

// Decodes a document held in memory into `document` without touching
// guideSegments. On false `document` is unchanged.
bool decodeFlowDocument(const std::uint8_t* bytes, std::size_t size, FlowDocument* document);

// The document's bytes in the .flw format, writing the parameters as they are
// (no defaults substituted). An empty mask is written as all zero. Empty
// result when the picture is empty or the mask is of another size.
std::vector<std::uint8_t> encodeFlowDocument(const FlowDocument& document);

// Writes encodeFlowDocument's bytes to `path` through writeFileSafely
// (platform/safe_file.h): under a temporary name beside it, synced to the
// disk, then renamed over it. On false (nothing to encode, or a file that
// cannot be written completely or put in place) `path` is as it was, no
// temporary file is left, and `error`, if given, holds one line saying why.
bool writeFlowDocument(const char* path, const FlowDocument& document, std::string* error = nullptr);
