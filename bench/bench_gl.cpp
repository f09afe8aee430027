#include "bench/bench_gl.h"

#include <string>

#include "flow/scene_files.h"
#include "gpu/gl_runtime.h"
#include "gpu/passes.h"
#include "gpu/shader_program.h"
#include "platform/fatal_error.h"
#include "platform/gui_options.h"

BenchGl::BenchGl(const char* argv0, const char* whereToRun) {
    setProgramName(argv0);
    if (readTextFile(passVertexFileName).empty()) fatalError("no %s here; %s", passVertexFileName, whereToRun);
    GuiOptions options;
    options.backend = GuiBackend::Offscreen;
    options.width = 64;
    options.height = 64;
    std::string error;
    if (!guiStart(options, error)) fatalError("%s", error.c_str());
    context_.emplace();
    if (!context_->failure().empty()) fatalError("%s", context_->failure().c_str());
    context_->makeCurrent();
    loadGlFunctions();
}

BenchGl::~BenchGl() {
    releasePassObjects();
    context_.reset();
}

void requireDrawn(const std::optional<PassFailure>& failure) {
    if (failure) fatalError("%s", failure->reason.c_str());
}
