#include "bench/bench_gl.h"

#include <vector>

#include "flow/scene_files.h"
#include "gpu/gl_runtime.h"
#include "gpu/passes.h"
#include "gpu/shader_program.h"
#include "platform/fatal_error.h"

BenchGl::BenchGl(const char* argv0, const char* whereToRun) {
    setProgramName(argv0);
    if (readTextFile(passVertexFileName).empty()) fatalError("no %s here; %s", passVertexFileName, whereToRun);
    static char platform[] = "-platform", offscreen[] = "offscreen", size[] = "-size", side[] = "64x64";
    std::vector<char*> args = {const_cast<char*>(argv0), platform, offscreen, size, side, nullptr};
    int count = static_cast<int>(args.size()) - 1;
    guiInit(count, args.data());
    context_.emplace();
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
