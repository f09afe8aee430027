// main() of the GL test executable: one offscreen 64x64 GL context, current
// for the whole run, the way the program makes its own (guiStart, GLContext,
// makeCurrent, glewInit).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "gpu/passes.h"
#include "platform/gui.h"
#include "platform/gui_options.h"
#include "support/gl_test.h"

namespace {
GLContext* testContext = nullptr;
}  // namespace

GLContext& glTestContext() { return *testContext; }

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    GuiOptions options;
    options.backend = GuiBackend::Offscreen;
    options.width = 64;
    options.height = 64;
    std::string error;
    if (!guiStart(options, error)) {
        std::fprintf(stderr, "gl tests: %s\n", error.c_str());
        return 1;
    }

    GLContext context;
    if (!context.failure().empty()) {
        std::fprintf(stderr, "gl tests: %s\n", context.failure().c_str());
        return 1;
    }
    context.makeCurrent();
    testContext = &context;
    glewInit();
    const int result = RUN_ALL_TESTS();
    // What the passes built goes while the context lives.
    releasePassObjects();
    return result;
}
