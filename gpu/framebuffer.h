#pragma once
// Framebuffer: move-only owner of one GL framebuffer object name.
//
// The name is generated lazily, by the first id(): a pass generates its
// framebuffer on its first call. A default-constructed Framebuffer holds no
// name and needs no GL context; so does a moved-from one.

#include <GL/glew.h>

#include <type_traits>

class Framebuffer {
public:
    Framebuffer() = default;
    ~Framebuffer();

    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;
    // Takes the name and leaves 0 in the source.
    Framebuffer(Framebuffer&& other) noexcept;
    // Deletes this framebuffer's own name (if any) first, then takes the source's.
    Framebuffer& operator=(Framebuffer&& other) noexcept;

    // The GL name, generated first (glGenFramebuffers, count 1) if there is none yet.
    GLuint id();

private:
    GLuint name_ = 0;  // 0 until the first id()
};

static_assert(!std::is_copy_constructible<Framebuffer>::value, "Framebuffer owns its name: no copies");
static_assert(!std::is_copy_assignable<Framebuffer>::value, "Framebuffer owns its name: no copies");
static_assert(std::is_nothrow_move_constructible<Framebuffer>::value, "Framebuffer moves must not throw");
static_assert(std::is_nothrow_move_assignable<Framebuffer>::value, "Framebuffer moves must not throw");
static_assert(std::is_nothrow_default_constructible<Framebuffer>::value,
              "an empty Framebuffer needs no context");
static_assert(sizeof(Framebuffer) == sizeof(GLuint), "Framebuffer holds exactly its GL name");
