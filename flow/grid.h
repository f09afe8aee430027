#pragma once
// Grids of one shape for every per-pixel array of the program: the working
// picture (ImageGrid), the flow field (FlowGrid) and the mask (ByteMask).
//
// Layout: width, height, then width * height cells row-major; the cell of
// column x, row y is at index y * width + x. A grid whose width or height is
// not positive is empty and owns no storage. New grids are all zero.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

// A position or a vector in picture pixels (also a FlowGrid cell).
struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;
};

// One picture pixel, in memory order.
struct Rgba8 {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

static_assert(sizeof(Vec2) == 8, "FlowGrid cells are two tightly packed floats");
static_assert(sizeof(Rgba8) == 4, "ImageGrid cells are four tightly packed bytes");

// Number of cells of a width x height grid, computed in 64 bits; 0 for a
// non-positive dimension.
inline std::int64_t gridCellCount(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height);
}

template <typename Cell>
struct Grid {
    static_assert(std::is_trivially_copyable<Cell>::value, "grid cells are copied as bytes");

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::unique_ptr<Cell[]> cells;

    Grid() = default;

    // A grid of that size, every byte zero. Running out of memory throws
    // std::bad_alloc (which nothing catches: the process ends).
    Grid(std::int32_t w, std::int32_t h) { allocate(w, h, /*mayFail=*/false); }

    // Like the sized constructor, but reports a failed allocation instead of
    // throwing: for sizes that come from outside the program.
    bool tryCreate(std::int32_t w, std::int32_t h) {
        cells.reset();
        width = 0;
        height = 0;
        return allocate(w, h, /*mayFail=*/true);
    }

    Grid(const Grid& other) { *this = other; }
    Grid(Grid&& other) noexcept
        : width(other.width), height(other.height), cells(std::move(other.cells)) {
        other.width = 0;
        other.height = 0;
    }

    // Self-assignment changes nothing; a source of the same size is copied
    // into the existing storage; any other size replaces the storage.
    Grid& operator=(const Grid& other) {
        if (this == &other) return *this;
        if (width != other.width || height != other.height) {
            cells.reset();
            width = 0;
            height = 0;
            allocate(other.width, other.height, /*mayFail=*/false);
            width = other.width;
            height = other.height;
        }
        if (cells && other.cells) {
            std::memcpy(cells.get(), other.cells.get(), byteCount());
        }
        return *this;
    }

    Grid& operator=(Grid&& other) noexcept {
        if (this == &other) return *this;
        width = other.width;
        height = other.height;
        cells = std::move(other.cells);
        other.width = 0;
        other.height = 0;
        return *this;
    }

    bool empty() const { return !cells; }
    std::int64_t cellCount() const { return gridCellCount(width, height); }
    std::size_t byteCount() const { return static_cast<std::size_t>(cellCount()) * sizeof(Cell); }

    Cell& at(std::int32_t x, std::int32_t y) {
        return cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    const Cell& at(std::int32_t x, std::int32_t y) const {
        return cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    Cell* data() { return cells.get(); }
    const Cell* data() const { return cells.get(); }

private:
    bool allocate(std::int32_t w, std::int32_t h, bool mayFail) {
        const std::int64_t count = gridCellCount(w, h);
        width = w;
        height = h;
        if (count == 0) return true;
        // No object may exceed PTRDIFF_MAX bytes; beyond that even the
        // nothrow array new throws std::bad_array_new_length instead of
        // returning null, so such sizes are refused here.
        if (static_cast<std::uint64_t>(count) > static_cast<std::uint64_t>(PTRDIFF_MAX) / sizeof(Cell)) {
            if (mayFail) { width = 0; height = 0; return false; }
            throw std::bad_alloc();
        }
        const std::size_t n = static_cast<std::size_t>(count);
        if (mayFail) {
            cells.reset(new (std::nothrow) Cell[n]);
            if (!cells) { width = 0; height = 0; return false; }
        } else {
            cells.reset(new Cell[n]);
        }
        std::memset(static_cast<void*>(cells.get()), 0, n * sizeof(Cell));
        return true;
    }
};

using ImageGrid = Grid<Rgba8>;
using FlowGrid = Grid<Vec2>;
using ByteMask = Grid<std::uint8_t>;

// The smallest width and height sampleFlow can read: its clamp at width - 3 and
// height - 3 needs three columns and three rows. Every grid has the working
// picture's size, so pictures below this are refused where they enter.
constexpr std::int32_t kMinimumGridSide = 3;

// Cell (x, y) holds the position (x, y): the mapping of a UV layer at rest.
FlowGrid makeIdentityGrid(std::int32_t width, std::int32_t height);

// Bilinear sample of the flow grid at a position in cell units. Cells sit at
// their integer corner points; both corner columns are clamped to [0, width-3]
// and both corner rows to [0, height-3]. Needs a grid of at least 3 x 3.
Vec2 sampleFlow(const FlowGrid& grid, Vec2 position);
