#pragma once
// GlName: the one move-only owner of a GL object name, for every kind of
// object whose names come from glGen* and go back through glDelete*
// (textures, framebuffers, buffers, vertex arrays). Framebuffer, GpuBuffer
// and VertexArray below are its instances; Texture holds one.
//
// The name is generated lazily, by the first id(): an owner that was never
// used holds no name. A default-constructed owner holds no name and needs no
// GL context; so does a moved-from one. Copies are deleted; a move takes the
// name and leaves 0 in the source; move-assignment deletes the destination's
// own name (if any) first; destruction deletes a non-zero name while the
// context that made it must still be current.

#include <GL/glew.h>

#include <type_traits>

// Kind: a struct with static generate(GLuint*) and destroy(const GLuint*),
// each for one name.
template <typename Kind>
class GlName {
public:
    GlName() = default;
    ~GlName() { release(); }

    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;
    GlName(GlName&& other) noexcept : name_(other.name_) { other.name_ = 0; }
    GlName& operator=(GlName&& other) noexcept {
        if (this == &other) return *this;
        release();
        name_ = other.name_;
        other.name_ = 0;
        return *this;
    }

    // The GL name, generated first (count 1) if there is none yet.
    GLuint id() {
        if (name_ == 0) Kind::generate(&name_);
        return name_;
    }
    // Whether no name was generated yet: the first use of an object sets it up.
    bool empty() const { return name_ == 0; }

private:
    void release() noexcept {
        if (name_ == 0) return;
        Kind::destroy(&name_);
        name_ = 0;
    }

    GLuint name_ = 0;  // 0 until the first id()
};

// The GL calls of each kind of name (GLEW's entry points, reached once the
// context is current).
struct FramebufferNames {
    static void generate(GLuint* name) { glGenFramebuffers(1, name); }
    static void destroy(const GLuint* name) { glDeleteFramebuffers(1, name); }
};
struct BufferNames {
    static void generate(GLuint* name) { glGenBuffers(1, name); }
    static void destroy(const GLuint* name) { glDeleteBuffers(1, name); }
};
struct VertexArrayNames {
    static void generate(GLuint* name) { glGenVertexArrays(1, name); }
    static void destroy(const GLuint* name) { glDeleteVertexArrays(1, name); }
};
struct TextureNames {
    static void generate(GLuint* name) { glGenTextures(1, name); }
    static void destroy(const GLuint* name) { glDeleteTextures(1, name); }
};

// A framebuffer object: a pass generates its own on its first call.
using Framebuffer = GlName<FramebufferNames>;
// A buffer object: vertex data, pixel-pack read-backs.
using GpuBuffer = GlName<BufferNames>;
// A vertex array object.
using VertexArray = GlName<VertexArrayNames>;

// The pattern every owner keeps, pinned once for each.
template <typename Owner>
constexpr bool isGlOwner = !std::is_copy_constructible<Owner>::value && !std::is_copy_assignable<Owner>::value &&
                           std::is_nothrow_move_constructible<Owner>::value &&
                           std::is_nothrow_move_assignable<Owner>::value &&
                           std::is_nothrow_default_constructible<Owner>::value && sizeof(Owner) == sizeof(GLuint);
static_assert(isGlOwner<Framebuffer>, "a Framebuffer is move-only, holds exactly its name, needs no context empty");
static_assert(isGlOwner<GpuBuffer>, "a GpuBuffer is move-only, holds exactly its name, needs no context empty");
static_assert(isGlOwner<VertexArray>, "a VertexArray is move-only, holds exactly its name, needs no context empty");
