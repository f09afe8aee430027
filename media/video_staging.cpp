#include "media/video_staging.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <system_error>

#include "media/video_formats.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// The folder a name is in: "." for a bare name, and a trailing separator
// ("frames/") names the folder before it.
fs::path folderOf(const fs::path& path) {
    fs::path folder = path.parent_path();
    while (!folder.empty() && !folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    return folder.empty() ? fs::path(".") : folder;
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
    return frameFileName(fs::path(staged.target).filename().string(), k);
}

}  // namespace

bool stageVideoFile(VideoStaging& staged, const std::string& target, std::string& error) {
    staged.target = target;
    return checkFolder(folderOf(target), error) && staged.file.open(target, error);
}

bool stageFrameFolder(VideoStaging& staged, const std::string& pattern, std::string& error) {
    staged.target = pattern;
    const fs::path folder = folderOf(pattern);
    std::error_code code;
    staged.intoExistingFolder = fs::is_directory(folder, code);
    if (staged.intoExistingFolder) {
        // A hidden temporary folder inside it, named after the pattern.
        return staged.frames.open((folder / fs::path(pattern).filename()).string(), error);
    }
    return checkFolder(folderOf(folder), error) && staged.frames.open(folder.string(), error);
}

bool writeStagedFrame(VideoStaging& staged, std::int64_t k, const void* bytes, std::size_t size,
                      std::string& error) {
    // Each frame synced on its own: the frames that go into an existing
    // folder are moved there one by one, without the temporary folder's
    // commit.
    return writeFileSafely((fs::path(staged.frames.path()) / frameName(staged, k)).string(), bytes, size, error);
}

bool copyStagedFrame(VideoStaging& staged, std::int64_t from, std::int64_t to, std::string& error) {
    const fs::path source = fs::path(staged.frames.path()) / frameName(staged, from);
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot read back the frame file " + quoted(source);
        return false;
    }
    return writeStagedFrame(staged, to, bytes.data(), bytes.size(), error);
}

bool commitVideoStaging(VideoStaging& staged, std::int64_t frames, std::uint64_t& bytes, std::string& error) {
    bytes = 0;
    std::error_code code;
    if (staged.file.isOpen()) {
        if (!staged.file.commit(error)) return false;
        const std::uintmax_t size = fs::file_size(staged.target, code);
        bytes = code ? 0 : size;
        return true;
    }
    const fs::path folder = folderOf(staged.target);
    if (!staged.intoExistingFolder) {
        // The frames' folder did not exist: the temporary folder becomes it.
        if (!staged.frames.commit(error)) return false;
    } else {
        const fs::path temporary = staged.frames.path();
        for (std::int64_t k = 0; k < frames; ++k) {
            const std::string name = frameName(staged, k);
            fs::rename(temporary / name, folder / name, code);
            if (code) {
                error = "cannot name the file " + quoted(folder / name) + ": " + code.message();
                return false;
            }
        }
        staged.frames.abandon();  // empty by now
    }
    for (std::int64_t k = 0; k < frames; ++k) {
        const std::uintmax_t size = fs::file_size(folder / frameName(staged, k), code);
        if (!code) bytes += size;
    }
    return true;
}
