#include "platform/program_path.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// The running program's own file: Linux names it; elsewhere argv[0], which
// holds a path whenever the program was not found through PATH.
fs::path runningProgram(const char* argv0) {
#ifdef __linux__
    std::error_code code;
    const fs::path self = fs::read_symlink("/proc/self/exe", code);
    if (!code && !self.empty()) return self;
#endif
    return argv0 ? fs::path(argv0) : fs::path();
}
}  // namespace

std::string programBeside(const char* name, const char* argv0) {
    const fs::path self = runningProgram(argv0);
    if (!self.has_parent_path()) return "";
    std::error_code code;
    const fs::path beside = fs::absolute(self.parent_path() / name, code);
    if (code || !fs::is_regular_file(beside, code) || ::access(beside.c_str(), X_OK) != 0) return "";
    return beside.string();
}
