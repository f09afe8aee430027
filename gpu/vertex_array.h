#pragma once
// VertexArray: move-only owner of one GL vertex array object name.
//
// The name is generated lazily, by the first id(). A default-constructed
// VertexArray holds no name and needs no GL context; so does a moved-from
// one.

#include <GL/glew.h>

#include <type_traits>

class VertexArray {
public:
    VertexArray() = default;
    ~VertexArray();

    VertexArray(const VertexArray&) = delete;
    VertexArray& operator=(const VertexArray&) = delete;
    // Takes the name and leaves 0 in the source.
    VertexArray(VertexArray&& other) noexcept;
    // Deletes this vertex array's own name (if any) first, then takes the source's.
    VertexArray& operator=(VertexArray&& other) noexcept;

    // The GL name, generated first (glGenVertexArrays, count 1) if there is none yet.
    GLuint id();
    // Whether a name was generated: the first use of a vertex array sets it up.
    bool empty() const { return name_ == 0; }

private:
    GLuint name_ = 0;  // 0 until the first id()
};

static_assert(!std::is_copy_constructible<VertexArray>::value, "VertexArray owns its name: no copies");
static_assert(!std::is_copy_assignable<VertexArray>::value, "VertexArray owns its name: no copies");
static_assert(std::is_nothrow_move_constructible<VertexArray>::value, "VertexArray moves must not throw");
static_assert(std::is_nothrow_move_assignable<VertexArray>::value, "VertexArray moves must not throw");
static_assert(std::is_nothrow_default_constructible<VertexArray>::value,
              "an empty VertexArray needs no context");
static_assert(sizeof(VertexArray) == sizeof(GLuint), "VertexArray holds exactly its GL name");
