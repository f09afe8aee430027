// Whole run, offscreen, of the program's own start-up, frame loop and
// shutdown in a scratch scene, with every GL entry point that releases an
// object (or selects one) wrapped in a check that a context is current. Then
// main returns as the program's does, so static destructors run after it:
// a GL object released there, with the context already gone, fails the run.
//
// Exit code 0: the shutdown released the passes' programs, and no checked GL
// call happened without a current context, up to the very end of the process.
// The run shows the mask (M) for a frame, so the texture made on demand is
// part of it.

#include <GL/glew.h>
#include <EGL/egl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/frame_loop.h"
#include "app/startup.h"
#include "flow/document.h"
#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"

namespace {

namespace fs = std::filesystem;

// How many checked calls ran; deletes of programs counted apart.
int checkedCalls = 0;
int programDeletes = 0;

void requireCurrentContext(const char* name) {
    ++checkedCalls;
    if (eglGetCurrentContext() != EGL_NO_CONTEXT) return;
    std::fprintf(stderr, "shutdown_context_check: %s called without a current GL context\n", name);
    // Straight out: no further destructor may run, and none may hide this.
    std::_Exit(2);
}

// Replaces one of GLEW's entry points with a checked forward to the original.
template <auto slot>
struct CheckedEntryPoint;

template <typename Result, typename... Arguments, Result(GLAPIENTRY** slot)(Arguments...)>
struct CheckedEntryPoint<slot> {
    static inline Result(GLAPIENTRY* original)(Arguments...) = nullptr;
    static inline const char* name = nullptr;

    static Result GLAPIENTRY call(Arguments... arguments) {
        requireCurrentContext(name);
        return original(arguments...);
    }
    static void install(const char* entryName) {
        name = entryName;
        original = *slot;
        *slot = &call;
    }
};

void GLAPIENTRY countProgramDelete(GLuint program) {
    if (program != 0) ++programDeletes;
    CheckedEntryPoint<&__glewDeleteProgram>::call(program);
}

void installChecks() {
    CheckedEntryPoint<&__glewDeleteProgram>::install("glDeleteProgram");
    __glewDeleteProgram = &countProgramDelete;
    CheckedEntryPoint<&__glewDeleteShader>::install("glDeleteShader");
    CheckedEntryPoint<&__glewDeleteFramebuffers>::install("glDeleteFramebuffers");
    CheckedEntryPoint<&__glewDeleteBuffers>::install("glDeleteBuffers");
    CheckedEntryPoint<&__glewDeleteVertexArrays>::install("glDeleteVertexArrays");
    CheckedEntryPoint<&__glewUseProgram>::install("glUseProgram");
    CheckedEntryPoint<&__glewBindFramebuffer>::install("glBindFramebuffer");
}

// A scene the program animates: a small picture, one guide, the shaders.
void writeScene(const Scene& scene) {
    FlowDocument document;
    document.picture = makePicture(24, 16, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 15), 90, 255};
    });
    document.mask = ByteMask(24, 16);
    document.guides.push_back(GuideSegment{4.0f, 8.0f, 12.0f, 8.0f});
    scene.writePicture(pictureFileName, document.picture);
    scene.writeDocument(document);
    // M shows the mask, which makes the one texture that exists only on
    // demand: it too must go before the context.
    scene.writeScript("1 keydown M\n2 keyup M\n");
}

}  // namespace

// Texture names are GL 1.1 entry points, linked directly rather than reached
// through GLEW: this definition takes the place of the library's for the
// whole executable.
extern "C" void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint* textures) {
    requireCurrentContext("glDeleteTextures");
    using DeleteTextures = void (*)(GLsizei, const GLuint*);
    static const auto original = reinterpret_cast<DeleteTextures>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    original(n, textures);
}

int main() {
    std::optional<Scene> scene;
    scene.emplace("shutdown-context-check");
    writeScene(*scene);
    fs::current_path(scene->dir());

    // Half a second a frame: a layer falls due within the run, so all three
    // passes build their objects.
    SceneOptions options;
    options.gui.backend = GuiBackend::Offscreen;
    options.gui.width = 64;
    options.gui.height = 64;
    options.gui.closeAtFrame = 6;
    options.gui.frameTime = 0.5;
    options.gui.scriptPath = "input.txt";

    AppState state;
    std::string error;
    if (!openScene(state, options, error)) {
        std::fprintf(stderr, "shutdown_context_check: %s\n", error.c_str());
        return 1;
    }
    installChecks();
    const bool passFailed = runFrameLoop(state).has_value();
    shutDown(state);

    fs::current_path(fs::temp_directory_path());
    scene.reset();
    if (passFailed) {
        std::fprintf(stderr, "shutdown_context_check: an animation pass could not draw\n");
        return 1;
    }
    if (programDeletes != 3) {
        std::fprintf(stderr, "shutdown_context_check: the shutdown deleted %d pass programs, not 3\n",
                     programDeletes);
        return 1;
    }
    if (checkedCalls == 0) {
        std::fprintf(stderr, "shutdown_context_check: no checked GL call ran; the checks are not in place\n");
        return 1;
    }
    return 0;
}
