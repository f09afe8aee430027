// Stillflow: brings a still picture to life. Reads its picture, overlay, flow
// document, music and shaders from the working directory; the command line
// goes to the window system (see platform/gui.h), apart from --help.

#include <cstdio>

#include "app/app_state.h"
#include "app/frame_loop.h"
#include "app/help.h"
#include "app/startup.h"
#include "platform/fatal_error.h"

int main(int argc, char** argv) {
    // Before anything else: no window, no file.
    if (helpRequested(argc, argv)) {
        printHelp(stdout);
        return 0;
    }
    AppState state;
    startUp(state, argc, argv);
    const std::optional<PassFailure> failure = runFrameLoop(state);
    shutDown(state);
    // An animation pass that cannot draw ends the run before its frame shows;
    // its logs (the link log, or "incomplete FBO!") are on standard output.
    if (failure) fatalError("%s", failure->reason.c_str());
    return 0;
}
