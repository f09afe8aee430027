// The offscreen backend's GL side: an EGL context from Mesa without any
// window system, drawing into a pbuffer so that framebuffer 0 is a real
// target of the widget's size.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "platform/fatal_error.h"
#include "platform/gui_backend.h"

namespace {
// The EGL display and the widget's pbuffer; one of each per process.
struct OffscreenTarget {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0, height = 0;   // of surface
    int largestSide = 0;         // widest target the GPU draws into; 0 until a context said
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLBINDBUFFERPROC bindBuffer = nullptr;
};
OffscreenTarget target;

// The line for a failed EGL step; false, for returning at once.
bool fail(const char* what, std::string& error) {
    error = formatLine("offscreen GL: %s (EGL error 0x%04x)", what, static_cast<unsigned>(eglGetError()));
    return false;
}

// Opens Mesa's surfaceless platform, which needs neither X nor a GPU device;
// the default display is the fallback for EGL libraries without it.
bool openDisplay(std::string& error) {
    if (target.display != EGL_NO_DISPLAY) return true;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = EGL_NO_DISPLAY;
    if (getPlatformDisplay) {
        display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && !eglInitialize(display, nullptr, nullptr)) display = EGL_NO_DISPLAY;
    }
    if (display == EGL_NO_DISPLAY) {
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
            return fail("cannot open an EGL display", error);
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return fail("EGL cannot bind desktop OpenGL", error);
    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &target.config, 1, &count) || count < 1)
        return fail("no RGBA8 pbuffer configuration for desktop OpenGL", error);
    target.display = display;
    return true;
}

// The widget's target. Its size was checked against a guess when the
// options were read; once a context has said how large a viewport the GPU
// draws into, that decides. (EGL_MAX_PBUFFER_WIDTH is no guide: Mesa
// reports 4096 and makes larger pbuffers all the same, and crashes on one
// of 32768 x 32768.)
bool makeSurface(int width, int height, std::string& error) {
    if (target.largestSide > 0 && (width > target.largestSide || height > target.largestSide)) {
        error = formatLine("-size %dx%d is larger than the %d x %d this GPU draws", width, height, target.largestSide,
                           target.largestSide);
        return false;
    }
    const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(target.display, target.config, attributes);
    if (surface == EGL_NO_SURFACE) return fail("cannot create the widget's pbuffer", error);
    target.surface = surface;
    target.width = width;
    target.height = height;
    return true;
}

bool loadEntryPoints(std::string& error) {
    // Loaded here rather than through GLEW: the grab must work whether or not
    // the program has called glewInit yet.
    target.bindFramebuffer =
        reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(eglGetProcAddress("glBindFramebuffer"));
    target.bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(eglGetProcAddress("glBindBuffer"));
    if (!target.bindFramebuffer || !target.bindBuffer) return fail("the context lacks framebuffer objects", error);
    return true;
}
}  // namespace

void* createOffscreenContext(int width, int height, std::string& error) {
    if (!openDisplay(error)) return nullptr;
    // Compatibility profile: the program draws with immediate mode and the
    // matrix stacks next to its shaders and framebuffer objects.
    const EGLint versioned[] = {
        EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
        EGL_NONE};
    EGLContext context = eglCreateContext(target.display, target.config, EGL_NO_CONTEXT, versioned);
    if (context == EGL_NO_CONTEXT) {
        // Older EGLs reject the version attributes; their default context is
        // already the newest compatibility one.
        context = eglCreateContext(target.display, target.config, EGL_NO_CONTEXT, nullptr);
    }
    if (context == EGL_NO_CONTEXT) {
        fail("cannot create an OpenGL 3.0 compatibility context", error);
        return nullptr;
    }
    // Every later failure gives the context back before saying why.
    auto release = [&context] {
        eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(target.display, context);
        return nullptr;
    };
    // The context is made current on the smallest target first: only then
    // can it say how large a one the GPU draws into.
    if (target.surface == EGL_NO_SURFACE && !makeSurface(1, 1, error)) return release();
    if (!eglMakeCurrent(target.display, target.surface, target.surface, context)) {
        fail("cannot make the context current", error);
        return release();
    }
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || std::atoi(version) < 3) {
        fail("the driver offers no OpenGL 3.0 or later", error);
        return release();
    }
    if (!loadEntryPoints(error)) return release();
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    target.largestSide = std::min(viewport[0], viewport[1]);
    if (!makeOffscreenCurrent(context, width, height, error)) return release();
    return context;
}

void destroyOffscreenContext(void* context) {
    if (!context || target.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(target.display, static_cast<EGLContext>(context));
}

bool makeOffscreenCurrent(void* context, int width, int height, std::string& error) {
    // A failure leaves the surface and the context that were current as
    // they were.
    EGLSurface stale = EGL_NO_SURFACE;
    if (target.surface == EGL_NO_SURFACE || width != target.width || height != target.height) {
        const EGLSurface kept = target.surface;
        const int keptWidth = target.width, keptHeight = target.height;
        if (!makeSurface(width, height, error)) return false;
        stale = kept;
        if (!eglMakeCurrent(target.display, target.surface, target.surface, static_cast<EGLContext>(context))) {
            fail("cannot make the context current", error);
            eglDestroySurface(target.display, target.surface);
            target.surface = kept;
            target.width = keptWidth;
            target.height = keptHeight;
            return false;
        }
    } else if (!eglMakeCurrent(target.display, target.surface, target.surface, static_cast<EGLContext>(context))) {
        return fail("cannot make the context current", error);
    }
    if (stale != EGL_NO_SURFACE) eglDestroySurface(target.display, stale);
    return true;
}

bool writeOffscreenGrab(const std::string& path, int width, int height) {
    glFinish();
    GLint readFramebuffer = 0, packBuffer = 0, alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels);
    target.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    target.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    std::vector<unsigned char> pixels(rowBytes * static_cast<std::size_t>(height));
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    target.bindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
    target.bindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
    glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);

    // GL's rows run bottom-up; a picture file's run top-down. The window
    // shows the framebuffer opaque whatever its alpha (the letterbox and the
    // overlay's soft edges leave alpha below 255), so the grab is opaque too.
    std::vector<unsigned char> flipped(pixels.size());
    for (int row = 0; row < height; ++row) {
        const unsigned char* from = pixels.data() + rowBytes * static_cast<std::size_t>(height - 1 - row);
        unsigned char* to = flipped.data() + rowBytes * static_cast<std::size_t>(row);
        std::copy(from, from + rowBytes, to);
        for (std::size_t alpha = 3; alpha < rowBytes; alpha += 4) to[alpha] = 255;
    }
    return stbi_write_png(path.c_str(), width, height, 4, flipped.data(), static_cast<int>(rowBytes)) != 0;
}
