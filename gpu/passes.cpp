#include "gpu/passes.h"

#include <cstdio>
#include <utility>

#include "gpu/shader_program.h"
#include "platform/fatal_error.h"

namespace {

// Every pass program shares this vertex shader, so "position" has the same
// location in each.
constexpr const char* passVertexFile = "pass.vert";
constexpr const char* positionAttribute = "position";

// What a pass keeps: built on its first call, then reused by every call.
struct PassObjects {
    ShaderProgram program;
    GLuint framebuffer = 0;
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
    GLuint triangleBuffer = 0;        // the shared geometry: 3 vertices of (x, y, z)
    GLuint triangleVertexArray = 0;
};
// Never destroyed: a destructor running at process exit would call GL after
// the context is gone. releasePassObjects() is the one release.
PassResources& passResources = *new PassResources;

void releasePassObjects(PassObjects& pass) {
    pass.program = ShaderProgram();
    if (pass.framebuffer != 0) glDeleteFramebuffers(1, &pass.framebuffer);
    pass.framebuffer = 0;
}

// The displace program of each filter: one file, the sharp one built with
// SHARP_FILTER defined.
constexpr const char* displaceFile = "displace.frag";
PassObjects& displaceObjects(PictureFilter filter) {
    return filter == PictureFilter::Sharp ? passResources.sharpDisplace : passResources.displace;
}
const char* displaceDefine(PictureFilter filter) {
    return filter == PictureFilter::Sharp ? "SHARP_FILTER" : nullptr;
}

// Builds the pass's program unless it is built; a defineName builds the
// fragment file's variant with that name defined. A program that does not
// link has its log printed and is not kept: false.
bool buildPassProgram(PassObjects& pass, const char* fragmentFile, const char* defineName) {
    if (pass.program.linked != 0) return true;
    ShaderProgram program = loadProgram(passVertexFile, fragmentFile, defineName);
    if (program.linked == 0) {
        std::printf("%s\n", program.log.c_str());
        return false;
    }
    pass.program = std::move(program);
    return true;
}

// What every pass does first: a linked program, the pass's framebuffer bound with
// the target as its only colour attachment, the viewport at the target's size.
void beginPass(PassObjects& pass, const char* fragmentFile, const char* defineName, Texture& target) {
    // 1. Program, built once; a program that won't link ends the run.
    if (!buildPassProgram(pass, fragmentFile, defineName)) exitWithFailure();

    // 2. Framebuffer.
    if (pass.framebuffer == 0) glGenFramebuffers(1, &pass.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, pass.framebuffer);

    // 3. Attach the target (on whatever unit is active).
    const GLuint targetName = target.id();
    glBindTexture(GL_TEXTURE_2D, targetName);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targetName, 0);

    // 4. A target the GPU can't render into (zero-sized, unrenderable format)
    //    ends the run rather than animating nothing.
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::printf("incomplete FBO!\n");
        exitWithFailure();
    }

    // 5. One fragment per target texel.
    const int height = target.height();
    const int width = target.width();
    glViewport(0, 0, width, height);
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
    GLuint& triangleBuffer = passResources.triangleBuffer;
    GLuint& triangleVertexArray = passResources.triangleVertexArray;
    if (triangleBuffer == 0) {
        glGenBuffers(1, &triangleBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, triangleBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof(fullscreenTriangle), fullscreenTriangle, GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    if (triangleVertexArray == 0) {
        glGenVertexArrays(1, &triangleVertexArray);
        glBindVertexArray(triangleVertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, triangleBuffer);
        glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(static_cast<GLuint>(location));
    }
    glBindVertexArray(triangleVertexArray);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

void identityPass(Texture& target) {
    beginPass(passResources.identity, "identity.frag", nullptr, target);
    drawPass(passResources.identity.program);
}

void advectPass(Texture& image, Texture& flow, Texture& target, float dt) {
    beginPass(passResources.advect, "advect.frag", nullptr, target);
    ShaderProgram& program = passResources.advect.program;
    setTargetSize(program, target);
    bindSampler(program, "image", image);
    bindSampler(program, "flow", flow);
    setUniform(program, "dt", dt);
    drawPass(program);
}

bool displaceHasSharpFilter() {
    return readTextFile(displaceFile).find(displaceDefine(PictureFilter::Sharp)) != std::string::npos;
}

bool preparePictureFilter(PictureFilter filter) {
    return buildPassProgram(displaceObjects(filter), displaceFile, displaceDefine(filter));
}

void displacePass(Texture& image, Texture& uvs0, Texture& uvs1, Texture& uvs2, float w0, float w1,
                  float w2, Texture& target, PictureFilter filter) {
    PassObjects& pass = displaceObjects(filter);
    beginPass(pass, displaceFile, displaceDefine(filter), target);
    ShaderProgram& program = pass.program;
    setTargetSize(program, target);
    setUniform(program, "w0", w0);
    setUniform(program, "w1", w1);
    setUniform(program, "w2", w2);
    bindSampler(program, "image", image);
    bindSampler(program, "uvs0", uvs0);
    bindSampler(program, "uvs1", uvs1);
    bindSampler(program, "uvs2", uvs2);
    drawPass(program);
}

void releasePassObjects() {
    PassResources& r = passResources;
    releasePassObjects(r.identity);
    releasePassObjects(r.advect);
    releasePassObjects(r.displace);
    releasePassObjects(r.sharpDisplace);
    if (r.triangleVertexArray != 0) glDeleteVertexArrays(1, &r.triangleVertexArray);
    if (r.triangleBuffer != 0) glDeleteBuffers(1, &r.triangleBuffer);
    r.triangleVertexArray = 0;
    r.triangleBuffer = 0;
}
