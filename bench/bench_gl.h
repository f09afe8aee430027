#pragma once
// The GL set-up the benchmarks of the passes share: the offscreen platform
// with a 64 x 64 widget and the one GL context, made current the way the
// program makes it (guiInit, GLContext, makeCurrent, glewInit). The passes
// read their shader files from the working directory, so that is checked
// first.

#include <optional>

#include "platform/gui.h"

class BenchGl {
public:
    // Ends the process with exit code 1, after the line "<name>: no pass.vert
    // here; <whereToRun>", when "pass.vert" is not in the working directory.
    BenchGl(const char* argv0, const char* whereToRun);
    // Releases what the passes built, then the context.
    ~BenchGl();
    BenchGl(const BenchGl&) = delete;
    BenchGl& operator=(const BenchGl&) = delete;

private:
    std::optional<GLContext> context_;
};
