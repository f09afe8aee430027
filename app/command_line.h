#pragma once
// The program's own command line, after the window system took its options
// (platform/gui_options.h): [--max-side N] [PATH].

#include <string>

#include "app/photo_scene.h"
#include "flow/grid.h"

struct ProgramOptions {
    std::string path;                   // a scene folder or a picture; empty: the working directory
    int maxSide = kDefaultPhotoMaxSide;  // for a scene made from a picture
};

// Reads argv[1..argc) (argv[0] is the program). False, with one line in
// `error`, on an unknown option, a bad --max-side, or more than one PATH.
bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error);
