#pragma once
// Where a video output lives until it is complete, through the safe file
// writing of platform/safe_file.h: a container file is a StagedFile that the
// muxer fills through its descriptor; PNG frames go into a StagedFolder. Only
// commitVideoStaging puts the output under its name; dropping the owner
// before that removes what was written, so a failed or abandoned export
// never leaves a broken file under the target's name and never replaces an
// older one.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/safe_file.h"

struct VideoStaging {
    std::string target;               // the user's name (for frames: the name pattern)
    StagedFile file;                  // a container file
    // Frames: a temporary folder. When the frames' folder does not exist it
    // becomes that folder; otherwise it is made inside it and the frames
    // are moved out one by one when complete.
    StagedFolder frames;
    bool intoExistingFolder = false;
};

// Whether the first `frames` frame files of `pattern` can take their names:
// false, naming it, when one of them is a folder (checked before any frame
// is rendered, rather than when the finished frames move in).
bool checkFrameNames(const std::string& pattern, std::int64_t frames, std::string& error);

// Creates the temporary file for `target` (not a folder), whose folder must exist; its
// descriptor (staged.file.descriptor()) is open for reading and writing.
bool stageVideoFile(VideoStaging& staged, const std::string& target, std::string& error);

// Creates the temporary folder for the frame files of `pattern`
// (frames/frame-%05d.png); the folder that holds the frames' folder must
// exist.
bool stageFrameFolder(VideoStaging& staged, const std::string& pattern, std::string& error);

// Writes frame k's file into the temporary folder.
bool writeStagedFrame(VideoStaging& staged, std::int64_t k, const void* bytes, std::size_t size,
                      std::string& error);

// Writes frame `to`'s file as a copy of frame `from`'s, both in the
// temporary folder (a loop's frames repeat).
bool copyStagedFrame(VideoStaging& staged, std::int64_t from, std::int64_t to, std::string& error);

// Puts the file, or the `frames` frame files, in place. Frames moving into
// an existing folder replace the older files of their names as one change:
// a failure part-way leaves the older set whole. `bytes` is what was
// written (every frame file together), 0 where it cannot be read.
bool commitVideoStaging(VideoStaging& staged, std::int64_t frames, std::uint64_t& bytes, std::string& error);
