#pragma once
// The demo scene's own files, as the program reads them from its working
// directory: the working picture "vornapozadi.png", the overlay "vorex.png",
// the music "track.wav" and the flow document "vorna2.flw" (the same
// picture, an empty mask, guides that set the water falling and flowing and
// the clouds drifting). The shader files, which every scene needs alike, are
// the caller's. Everything is procedural and seeded, so every run writes the
// same files.

#include <filesystem>
#include <string>

namespace demo {

// Creates `dir` if needed and writes the scene's files into it, saying on
// standard output what it wrote. A file of the scene already in `dir` is kept
// (so that work saved there survives), unless `rewrite` asks to replace it.
// Each file is written whole or not at all (platform/safe_file.h). False,
// with one line in `error`, when a file can't be written.
bool writeDemoScene(const std::filesystem::path& dir, bool rewrite, std::string& error);

}  // namespace demo
