#pragma once
// Runs the built program offscreen in a scratch scene folder and reads back
// what it printed and grabbed. For whole-program tests.

#include <cstdint>
#include <filesystem>
#include <string>

#include "flow/document.h"
#include "flow/grid.h"
#include "support/scratch_folder.h"

struct ProgramRun {
    int exitCode = -1;
    std::string out;   // standard output
    std::string err;   // standard error
    std::filesystem::path grabDir;
};

class Scene {
public:
    // A fresh scene folder, named after `name`, with the four shader files
    // in it; removed with the object.
    explicit Scene(const std::string& name);

    const std::filesystem::path& dir() const { return folder_.path(); }

    void writePicture(const char* fileName, const ImageGrid& picture) const;
    void writeDocument(const FlowDocument& document) const;
    void writeScript(const std::string& text) const;
    void writeFile(const char* fileName, const std::string& bytes) const;
    void remove(const char* fileName) const;
    // The file's bytes; empty when it is missing.
    std::string readFile(const char* fileName) const;
    bool exists(const char* fileName) const;

    // Runs the program in the scene folder with -platform offscreen, the
    // given size and frame count, grabbing every frame, plus extra options.
    // A fileSizeLimit above 0 lets no file the program writes grow beyond
    // that many bytes (rounded down to 512), the way a full disk stops it.
    ProgramRun run(int width, int height, int frames, const std::string& extraOptions = "",
                   std::uint64_t fileSizeLimit = 0) const;

    // Frame k of the last run's grabs; an empty grid if it is missing.
    ImageGrid grab(int frame) const;

private:
    ScratchFolder folder_;
};
