// Stillflow: brings a still picture to life. Reads its picture, overlay, flow
// document, music and shaders from the working directory; the command line
// goes to the window system (see platform/gui.h).

#include "app/app_state.h"
#include "app/frame_loop.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    AppState state;
    startUp(state, argc, argv);
    runFrameLoop(state);
    shutDown(state);
    return 0;
}
