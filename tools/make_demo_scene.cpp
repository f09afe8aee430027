// make_demo_scene [--rewrite] DIR [SHADER_DIR]
//
// Writes a complete demo scene into DIR, which the program can then run in:
// the working picture "vornapozadi.png", the overlay "vorex.png", the music
// "track.wav", the flow document "vorna2.flw" (the same picture, an empty
// mask, guides that set the water falling and flowing and the clouds
// drifting) and copies of the four shader files. Everything is procedural
// and seeded, so every run writes the same files.
//
// A picture, overlay, track or flow document already in DIR is kept, so that
// work saved in the scene folder survives the next demo run; --rewrite
// replaces them too. The shaders belong to the program, not to the scene,
// and are always written afresh.
//
// The shaders are the project's own, built into this tool; SHADER_DIR, if
// given, names a folder to copy them from instead, where a missing shader is
// a warning, not an error. A file that can't be written ends the tool with
// exit code 1.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <stb_image_write.h>

#include "flow/document.h"
#include "gpu/builtin_shaders.h"
#include "tools/demo_flow.h"
#include "tools/demo_music.h"
#include "tools/demo_overlay.h"
#include "tools/demo_picture.h"

namespace fs = std::filesystem;

namespace {

// The shader files the program reads from its working directory.
const char* const kShaderFiles[] = {"pass.vert", "identity.frag", "advect.frag", "displace.frag"};

bool writePng(const fs::path& path, const ImageGrid& image) {
    const int ok = stbi_write_png(path.string().c_str(), image.width, image.height, 4, image.data(),
                                  image.width * 4);
    if (!ok) {
        std::fprintf(stderr, "make_demo_scene: cannot write %s\n", path.string().c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", path.string().c_str(), image.width, image.height);
    return true;
}

bool writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "make_demo_scene: cannot write %s\n", path.string().c_str());
        return false;
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    // A full disk may only show when the buffered tail is flushed on close.
    const bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        std::fprintf(stderr, "make_demo_scene: cannot write %s completely\n", path.string().c_str());
        return false;
    }
    return true;
}

// Copies the shader files that exist; false only when one exists but can't
// be copied.
bool copyShaders(const fs::path& from, const fs::path& to) {
    for (const char* name : kShaderFiles) {
        const fs::path source = from / name;
        std::error_code error;
        if (!fs::is_regular_file(source, error)) {
            std::fprintf(stderr, "make_demo_scene: warning: shader %s not found; the program needs it in %s\n",
                         source.string().c_str(), to.string().c_str());
            continue;
        }
        const fs::path target = to / name;
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(stderr, "make_demo_scene: cannot copy %s to %s: %s\n", source.string().c_str(),
                         target.string().c_str(), error.message().c_str());
            return false;
        }
        std::printf("wrote %s\n", target.string().c_str());
    }
    return true;
}

// Whether `path` is to be left as it is: it exists and no rewrite was asked for.
bool keepExisting(const fs::path& path, bool rewrite) {
    std::error_code error;
    if (rewrite || !fs::exists(path, error)) return false;
    std::printf("kept %s (already there; --rewrite replaces it)\n", path.string().c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto flag = std::find(arguments.begin(), arguments.end(), "--rewrite");
    const bool rewrite = flag != arguments.end();
    if (rewrite) arguments.erase(flag);
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "usage: make_demo_scene [--rewrite] DIR [SHADER_DIR]\n");
        return 1;
    }
    const fs::path dir(arguments[0]);

    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) {
        std::fprintf(stderr, "make_demo_scene: cannot create %s\n", dir.string().c_str());
        return 1;
    }

    // 1. The working picture, and from where its features ended up, the
    //    guides; painted only when the picture or the document is written.
    const fs::path picturePath = dir / "vornapozadi.png";
    const fs::path documentPath = dir / "vorna2.flw";
    const bool keepPicture = keepExisting(picturePath, rewrite);
    const bool keepDocument = keepExisting(documentPath, rewrite);
    std::optional<demo::PaintCanvas> canvas;
    ImageGrid picture;
    if (!keepPicture || !keepDocument) {
        canvas.emplace(demo::paintScene());
        picture = demo::canvasToImage(*canvas);
    }
    if (!keepPicture && !writePng(picturePath, picture)) return 1;

    // 2. The overlay.
    const fs::path overlayPath = dir / "vorex.png";
    if (!keepExisting(overlayPath, rewrite) && !writePng(overlayPath, demo::overlayToImage(demo::paintOverlay()))) {
        return 1;
    }

    // 3. The music.
    const fs::path trackPath = dir / "track.wav";
    if (!keepExisting(trackPath, rewrite)) {
        if (!writeBytes(trackPath, demo::encodeWav(demo::renderTrack()))) return 1;
        std::printf("wrote %s (%.1f s loop)\n", trackPath.string().c_str(),
                    static_cast<double>(demo::kLoopFrames) / demo::kSampleRate);
    }

    // 4. The flow document: the same picture, an all-zero mask, the guides.
    if (!keepDocument) {
        FlowDocument document;
        document.picture = picture;
        document.mask = ByteMask(picture.width, picture.height);
        document.guides = demo::layoutGuides(*canvas);
        document.flowScale = demo::kDemoFlowScale;
        document.phaseSpacing = demo::kDemoPhaseSpacing;
        std::string error;
        if (!writeFlowDocument(documentPath.string().c_str(), document, &error)) {
            std::fprintf(stderr, "make_demo_scene: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s (%zu guides)\n", documentPath.string().c_str(), document.guides.size());
    }

    // 5. The shaders.
    if (arguments.size() == 2) return copyShaders(fs::path(arguments[1]), dir) ? 0 : 1;
    std::string failed;
    if (!writeBuiltinShaders(dir.string().c_str(), &failed)) {
        std::fprintf(stderr, "make_demo_scene: cannot write %s\n", failed.c_str());
        return 1;
    }
    std::printf("wrote the shaders\n");
    return 0;
}
