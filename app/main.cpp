// Stillflow: brings a still picture to life. Reads its picture, overlay, flow
// document, music and shaders from the working directory; the command line
// goes to the window system (see platform/gui.h), apart from --help.
//
// What stops the run ends it here, as one line "stillflow: ..." on standard
// error and exit code 1.

#include <cstdio>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "app/frame_loop.h"
#include "app/help.h"
#include "app/startup.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"
#include "platform/gui_options.h"

int main(int argc, char** argv) {
    // 1. Before anything else: no window, no file.
    if (helpRequested(argc, argv)) {
        printHelp(stdout);
        return 0;
    }

    // 2. The name for error lines; the window system's options.
    setProgramName(argc > 0 ? argv[0] : nullptr);
    SceneOptions options;
    std::string error;
    if (!parseGuiOptions(argc, argv, options.gui, error)) fatalError("%s", error.c_str());

    // 3. The scene, its frames until a close request or a pass that cannot
    // draw, the shutdown; what stopped the run is reported after it.
    AppState state;
    if (!openScene(state, options, error)) fatalError("%s", error.c_str());
    const std::optional<PassFailure> failure = runFrameLoop(state);
    shutDown(state);
    // An animation pass that cannot draw ends the run before its frame shows;
    // its logs (the link log, or "incomplete FBO!") are on standard output.
    if (failure) fatalError("%s", failure->reason.c_str());
    if (!guiFailure().empty()) fatalError("%s", guiFailure().c_str());
    return 0;
}
