#pragma once
// Where a video output lives until it is complete: a temporary file beside
// the target, or for PNG frames a temporary folder, moved into place whole
// by commitVideoStaging. Dropping the owner before that removes what was
// written, so a failed or abandoned export never leaves a broken file under
// the target's name and never replaces an older one.

#include <cstdint>
#include <filesystem>
#include <string>

struct VideoStaging {
    VideoStaging() = default;
    ~VideoStaging();
    VideoStaging(const VideoStaging&) = delete;
    VideoStaging& operator=(const VideoStaging&) = delete;

    std::filesystem::path target;     // the user's name (for frames: the name pattern)
    std::filesystem::path staging;    // the temporary file or folder; empty: nothing to remove
    bool isFolder = false;
    bool becomesFolder = false;       // frames: the temporary folder is renamed to the frames' folder
    bool committed = false;
};

// A free temporary name for the file `target` in its folder, which must
// exist. Creates nothing: the caller creates the file.
bool stageVideoFile(VideoStaging& staged, const std::string& target, std::string& error);

// A temporary folder for the frame files of `pattern` (frames/frame-%05d.png):
// beside the frames' folder when that does not exist yet (it is then renamed
// into place whole), inside it otherwise (the frames are then moved out one
// by one).
bool stageFrameFolder(VideoStaging& staged, const std::string& pattern, std::string& error);

// Where frame k's file goes while staged.
std::filesystem::path stagedFramePath(const VideoStaging& staged, std::int64_t k);

// Moves the file, or the `frames` frame files, into place. `bytes` is what
// was written (every frame file together), 0 where it cannot be read.
bool commitVideoStaging(VideoStaging& staged, std::int64_t frames, std::uint64_t& bytes, std::string& error);
