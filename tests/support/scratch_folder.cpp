#include "support/scratch_folder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& label) {
    std::random_device seed;
    std::error_code error;
    // create_directory says false for a name that exists: take another.
    for (;;) {
        path_ = fs::temp_directory_path() / (label + "-" + std::to_string(seed()));
        if (fs::create_directory(path_, error)) return;
        if (error) throw std::runtime_error("cannot create scratch folder " + path_.string() + ": " + error.message());
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::file(const std::string& name) const { return (path_ / name).string(); }

std::string ScratchFolder::writeFile(const std::string& name, const void* bytes, std::size_t size) const {
    const std::string path = file(name);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool written = out != nullptr && (size == 0 || std::fwrite(bytes, 1, size, out) == size);
    if (out && std::fclose(out) != 0) written = false;
    if (!written) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
