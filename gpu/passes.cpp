#include "gpu/passes.h"

#include <cstdio>
#include <utility>

#include "flow/scene_files.h"
#include "gpu/gl_name.h"
#include "gpu/shader_program.h"

namespace {

// Every pass program shares the vertex shader passVertexFileName, so
// "position" has the same location in each.
constexpr const char* positionAttribute = "position";

// What a pass keeps: built on its first call, then reused by every call.
struct PassObjects {
    ShaderProgram program;
    Framebuffer framebuffer;
};

// The triangle (-1,-1), (4,-1), (-1,4) covers clip space [-1, 1]^2 with one
// primitive, so no diagonal seam runs through the target.
constexpr GLfloat fullscreenTriangle[9] = {-1.0f, -1.0f, 0.0f, 4.0f, -1.0f, 0.0f, -1.0f, 4.0f, 0.0f};

// Every GL object the passes create, in one place so that one call releases
// them all while their context lives.
struct PassResources {
    PassObjects identity;
    PassObjects advect;
    PassObjects displace;
    PassObjects sharpDisplace;        // displace.frag with SHARP_FILTER defined
    GpuBuffer triangleBuffer;         // the shared geometry: 3 vertices of (x, y, z)
    VertexArray triangleVertexArray;
};
// Never destroyed: a destructor running at process exit would call GL after
// the context is gone. releasePassObjects() is the one release.
PassResources& passResources = *new PassResources;

void releasePassObjects(PassObjects& pass) {
    pass.program = ShaderProgram();
    pass.framebuffer = Framebuffer();
}

// The displace program of each filter: one file, the sharp one built with
// SHARP_FILTER defined.
PassObjects& displaceObjects(PictureFilter filter) {
    return filter == PictureFilter::Sharp ? passResources.sharpDisplace : passResources.displace;
}
const char* displaceDefine(PictureFilter filter) {
    return filter == PictureFilter::Sharp ? "SHARP_FILTER" : nullptr;
}

// Builds the pass's program unless it is built; a defineName builds the
// fragment file's variant with that name defined. A program that does not
// link has its log printed and is not kept.
std::optional<PassFailure> buildPassProgram(PassObjects& pass, const char* fragmentFile, const char* defineName) {
    if (pass.program.linked != 0) return std::nullopt;
    PassFailure failure;
    ShaderProgram program = loadProgram(passVertexFileName, fragmentFile, defineName, &failure.reason);
    if (program.linked == 0) {
        // Flushed, so that the log comes before whatever line the caller
        // prints about it on standard error.
        std::printf("%s\n", program.log.c_str());
        std::fflush(stdout);
        failure.kind = PassFailure::Kind::programNotLinked;
        failure.linkLog = std::move(program.log);
        return failure;
    }
    pass.program = std::move(program);
    return std::nullopt;
}

// What every pass does first: a linked program, the pass's framebuffer bound with
// the target as its only colour attachment, the viewport at the target's size.
std::optional<PassFailure> beginPass(PassObjects& pass, const char* fragmentFile, const char* defineName,
                                     Texture& target) {
    // 1. Program, built once; a program that won't link stops the pass.
    if (std::optional<PassFailure> failure = buildPassProgram(pass, fragmentFile, defineName)) return failure;

    // 2. Framebuffer, generated on the pass's first call.
    glBindFramebuffer(GL_FRAMEBUFFER, pass.framebuffer.id());

    // 3. Attach the target (on whatever unit is active).
    const GLuint targetName = target.id();
    glBindTexture(GL_TEXTURE_2D, targetName);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targetName, 0);

    // 4. A target the GPU can't render into (zero-sized, unrenderable format)
    //    stops the pass rather than animating nothing.
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::printf("incomplete FBO!\n");
        std::fflush(stdout);
        PassFailure failure;
        failure.kind = PassFailure::Kind::framebufferIncomplete;
        failure.reason = "the GPU cannot draw into the animation's " + std::to_string(target.width()) + " x " +
                         std::to_string(target.height()) + " texture (its framebuffer is incomplete)";
        return failure;
    }

    // 5. One fragment per target texel.
    const int height = target.height();
    const int width = target.width();
    glViewport(0, 0, width, height);
    return std::nullopt;
}

// "size" is the target's size in texels, for turning texel positions into
// texture coordinates.
void setTargetSize(ShaderProgram& program, Texture& target) {
    const int height = target.height();
    const int width = target.width();
    setUniform(program, "size", static_cast<float>(width), static_cast<float>(height));
}

