// stillflow-new [--max-side N] [--overlay FILE] [--music FILE] PHOTO [DIR]
//
// Makes a scene folder the program can run in from one photo: the working
// picture "vornapozadi.png" (the photo upright, scaled down if it is very
// large), the four shader files, and on request the overlay "vorex.png" and
// the music "track.wav", and a record of the photo (app/photo_scene.h). No
// flow document: the program starts on the photo with no guides.
//
// The folder is built under a temporary name beside DIR and renamed into
// place at the end, once every file is on the disk, so a failure or an
// interruption (SIGINT, SIGTERM, SIGHUP: exit code 128 + its number) leaves
// nothing behind; a DIR that exists and is not an empty folder is refused.
// Failures print one line on stderr and end with exit code 1 (2 for a wrong
// command line).

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/photo_scene.h"
#include "flow/grid.h"
#include "flow/scene_files.h"
#include "media/audio_decoding.h"
#include "platform/interruption.h"
#include "platform/texture_side_guess.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = "usage: stillflow-new [--max-side N] [--overlay FILE] [--music FILE] PHOTO [DIR]";

constexpr int kDefaultMaxSide = kDefaultPhotoMaxSide;

struct Options {
    fs::path photo;
    fs::path dir;
    int maxSide = kDefaultMaxSide;  // 0: only kLargestAnyGpuSide
    std::optional<fs::path> overlay;
    std::optional<fs::path> music;
};

// A path as a shell word, for the commands printed at the end.
std::string shellWord(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' || c == '/';
    });
    if (plain) return text;
    std::string word = "'";
    for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// ---- command line --------------------------------------------------------------

// Parses the arguments; on a wrong command line prints the reason and the
// usage and returns nothing. `helpAsked` is set for -h/--help.
std::optional<Options> parseArguments(int argc, char** argv, bool& helpAsked) {
    Options options;
    std::vector<std::string> positional;
    auto wrong = [](const std::string& why) {
        std::fprintf(stderr, "stillflow-new: %s\n%s\n", why.c_str(), kUsage);
        return std::optional<Options>();
    };
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "--max-side" || argument == "--overlay" || argument == "--music";
        if (argument == "-h" || argument == "--help") {
            helpAsked = true;
            return std::nullopt;
        }
        if (takesValue && i + 1 >= argc) return wrong(argument + " needs a value");
        if (argument == "--max-side") {
            if (!parsePhotoMaxSide(argv[++i], options.maxSide)) return wrong("--max-side takes a number of pixels, at least " + std::to_string(kMinimumGridSide) + ", or 0 for no limit");
        } else if (argument == "--overlay") {
            options.overlay = fs::path(argv[++i]);
        } else if (argument == "--music") {
            options.music = fs::path(argv[++i]);
        } else if (argument.size() > 1 && argument[0] == '-') {
            return wrong("unknown option " + argument);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.empty() || positional.size() > 2) return wrong(positional.empty() ? "no photo named" : "too many arguments");
    options.photo = positional[0];
    if (positional.size() == 2) {
        options.dir = positional[1];
        // "scene/" names the folder "scene", not a place inside it.
        while (!options.dir.has_filename() && options.dir.has_parent_path() && options.dir != options.dir.root_path()) {
            options.dir = options.dir.parent_path();
        }
    } else {
        options.dir = defaultPhotoSceneName(options.photo.string());
    }
    return options;
}

bool makeScene(const Options& options, std::string& error) {
    // 1. The folder with its files, made whole or not at all.
    PhotoSceneRequest request;
    request.photo = options.photo.string();
    request.folder = options.dir.string();
    request.maxSide = options.maxSide;
    if (options.overlay) request.overlay = options.overlay->string();
    if (options.music) request.music = options.music->string();
    PhotoSceneMade made;
    if (!makePhotoScene(request, made, error)) return false;

    // 2. What was made, and what to do next.
    if (made.scaled()) {
        std::printf("scaled the photo from %d x %d to %d x %d pixels (longer side at most %d; --max-side changes "
                    "this)\n",
                    made.photoWidth, made.photoHeight, made.width, made.height, made.sideLimit);
    }
    std::printf("made %s: a %d x %d picture%s%s and the shaders\n", options.dir.string().c_str(), made.width,
                made.height, options.overlay ? ", an overlay" : "", options.music ? ", music" : "");
    std::printf("next, draw the motion and watch it, then export a loop:\n");
    const std::string dir = shellWord(options.dir.string());
    std::printf("  cd %s && stillflow\n", dir.c_str());
    std::printf("  cd %s && stillflow-export loop.mp4\n", dir.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool helpAsked = false;
    const std::optional<Options> options = parseArguments(argc, argv, helpAsked);
    if (helpAsked) {
        std::printf("%s\n", kUsage);
        std::printf(
            "Makes the scene folder DIR (default: the photo's name without its extension) for stillflow:\n"
            "  PHOTO           any picture the program reads; a JPEG's EXIF orientation is applied\n"
            "  --max-side N    scale down so that the longer side is at most N pixels (default %d; 0: no limit)\n"
            "  --overlay FILE  a picture drawn over the animation where it is opaque (%s)\n"
            "  --music FILE    the music, from WAV, MP3, OGG, FLAC, M4A, ... (%s)\n",
            kDefaultMaxSide, overlayFileName, musicFileName);
        return 0;
    }
    if (!options) return 2;
    watchInterruptions("stillflow-new");
    quietMediaLibraryLogs();
    std::string error;
    if (!makeScene(*options, error)) {
        std::fprintf(stderr, "stillflow-new: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
