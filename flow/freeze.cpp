#include "flow/freeze.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "flow/row_bands.h"

namespace {

// The factor of each mask value, (255 - m) / 255 in float: exactly 1 for 0.
std::array<float, 256> freezeFactors() {
    std::array<float, 256> factors{};
    for (std::size_t m = 0; m < factors.size(); ++m) {
        factors[m] = static_cast<float>(255 - static_cast<int>(m)) / 255.0f;
    }
    return factors;
}

// Mask bytes tested together: most of a mask is either unpainted, and those
// cells keep their vectors untouched, or painted to 255, and those are
// cleared a group at a time.
constexpr std::size_t kCellsAtOnce = sizeof(std::uint64_t);
constexpr std::uint64_t kGroupUnpainted = 0;
constexpr std::uint64_t kGroupPainted = ~std::uint64_t{0};

// Sets kCellsAtOnce vectors to (0, 0). A painted sky is tens of megabytes of
// vectors: stores that bypass the cache do not read each line before
// overwriting it, which halves the memory traffic; the texture upload reads
// the field from memory afterwards anyway.
void clearGroup(Vec2* vectors) {
#if defined(__SSE2__)
    static_assert(kCellsAtOnce * sizeof(Vec2) == 4 * sizeof(__m128i), "a group is four 16-byte stores");
    if ((reinterpret_cast<std::uintptr_t>(vectors) & 15u) == 0) {
        __m128i* out = reinterpret_cast<__m128i*>(vectors);
        const __m128i zero = _mm_setzero_si128();
        for (int k = 0; k < 4; ++k) _mm_stream_si128(out + k, zero);
        return;
    }
#endif
    for (std::size_t k = 0; k < kCellsAtOnce; ++k) vectors[k] = Vec2{};
}

// Cells [begin, end) of the field.
void freezeCells(const std::uint8_t* cells, Vec2* vectors, std::size_t begin, std::size_t end,
                 const std::array<float, 256>& factors) {
    std::size_t i = begin;
    while (i < end) {
        if (i + kCellsAtOnce <= end) {
            std::uint64_t group;
            std::memcpy(&group, cells + i, sizeof group);
            if (group == kGroupUnpainted || group == kGroupPainted) {
                if (group == kGroupPainted) clearGroup(vectors + i);
                i += kCellsAtOnce;
                continue;
            }
        }
        const std::size_t groupEnd = i + kCellsAtOnce < end ? i + kCellsAtOnce : end;
        for (; i < groupEnd; ++i) {
            const std::uint8_t m = cells[i];
            if (m == 0) continue;
            // Held still whatever the vector, even one that is not a number
            // (from guides a document gave as such).
            if (m == 255) {
                vectors[i] = Vec2{};
                continue;
            }
            vectors[i].x = vectors[i].x * factors[m];
            vectors[i].y = vectors[i].y * factors[m];
        }
    }
#if defined(__SSE2__)
    // The streaming stores are done before the caller (or the thread that
    // joins this one) reads the field.
    _mm_sfence();
#endif
}

}  // namespace

void freezeFlow(const ByteMask& mask, FlowGrid& field) {
    if (mask.empty() || field.empty() || mask.width != field.width || mask.height != field.height) return;
    static const std::array<float, 256> factors = freezeFactors();
    const std::uint8_t* cells = mask.data();
    Vec2* vectors = field.data();
    const std::size_t width = static_cast<std::size_t>(mask.width);
    forEachRowBand(mask.height, mask.width, [&](std::int32_t rowBegin, std::int32_t rowEnd) {
        freezeCells(cells, vectors, static_cast<std::size_t>(rowBegin) * width,
                    static_cast<std::size_t>(rowEnd) * width, factors);
    });
}
