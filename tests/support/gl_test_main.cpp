// main() of the GL test executable: one offscreen 64x64 GL context, current
// for the whole run, the way the program makes its own (guiInit, GLContext,
// makeCurrent, glewInit).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <vector>

#include "gpu/passes.h"
#include "platform/gui.h"
#include "support/gl_test.h"

namespace {
GLContext* testContext = nullptr;
}  // namespace

GLContext& glTestContext() { return *testContext; }

int main(int argc, char** argv) {
    // gtest takes its own flags first; the GUI options are appended to a copy
    // so that a caller's arguments stay untouched.
    testing::InitGoogleTest(&argc, argv);
    static char platform[] = "-platform", offscreen[] = "offscreen", size[] = "-size", side[] = "64x64";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.end(), {platform, offscreen, size, side});
    args.push_back(nullptr);
    int count = static_cast<int>(args.size()) - 1;
    guiInit(count, args.data());

    GLContext context;
    context.makeCurrent();
    testContext = &context;
    glewInit();
    const int result = RUN_ALL_TESTS();
    // What the passes built goes while the context lives.
    releasePassObjects();
    return result;
}
