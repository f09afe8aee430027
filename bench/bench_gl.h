#pragma once
// The GL set-up the benchmarks of the passes share: the offscreen platform
// with a 64 x 64 widget and the one GL context, made current the way the
// program makes it (guiStart, GLContext, makeCurrent, loadGlFunctions). The
// passes read their shader files from the working directory, so that is
// checked first.

#include <optional>

#include "gpu/passes.h"
#include "platform/gui.h"

class BenchGl {
public:
    // Ends the process with exit code 1, after the line "<name>: no pass.vert
    // here; <whereToRun>", when "pass.vert" is not in the working directory,
    // or after the window system's line when no context can be made.
    BenchGl(const char* argv0, const char* whereToRun);
    // Releases what the passes built, then the context.
    ~BenchGl();
    BenchGl(const BenchGl&) = delete;
    BenchGl& operator=(const BenchGl&) = delete;

private:
    std::optional<GLContext> context_;
};

// Ends the benchmark with exit code 1, after the line "<name>: <reason>",
// when a pass could not draw: a figure of passes that did not run means
// nothing.
void requireDrawn(const std::optional<PassFailure>& failure);
