#include "app/command_line.h"

#include <string>

bool parseProgramOptions(int argc, char** argv, ProgramOptions& options, std::string& error) {
    ProgramOptions parsed;
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--max-side") {
            if (i + 1 >= argc || !parsePhotoMaxSide(argv[i + 1], parsed.maxSide)) {
                error = "--max-side takes a number of pixels, at least " + std::to_string(kMinimumGridSide) +
                        ", or 0 for no limit";
                return false;
            }
            ++i;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument + " (stillflow --help lists them)";
            return false;
        } else if (havePath) {
            error = "more than one scene named: " + parsed.path + " and " + argument;
            return false;
        } else {
            parsed.path = argument;
            havePath = true;
        }
    }
    options = parsed;
    return true;
}
