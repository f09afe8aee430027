#include "gpu/gpu_buffer.h"

GpuBuffer::~GpuBuffer() {
    if (name_ == 0) return;
    glDeleteBuffers(1, &name_);
}

GpuBuffer::GpuBuffer(GpuBuffer&& other) noexcept : name_(other.name_) { other.name_ = 0; }

GpuBuffer& GpuBuffer::operator=(GpuBuffer&& other) noexcept {
    if (this == &other) return *this;
    if (name_ != 0) glDeleteBuffers(1, &name_);
    name_ = other.name_;
    other.name_ = 0;
    return *this;
}

GLuint GpuBuffer::id() {
    if (name_ == 0) glGenBuffers(1, &name_);
    return name_;
}
