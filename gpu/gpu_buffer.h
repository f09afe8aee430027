#pragma once
// GpuBuffer: move-only owner of one GL buffer object name (vertex data,
// pixel-pack read-backs).
//
// The name is generated lazily, by the first id(). A default-constructed
// GpuBuffer holds no name and needs no GL context; so does a moved-from one.

#include <GL/glew.h>

#include <type_traits>

class GpuBuffer {
public:
    GpuBuffer() = default;
    ~GpuBuffer();

    GpuBuffer(const GpuBuffer&) = delete;
    GpuBuffer& operator=(const GpuBuffer&) = delete;
    // Takes the name and leaves 0 in the source.
    GpuBuffer(GpuBuffer&& other) noexcept;
    // Deletes this buffer's own name (if any) first, then takes the source's.
    GpuBuffer& operator=(GpuBuffer&& other) noexcept;

    // The GL name, generated first (glGenBuffers, count 1) if there is none yet.
    GLuint id();
    // Whether a name was generated: the first use of a buffer fills it.
    bool empty() const { return name_ == 0; }

private:
    GLuint name_ = 0;  // 0 until the first id()
};

static_assert(!std::is_copy_constructible<GpuBuffer>::value, "GpuBuffer owns its name: no copies");
static_assert(!std::is_copy_assignable<GpuBuffer>::value, "GpuBuffer owns its name: no copies");
static_assert(std::is_nothrow_move_constructible<GpuBuffer>::value, "GpuBuffer moves must not throw");
static_assert(std::is_nothrow_move_assignable<GpuBuffer>::value, "GpuBuffer moves must not throw");
static_assert(std::is_nothrow_default_constructible<GpuBuffer>::value, "an empty GpuBuffer needs no context");
static_assert(sizeof(GpuBuffer) == sizeof(GLuint), "GpuBuffer holds exactly its GL name");
