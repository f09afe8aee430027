#include "gpu/vertex_array.h"

VertexArray::~VertexArray() {
    if (name_ == 0) return;
    glDeleteVertexArrays(1, &name_);
}

VertexArray::VertexArray(VertexArray&& other) noexcept : name_(other.name_) { other.name_ = 0; }

VertexArray& VertexArray::operator=(VertexArray&& other) noexcept {
    if (this == &other) return *this;
    if (name_ != 0) glDeleteVertexArrays(1, &name_);
    name_ = other.name_;
    other.name_ = 0;
    return *this;
}

GLuint VertexArray::id() {
    if (name_ == 0) glGenVertexArrays(1, &name_);
    return name_;
}
