#include "flow/freeze.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The factor of each mask value, (255 - m) / 255 in float: exactly 1 for 0
// and exactly 0 for 255.
std::array<float, 256> freezeFactors() {
    std::array<float, 256> factors{};
    for (std::size_t m = 0; m < factors.size(); ++m) {
        factors[m] = static_cast<float>(255 - static_cast<int>(m)) / 255.0f;
    }
    return factors;
}

// Mask bytes tested together: most of a mask is usually unpainted, and those
// cells keep their vectors without being touched.
constexpr std::size_t kBytesAtOnce = sizeof(std::uint64_t);

}  // namespace

void freezeFlow(const ByteMask& mask, FlowGrid& field) {
    if (mask.empty() || field.empty() || mask.width != field.width || mask.height != field.height) return;
    static const std::array<float, 256> factors = freezeFactors();
    const std::uint8_t* cells = mask.data();
    Vec2* vectors = field.data();
    const std::size_t count = static_cast<std::size_t>(mask.cellCount());
    std::size_t i = 0;
    while (i < count) {
        if (i + kBytesAtOnce <= count) {
            std::uint64_t group;
            std::memcpy(&group, cells + i, sizeof group);
            if (group == 0) {
                i += kBytesAtOnce;
                continue;
            }
        }
        const std::size_t end = i + kBytesAtOnce < count ? i + kBytesAtOnce : count;
        for (; i < end; ++i) {
            if (cells[i] == 0) continue;
            // Held still whatever the vector, even one that is not a number
            // (from guides a document gave as such).
            if (cells[i] == 255) {
                vectors[i] = Vec2{};
                continue;
            }
            const float factor = factors[cells[i]];
            vectors[i].x = vectors[i].x * factor;
            vectors[i].y = vectors[i].y * factor;
        }
    }
}
