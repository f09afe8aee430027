#pragma once
// A folder of its own for one test (or one test process), under the
// system's temporary folder: created empty, removed with everything in it
// when the object goes. Names never clash between tests or parallel runs.

#include <cstddef>
#include <filesystem>
#include <string>

class ScratchFolder {
public:
    // `label` starts the folder's name, so a leftover says who left it.
    explicit ScratchFolder(const std::string& label);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The path of file `name` in the folder, as the C interfaces take it.
    std::string file(const std::string& name) const;

    // Writes the bytes as file `name` (replacing it) and returns its path.
    // Throws std::runtime_error when the file can't be written, which fails
    // the test that asked.
    std::string writeFile(const std::string& name, const void* bytes, std::size_t size) const;
    template <typename Bytes>
    std::string writeFile(const std::string& name, const Bytes& bytes) const {
        return writeFile(name, bytes.data(), bytes.size());
    }

private:
    std::filesystem::path path_;
};

// The whole content of a file, byte for byte; empty when it cannot be read.
std::string readWholeFile(const std::filesystem::path& path);
