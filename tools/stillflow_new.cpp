// stillflow-new [--max-side N] [--overlay FILE] [--music FILE] PHOTO [DIR]
//
// Makes a scene folder the program can run in from one photo: the working
// picture "vornapozadi.png" (the photo upright, scaled down if it is very
// large), the four shader files, and on request the overlay "vorex.png" and
// the music "track.wav". No flow document: the program starts on the photo
// with no guides.
//
// The folder is built under a temporary name beside DIR and renamed into
// place at the end, once every file is on the disk, so a failure leaves
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

#include "flow/grid.h"
#include "flow/scene_files.h"
#include "gpu/builtin_shaders.h"
#include "image/photo.h"
#include "image/png_writing.h"
#include "image/scaling.h"
#include "media/audio_decoding.h"
#include "media/wav_writing.h"
#include "platform/safe_file.h"
#include "platform/texture_side_guess.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = "usage: stillflow-new [--max-side N] [--overlay FILE] [--music FILE] PHOTO [DIR]";

// A longer side than 4K UHD's brings nothing on a screen and costs the GPU
// 24 bytes per pixel in float layers. Beyond kLargestAnyGpuSide no GPU
// could take the picture as a texture, so it is scaled to that whatever
// was asked; the program checks the GPU at hand when it starts.
constexpr int kDefaultMaxSide = 3840;

struct Options {
    fs::path photo;
    fs::path dir;
    int maxSide = kDefaultMaxSide;  // 0: only kLargestAnyGpuSide
    std::optional<fs::path> overlay;
    std::optional<fs::path> music;
};

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

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

// 0, or a side the program can animate.
bool parseSide(const char* text, int& side) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value > kLargestAnyGpuSide * 16L) return false;
    if (value != 0 && value < kMinimumGridSide) return false;
    side = static_cast<int>(value);
    return true;
}

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
            if (!parseSide(argv[++i], options.maxSide)) return wrong("--max-side takes a number of pixels, at least " + std::to_string(kMinimumGridSide) + ", or 0 for no limit");
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
        const fs::path stem = options.photo.stem();
        options.dir = stem.empty() ? fs::path("scene") : stem;
    }
    return options;
}

// ---- the scene's files -----------------------------------------------------------
// Each step returns false with the tool's one line in `error`.

// The photo upright and within the size limit; says so when it scales.
bool preparePicture(const Options& options, ImageGrid& prepared, std::string& error) {
    ImageGrid picture = loadPhoto(options.photo.string().c_str());
    if (picture.empty()) {
        error = "cannot read " + quoted(options.photo) + " as a picture";
        return false;
    }
    if (picture.width < kMinimumGridSide || picture.height < kMinimumGridSide) {
        error = quoted(options.photo) + " is " + std::to_string(picture.width) + " x " +
                std::to_string(picture.height) + " pixels; the program needs at least " +
                std::to_string(kMinimumGridSide) + " x " + std::to_string(kMinimumGridSide);
        return false;
    }
    const int limit = options.maxSide == 0 ? kLargestAnyGpuSide : std::min(options.maxSide, kLargestAnyGpuSide);
    const PictureSize size = fitWithinSide(picture.width, picture.height, limit, kMinimumGridSide);
    if (size.width == picture.width && size.height == picture.height) {
        prepared = std::move(picture);
        return true;
    }

    prepared = resizeImage(picture, size);
    if (prepared.empty()) {
        error = "not enough memory to scale " + quoted(options.photo);
        return false;
    }
    std::printf("scaled the photo from %d x %d to %d x %d pixels (longer side at most %d; --max-side changes this)\n",
                picture.width, picture.height, size.width, size.height, limit);
    return true;
}

bool writePicture(const fs::path& path, const ImageGrid& picture, std::string& error) {
    if (writePng(path.string().c_str(), picture)) return true;
    error = "cannot write " + quoted(path);
    return false;
}

// The overlay at the picture's size, which is how the program draws it.
bool writeOverlay(const fs::path& from, const fs::path& to, const ImageGrid& picture, std::string& error) {
    ImageGrid overlay = loadPhoto(from.string().c_str());
    if (overlay.empty()) {
        error = "cannot read " + quoted(from) + " as a picture";
        return false;
    }
    if (overlay.width != picture.width || overlay.height != picture.height) {
        overlay = resizeImage(overlay, PictureSize{picture.width, picture.height});
        if (overlay.empty()) {
            error = "not enough memory to scale " + quoted(from);
            return false;
        }
    }
    return writePicture(to, overlay, error);
}

bool writeMusic(const fs::path& from, const fs::path& to, std::string& error) {
    PcmAudio audio;
    std::string reason;
    AudioDecodeOptions options;
    options.maxFrames = maxWavFrames(options.maxChannels);
    if (!decodeAudioFile(from.string().c_str(), audio, reason, options)) {
        error = "cannot use " + quoted(from) + " as music: " + reason;
        return false;
    }
    if (writeWavFile(to.string().c_str(), audio)) return true;
    error = "cannot write " + quoted(to);
    return false;
}

bool writeShaders(const fs::path& dir, std::string& error) {
    std::string failed;
    if (writeBuiltinShaders(dir.string().c_str(), &failed)) return true;
    error = "cannot write " + quoted(fs::path(failed));
    return false;
}

// ---- the folder ---------------------------------------------------------------------

// Refuses a DIR that holds anything, and a DIR whose parent is missing.
bool checkTarget(const fs::path& dir, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(dir, code);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            error = quoted(dir) + " exists and is not a folder; name a new one";
            return false;
        }
        if (!fs::is_empty(dir, code) || code) {
            error = quoted(dir) + " exists and is not empty; name a new folder";
            return false;
        }
    }
    const fs::path parent = dir.has_parent_path() ? dir.parent_path() : fs::path(".");
    if (fs::is_directory(parent, code)) return true;
    error = "the folder " + quoted(parent) + " does not exist";
    return false;
}

bool makeScene(const Options& options, std::string& error) {
    // 1. The target, then the photo, before anything is created: a photo
    //    that cannot be used creates nothing at all.
    ImageGrid picture;
    if (!checkTarget(options.dir, error) || !preparePicture(options, picture, error)) return false;

    // 2. The files, in a folder of their own beside DIR that becomes DIR
    //    (replacing it only when empty) once every file is on the disk; a
    //    failure before removes it with what it holds.
    StagedFolder staging;
    if (!staging.open(options.dir.string(), error)) return false;
    const fs::path folder = staging.path();
    if (!writePicture(folder / pictureFileName, picture, error)) return false;
    if (options.overlay && !writeOverlay(*options.overlay, folder / overlayFileName, picture, error)) return false;
    if (options.music && !writeMusic(*options.music, folder / musicFileName, error)) return false;
    if (!writeShaders(folder, error) || !staging.commit(error)) return false;

    // 3. What was made, and what to do next.
    std::printf("made %s: a %d x %d picture%s%s and the shaders\n", options.dir.string().c_str(), picture.width,
                picture.height, options.overlay ? ", an overlay" : "", options.music ? ", music" : "");
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
    quietMediaLibraryLogs();
    std::string error;
    if (!makeScene(*options, error)) {
        std::fprintf(stderr, "stillflow-new: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
