#include "gpu/framebuffer.h"

Framebuffer::~Framebuffer() {
    if (name_ == 0) return;
    glDeleteFramebuffers(1, &name_);
}

Framebuffer::Framebuffer(Framebuffer&& other) noexcept : name_(other.name_) { other.name_ = 0; }

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept {
    if (this == &other) return *this;
    if (name_ != 0) glDeleteFramebuffers(1, &name_);
    name_ = other.name_;
    other.name_ = 0;
    return *this;
}

GLuint Framebuffer::id() {
    if (name_ == 0) glGenFramebuffers(1, &name_);
    return name_;
}
