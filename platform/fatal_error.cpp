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

namespace {
void printLine(const char* format, va_list arguments) {
    std::fprintf(stderr, "%s: ", programName());
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
}
}  // namespace

void fatalError(const char* format, ...) {
    std::fflush(stdout);
    va_list arguments;
    va_start(arguments, format);
    printLine(format, arguments);
    va_end(arguments);
    std::fflush(stderr);
    std::exit(1);
}

std::string formatLine(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string line(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, arguments);
    va_end(arguments);
    return line;
}

void reportProblem(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    printLine(format, arguments);
    va_end(arguments);
}
