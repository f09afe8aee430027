#include "media/video_staging.h"

#include <random>
#include <system_error>

#include "media/video_formats.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

fs::path folderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// A name beside `path` that nothing has: ".NAME.RANDOM.part".
fs::path freeNameBeside(const fs::path& path) {
    std::random_device seed;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate =
            folderOf(path) / ("." + path.filename().string() + "." + std::to_string(seed()) + ".part");
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
    return {};
}

bool checkFolder(const fs::path& folder, std::string& error) {
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        error = "the folder " + quoted(folder) + " does not exist";
        return false;
    }
    return true;
}

std::string frameName(const VideoStaging& staged, std::int64_t k) {
    return frameFileName(staged.target.filename().string(), k);
}

}  // namespace

VideoStaging::~VideoStaging() {
    if (!committed && !staging.empty()) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
    }
}

bool stageVideoFile(VideoStaging& staged, const std::string& target, std::string& error) {
    staged.target = target;
    if (!checkFolder(folderOf(staged.target), error)) return false;
    staged.staging = freeNameBeside(staged.target);
    if (staged.staging.empty()) {
        error = "cannot find a free temporary name beside " + quoted(staged.target);
        return false;
    }
    return true;
}

bool stageFrameFolder(VideoStaging& staged, const std::string& pattern, std::string& error) {
    staged.target = pattern;
    const fs::path folder = folderOf(staged.target);
    std::error_code code;
    const bool folderExists = fs::is_directory(folder, code);
    const fs::path parent = folderExists ? folder : folderOf(folder);
    if (!folderExists && !checkFolder(parent, error)) return false;
    staged.staging = freeNameBeside(folderExists ? folder / staged.target.filename() : folder);
    if (staged.staging.empty() || !fs::create_directory(staged.staging, code) || code) {
        error = "cannot write in " + quoted(parent) + (code ? ": " + code.message() : std::string());
        staged.staging.clear();
        return false;
    }
    staged.isFolder = true;
    staged.becomesFolder = !folderExists;
    return true;
}

fs::path stagedFramePath(const VideoStaging& staged, std::int64_t k) { return staged.staging / frameName(staged, k); }

bool commitVideoStaging(VideoStaging& staged, std::int64_t frames, std::uint64_t& bytes, std::string& error) {
    bytes = 0;
    std::error_code code;
    const fs::path folder = folderOf(staged.target);
    if (!staged.isFolder) {
        const std::uintmax_t size = fs::file_size(staged.staging, code);
        bytes = code ? 0 : size;
        fs::rename(staged.staging, staged.target, code);
        if (code) {
            error = "cannot name the file " + quoted(staged.target) + ": " + code.message();
            return false;
        }
        staged.committed = true;
        return true;
    }
    if (staged.becomesFolder) {
        // The frames' folder did not exist: the staging folder becomes it.
        fs::rename(staged.staging, folder, code);
        if (code) {
            error = "cannot name the folder " + quoted(folder) + ": " + code.message();
            return false;
        }
    } else {
        for (std::int64_t k = 0; k < frames; ++k) {
            const std::string name = frameName(staged, k);
            fs::rename(staged.staging / name, folder / name, code);
            if (code) {
                error = "cannot name the file " + quoted(folder / name) + ": " + code.message();
                return false;
            }
        }
        fs::remove(staged.staging, code);
    }
    staged.committed = true;
    for (std::int64_t k = 0; k < frames; ++k) {
        const std::uintmax_t size = fs::file_size(folder / frameName(staged, k), code);
        if (!code) bytes += size;
    }
    return true;
}
