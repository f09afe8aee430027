// Stillflow: brings a still picture to life. Reads its picture, overlay, flow
// document, music and shaders from a scene folder: the working directory,
// the folder named on the command line, or the one made beside a picture
// named there. The window system takes its own options (platform/gui.h);
// the program's are --help, --max-side N and PATH.
//
// What stops the run ends it here, as one line "stillflow: ..." on standard
// error and exit code 1.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/frame_loop.h"
#include "app/help.h"
#include "app/scene_path.h"
#include "app/startup.h"
#include "platform/fatal_error.h"
#include "platform/gui.h"
#include "platform/gui_options.h"
#include "platform/program_path.h"

int main(int argc, char** argv) {
    // 1. Before anything else: no window, no file.
    if (helpRequested(argc, argv)) {
        printHelp(stdout);
        return 0;
    }

    // 2. The name for error lines; the window system's options, then the
    // program's.
    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    setProgramName(argv0);
    SceneOptions options;
    std::string error;
    if (!parseGuiOptions(argc, argv, options.gui, error)) fatalError("%s", error.c_str());
    ProgramOptions program;
    if (!parseProgramOptions(argc, argv, program, error)) fatalError("%s", error.c_str());

    // 3. The scene folder named, or made from the picture named, becomes the
    // working directory; the files the command line names stay where they
    // were given, whichever scene folder the run goes into.
    std::error_code absolute;
    if (!options.gui.scriptPath.empty()) {
        options.gui.scriptPath = std::filesystem::absolute(options.gui.scriptPath, absolute).string();
    }
    if (!options.gui.grabDir.empty()) {
        options.gui.grabDir = std::filesystem::absolute(options.gui.grabDir, absolute).string();
    }
    std::string folder;
    if (!program.path.empty()) {
        std::string made;
        if (!sceneFolderForPath(program.path, program.maxSide, folder, made, error)) fatalError("%s", error.c_str());
        if (!made.empty()) std::printf("%s\n", made.c_str());
        std::error_code code;
        std::filesystem::current_path(folder, code);
        if (code) fatalError("cannot enter \"%s\": %s", folder.c_str(), code.message().c_str());
    }

    // 4. The scene, its frames until a close request or a pass that cannot
    // draw, the shutdown; what stopped the run is reported after it. A scene
    // named on the command line is named in its failure.
    AppState state;
    if (!openScene(state, options, error)) {
        if (folder.empty()) fatalError("%s", error.c_str());
        fatalError("\"%s\": %s", folder.c_str(), error.c_str());
    }
    WindowSession& window = state.window;
    window.inRealWindow = options.gui.backend == GuiBackend::Window;
    window.panelShown = window.inRealWindow || options.gui.showPanel;
    window.exportTool = programBeside("stillflow-export", argv0);
    window.photoMaxSide = program.maxSide;
    const std::optional<PassFailure> failure = runFrameLoop(state);
    releasePanel();
    shutDown(state);
    // An animation pass that cannot draw ends the run before its frame shows;
    // its logs (the link log, or "incomplete FBO!") are on standard output.
    if (failure) fatalError("%s", failure->reason.c_str());
    if (!guiFailure().empty()) fatalError("%s", guiFailure().c_str());
    return 0;
}
