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

// Moves every frame file from the temporary folder into the existing
// `folder`, as one change: the older files of those names first go aside
// into a second hidden folder, then the new ones in; a rename that fails in
// either step puts back what was moved, so the folder holds either the
// whole older set or the whole new one. The set aside is removed at the end.
bool moveFramesIn(VideoStaging& staged, const fs::path& folder, std::int64_t frames, std::string& error) {
    const fs::path temporary = staged.frames.path();
    StagedFolder older;
    if (!older.open((folder / fs::path(staged.target).filename()).string(), error)) return false;
    const fs::path aside = older.path();
    std::error_code code;
    auto move = [&code](const fs::path& from, const fs::path& to) {
        fs::rename(from, to, code);
        return !code;
    };
    auto fail = [&error, &code](const fs::path& name) {
        error = "cannot name the file " + quoted(name) + ": " + code.message();
        return false;
    };
    // 1. The older frames aside.
    std::vector<std::string> setAside;
    for (std::int64_t k = 0; k < frames; ++k) {
        const std::string name = frameName(staged, k);
        std::error_code exists;
        const fs::file_status status = fs::symlink_status(folder / name, exists);
        if (!fs::exists(status)) continue;
        // A folder of that name is the user's, never set aside (and so never
        // removed with the older frames).
        if (fs::is_directory(status) || !move(folder / name, aside / name)) {
            if (fs::is_directory(status)) code = std::make_error_code(std::errc::is_a_directory);
            const bool failed = fail(folder / name);
            for (const std::string& back : setAside) fs::rename(aside / back, folder / back, exists);
            return failed;
        }
        setAside.push_back(name);
    }
    // 2. The new frames in.
    for (std::int64_t k = 0; k < frames; ++k) {
        const std::string name = frameName(staged, k);
        if (!move(temporary / name, folder / name)) {
            const bool failed = fail(folder / name);
            std::error_code ignored;
            for (std::int64_t back = 0; back < k; ++back) {
                const std::string moved = frameName(staged, back);
                fs::rename(folder / moved, temporary / moved, ignored);
            }
            for (const std::string& back : setAside) fs::rename(aside / back, folder / back, ignored);
            return failed;
        }
    }
    staged.frames.abandon();  // empty by now
    return true;                // `older` goes with what it holds
}

}  // namespace

bool checkFrameNames(const std::string& pattern, std::int64_t frames, std::string& error) {
    const fs::path folder = folderOf(pattern);
    const std::string name = fs::path(pattern).filename().string();
    std::error_code code;
    if (!fs::is_directory(folder, code)) return true;
    for (std::int64_t k = 0; k < frames; ++k) {
        const fs::path frame = folder / frameFileName(name, k);
        if (fs::is_directory(frame, code)) {
            error = quoted(frame) + " is a folder, where frame " + std::to_string(k) + " would go";
            return false;
        }
    }
    return true;
}

bool stageVideoFile(VideoStaging& staged, const std::string& target, std::string& error) {
    staged.target = target;
    std::error_code code;
    if (fs::is_directory(target, code)) {
        error = quoted(fs::path(target)) + " is a folder: name a file";
        return false;
    }
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
    } else if (!moveFramesIn(staged, folder, frames, error)) {
        return false;
    }
    for (std::int64_t k = 0; k < frames; ++k) {
        const std::uintmax_t size = fs::file_size(folder / frameName(staged, k), code);
        if (!code) bytes += size;
    }
    return true;
}