// What every pass does last: draw with its program.
void drawPass(ShaderProgram& program) {
    glUseProgram(program.id);
    drawFullscreenTriangle(attributeLocation(program, positionAttribute));
}

}  // namespace

void drawFullscreenTriangle(GLint location) {
    GpuBuffer& triangleBuffer = passResources.triangleBuffer;
    VertexArray& triangleVertexArray = passResources.triangleVertexArray;
    if (triangleBuffer.empty()) {
        glBindBuffer(GL_ARRAY_BUFFER, triangleBuffer.id());
        glBufferData(GL_ARRAY_BUFFER, sizeof(fullscreenTriangle), fullscreenTriangle, GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    if (triangleVertexArray.empty()) {
        glBindVertexArray(triangleVertexArray.id());
        glBindBuffer(GL_ARRAY_BUFFER, triangleBuffer.id());
        glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(static_cast<GLuint>(location));
    }
    glBindVertexArray(triangleVertexArray.id());
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

std::optional<PassFailure> identityPass(Texture& target) {
    if (std::optional<PassFailure> failure = beginPass(passResources.identity, identityFragmentFileName, nullptr, target)) {
        return failure;
    }
    drawPass(passResources.identity.program);
    return std::nullopt;
}

std::optional<PassFailure> advectPass(Texture& image, Texture& flow, Texture& target, float dt) {
    if (std::optional<PassFailure> failure = beginPass(passResources.advect, advectFragmentFileName, nullptr, target)) {
        return failure;
    }
    ShaderProgram& program = passResources.advect.program;
    setTargetSize(program, target);
    bindSampler(program, "image", image);
    bindSampler(program, "flow", flow);
    setUniform(program, "dt", dt);
    drawPass(program);
    return std::nullopt;
}

bool displaceHasSharpFilter() {
    return readTextFile(displaceFragmentFileName).find(displaceDefine(PictureFilter::Sharp)) != std::string::npos;
}

std::optional<PassFailure> preparePictureFilter(PictureFilter filter) {
    return buildPassProgram(displaceObjects(filter), displaceFragmentFileName, displaceDefine(filter));
}

std::optional<PassFailure> displacePass(Texture& image, Texture& uvs0, Texture& uvs1, Texture& uvs2, float w0,
                                        float w1, float w2, Texture& target, PictureFilter filter) {
    PassObjects& pass = displaceObjects(filter);
    if (std::optional<PassFailure> failure = beginPass(pass, displaceFragmentFileName, displaceDefine(filter), target)) {
        return failure;
    }
    ShaderProgram& program = pass.program;
    setTargetSize(program, target);
    // Picture texels per layer texel: 1 when the layers are picture-sized
    // (the division is then exact), more for the window's proxy.
    setUniform(program, "layerScale", static_cast<float>(image.width()) / static_cast<float>(target.width()),
               static_cast<float>(image.height()) / static_cast<float>(target.height()));
    setUniform(program, "w0", w0);
    setUniform(program, "w1", w1);
    setUniform(program, "w2", w2);
    bindSampler(program, "image", image);
    bindSampler(program, "uvs0", uvs0);
    bindSampler(program, "uvs1", uvs1);
    bindSampler(program, "uvs2", uvs2);
    drawPass(program);
    return std::nullopt;
}

bool displaceTakesLayerScale(PictureFilter filter) {
    PassObjects& pass = displaceObjects(filter);
    if (buildPassProgram(pass, displaceFragmentFileName, displaceDefine(filter))) return false;
    return uniformLocation(pass.program, "layerScale") >= 0;
}

std::optional<PassFailure> buildPassPrograms() {
    PassResources& r = passResources;
    if (std::optional<PassFailure> failure = buildPassProgram(r.identity, identityFragmentFileName, nullptr)) {
        return failure;
    }
    if (std::optional<PassFailure> failure = buildPassProgram(r.advect, advectFragmentFileName, nullptr)) {
        return failure;
    }
    return preparePictureFilter(PictureFilter::Fast);
}

void releasePassObjects() {
    PassResources& r = passResources;
    releasePassObjects(r.identity);
    releasePassObjects(r.advect);
    releasePassObjects(r.displace);
    releasePassObjects(r.sharpDisplace);
    r.triangleVertexArray = VertexArray();
    r.triangleBuffer = GpuBuffer();
}
