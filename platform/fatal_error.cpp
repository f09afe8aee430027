#include "platform/fatal_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Process-wide, written at start-up. A plain array: it has no destructor, so
// an error line is right even while the process is exiting.
char storedProgramName[256] = "stillflow";
}  // namespace

void setProgramName(const char* argv0) {
    if (!argv0) return;
    const char* slash = std::strrchr(argv0, '/');
    const char* name = slash ? slash + 1 : argv0;
    if (*name) std::snprintf(storedProgramName, sizeof storedProgramName, "%s", name);
}

const char* programName() { return storedProgramName; }

void fatalError(const char* format, ...) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: ", programName());
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    exitWithFailure();
}

void exitWithFailure() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(1);
}
