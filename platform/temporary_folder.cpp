#include "platform/temporary_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/fatal_error.h"

namespace fs = std::filesystem;

TemporaryFolder::~TemporaryFolder() { remove(); }

TemporaryFolder::TemporaryFolder(TemporaryFolder&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

TemporaryFolder& TemporaryFolder::operator=(TemporaryFolder&& other) noexcept {
    if (this == &other) return *this;
    remove();
    path_ = std::move(other.path_);
    other.path_.clear();
    return *this;
}

bool TemporaryFolder::make(const std::string& label, std::string& error) {
    remove();
    std::error_code code;
    fs::path base = fs::temp_directory_path(code);
    if (code) base = "/tmp";
    const std::string pattern = (base / (label + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes the folder with mode 0700 under a name no one can foresee.
    if (!::mkdtemp(name.data())) {
        error = formatLine("cannot make a temporary folder in %s: %s", base.string().c_str(), std::strerror(errno));
        return false;
    }
    path_ = name.data();
    return true;
}

void TemporaryFolder::remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    path_.clear();
}
