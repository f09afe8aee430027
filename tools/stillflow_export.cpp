// stillflow-export [options] OUTPUT
//
// Renders a scene folder's animation, as the program shows it (the animated
// picture under its overlay, without particles or brush), at the picture's
// own resolution and on virtual time, and writes it as a video, a GIF or PNG
// frames. By default the output is a seamless loop: whole periods of the
// layers' cycle after a warm-up, so that the frame after the last one is the
// first one again.
//
// Failures print one line on stderr and end with exit code 1 (2 for a wrong
// command line, 130 when interrupted); the output appears under its name
// only once complete.

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/app_state.h"
#include "app/export_frames.h"
#include "app/export_timing.h"
#include "app/scene_files.h"
#include "app/startup.h"
#include "media/audio_decoding.h"
#include "gpu/passes.h"
#include "media/video_encoding.h"
#include "platform/fatal_error.h"
#include "platform/terminal.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: stillflow-export [-C DIR] [--fps F] [--loops K | --seconds S] [--width W] [--music]\n"
    "                        [--quality Q] [--no-overlay] [-q] OUTPUT.{mp4,webm,gif} | FRAME-%05d.png";
constexpr double kDefaultFps = 30.0;
// GL_MAX_TEXTURE_SIZE of current desktop drivers: no wider frame is useful.
constexpr int kLargestWidth = 16384;
constexpr int kExitInterrupted = 130;

struct Options {
    std::string output;
    std::optional<std::string> sceneDir;
    double fps = kDefaultFps;
    int loops = 0;                     // 0: the fewest that last 3 s
    std::optional<double> seconds;
    int width = 0;                     // 0: the picture's own
    bool music = false;
    int quality = -1;                  // -1: the format's standard
    bool overlay = true;
    bool quiet = false;
};

struct Failure {
    std::string line;
    int exitCode = 1;
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// ---- command line ------------------------------------------------------------------

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parseInteger(const char* text, long lowest, long highest, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < lowest || parsed > highest) return false;
    value = static_cast<int>(parsed);
    return true;
}

// Parses the arguments; on a wrong command line prints the reason and the
// usage and returns nothing. `helpAsked`/`versionAsked` are set for those.
std::optional<Options> parseArguments(int argc, char** argv, bool& helpAsked, bool& versionAsked) {
    Options options;
    std::vector<std::string> positional;
    auto wrong = [](const std::string& why) {
        std::fprintf(stderr, "stillflow-export: %s\n%s\n", why.c_str(), kUsage);
        return std::optional<Options>();
    };
    const std::vector<std::string> valued = {"-C", "--fps", "--loops", "--seconds", "--width", "--quality"};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            helpAsked = true;
            return std::nullopt;
        }
        if (argument == "--version") {
            versionAsked = true;
            return std::nullopt;
        }
        bool takesValue = false;
        for (const std::string& name : valued) takesValue = takesValue || argument == name;
        if (takesValue && i + 1 >= argc) return wrong(argument + " needs a value");
        const char* value = takesValue ? argv[++i] : nullptr;
        double number = 0.0;
        if (argument == "-C") {
            options.sceneDir = value;
        } else if (argument == "--fps") {
            if (!parseNumber(value, number) || number <= 0.0 || number > kMaxExportFps)
                return wrong("--fps takes a number of frames per second above 0, at most 240");
            options.fps = number;
        } else if (argument == "--loops") {
            if (!parseInteger(value, 1, 100000, options.loops)) return wrong("--loops takes a whole number, at least 1");
        } else if (argument == "--seconds") {
            if (!parseNumber(value, number) || number <= 0.0 || number > kMaxExportSeconds)
                return wrong("--seconds takes a length above 0, at most 3600");
            options.seconds = number;
        } else if (argument == "--width") {
            if (!parseInteger(value, 2, kLargestWidth, options.width))
                return wrong("--width takes a number of pixels from 2 to 16384");
        } else if (argument == "--quality") {
            if (!parseInteger(value, 0, 63, options.quality))
                return wrong("--quality takes a whole number (lower is better: 0-51 for .mp4, 0-63 for .webm)");
        } else if (argument == "--music") {
            options.music = true;
        } else if (argument == "--no-overlay") {
            options.overlay = false;
        } else if (argument == "-q" || argument == "--quiet") {
            options.quiet = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return wrong("unknown option " + argument);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 1) return wrong(positional.empty() ? "no output named" : "more than one output named");
    if (options.loops > 0 && options.seconds) return wrong("--loops and --seconds exclude each other");
    options.output = positional[0];
    return options;
}

void printHelp() {
    std::printf("%s\n", kUsage);
    std::printf(
        "Writes the animation of a scene folder as a video, an animated GIF or PNG frames, at the\n"
        "picture's own size and without the preview particles. By default a seamless loop of whole\n"
        "periods: the frame after the last one is the first one again.\n"
        "  OUTPUT         the extension picks the format: .mp4 (H.264), .webm (VP9), .gif (loops\n"
        "                 forever), or a .png name with a frame number, as in frames/frame-%%05d.png\n"
        "  -C DIR         the scene folder (default: the working directory); OUTPUT is then\n"
        "                 relative to DIR, as if the tool had been started there\n"
        "  --fps F        frames per second (default 30)\n"
        "  --loops K      whole periods of the loop (default: the fewest that last at least 3 s)\n"
        "  --seconds S    a length instead of whole periods\n"
        "  --width W      output width; the height follows the picture's aspect ratio\n"
        "  --music        add \"%s\" as the sound (.mp4, .webm); with no length, the video lasts\n"
        "                 as long as the track\n"
        "  --quality Q    constant rate factor, lower is better (.mp4 0-51, default 20; .webm 0-63,\n"
        "                 default 31)\n"
        "  --no-overlay   leave the overlay picture out\n"
        "  -q, --quiet    no progress bar and no summary line\n"
        "  -h, --help     this help;  --version  the version\n",
        musicFileName);
}

// ---- interruption ---------------------------------------------------------------------

// Set by SIGINT/SIGTERM; the frame loop checks it between frames, so that
// an interrupted export removes its temporary output.
std::atomic<bool> interrupted{false};
extern "C" void noteInterruption(int) { interrupted = true; }

// ---- progress --------------------------------------------------------------------------

struct Progress {
    bool shown = false;
    std::int64_t total = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw{};
};

void drawProgress(Progress& progress, std::int64_t done) {
    if (!progress.shown) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < progress.total && now - progress.lastDraw < std::chrono::milliseconds(100)) return;
    progress.lastDraw = now;
    const double elapsed = std::chrono::duration<double>(now - progress.start).count();
    const double rate = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
    const double left = rate > 0.0 ? static_cast<double>(progress.total - done) / rate : 0.0;
    constexpr int barWidth = 30;
    const int filled = static_cast<int>(barWidth * done / std::max<std::int64_t>(progress.total, 1));
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(barWidth - filled), '-');
    std::fprintf(stderr, "\r[%s] %lld/%lld frames  %.1f fps  %.0f s left  ", bar.c_str(),
                 static_cast<long long>(done), static_cast<long long>(progress.total), rate, left);
    std::fflush(stderr);
}

void clearProgress(const Progress& progress) {
    if (!progress.shown) return;
    std::fprintf(stderr, "\r%*s\r", terminalColumns(80) - 1, "");
    std::fflush(stderr);
}

std::string sizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes >= 1024u * 1024u) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.0f kB", std::ceil(static_cast<double>(bytes) / 1024.0));
    }
    return text;
}

// ---- the export ---------------------------------------------------------------------------

PcmAudio readMusic() {
    PcmAudio sound;
    std::string reason;
    AudioDecodeOptions options;
    options.sampleRate = kVideoSoundRate;
    options.maxChannels = 2;
    options.maxFrames = static_cast<std::int64_t>(kMaxExportSeconds) * kVideoSoundRate;
    if (!decodeAudioFile(musicFileName, sound, reason, options)) {
        throw Failure{std::string("cannot use ") + quoted(musicFileName) + " as the sound: " + reason};
    }
    if (sound.frameCount() == 0) throw Failure{quoted(musicFileName) + " holds no sound"};
    return sound;
}

ExportTiming planTiming(const Options& options, const AppState& state, const PcmAudio* sound) {
    if (options.seconds) return planTimedExport(options.fps, *options.seconds);
    if (sound && options.loops == 0) {
        const double seconds = static_cast<double>(sound->frameCount()) / sound->sampleRate;
        return planTimedExport(options.fps, seconds);
    }
    const ExportTiming timing = planLoopExport(state.phaseSpacing, options.fps, options.loops);
    if (exportDuration(timing) > kMaxExportSeconds) {
        throw Failure{"--loops " + std::to_string(options.loops) + " would last over an hour; ask for fewer"};
    }
    return timing;
}

void exportScene(const Options& options, const char* argv0) {
    // 1. What can be refused before any work: the format, the sound's fit.
    const VideoFormat format = videoFormatOfPath(options.output);
    if (format == VideoFormat::Unknown) {
        throw Failure{"cannot tell the format of " + quoted(options.output) +
                      ": name it .mp4, .webm, .gif, or frame-%05d.png for PNG frames"};
    }
    if (options.music && !videoFormatHasSound(format)) {
        throw Failure{std::string(videoFormatName(format)) + " has no sound: use .mp4 or .webm with --music"};
    }
    if (options.sceneDir) {
        std::error_code error;
        fs::current_path(*options.sceneDir, error);
        if (error) throw Failure{"cannot enter the scene folder " + quoted(*options.sceneDir) + ": " + error.message()};
    }

    // 2. The scene, read as the program reads it (a picture that cannot be
    //    used ends the process here, with the program's line), and the sound.
    AppState state;
    startUpOffscreen(state, argv0);
    std::optional<PcmAudio> sound;
    if (options.music) sound = readMusic();
    const ExportTiming timing = planTiming(options, state, sound ? &*sound : nullptr);

    // 3. The warm-up builds the passes' shaders, so a missing shader ends
    //    the run before any file exists (its logs are on standard output).
    ExportFrames frames;
    if (const std::optional<PassFailure> failure = startExportFrames(state, timing, options.overlay, frames)) {
        throw Failure{failure->reason};
    }
    if (!displaceHasSharpFilter()) {
        reportProblem("displace.frag here has no sharp filter (it was written before there was one), so the "
                      "video keeps the filter it has; the shader files of a scene made now by stillflow-new can "
                      "replace this folder's");
    }

    // 4. The output, under a temporary name until complete.
    VideoSettings settings;
    settings.format = format;
    settings.sourceWidth = frames.width;
    settings.sourceHeight = frames.height;
    settings.size = videoFrameSize(format, frames.width, frames.height, options.width);
    settings.rateNumerator = timing.rateNumerator;
    settings.rateDenominator = timing.rateDenominator;
    settings.frameCount = timing.frameCount;
    settings.quality = options.quality;
    settings.sound = sound ? &*sound : nullptr;
    int lowest = 0, highest = 0, standard = 0;
    if (options.quality >= 0 && videoQualityRange(format, lowest, highest, standard) && options.quality > highest) {
        throw Failure{"--quality " + std::to_string(options.quality) + " is beyond " + videoFormatName(format) +
                      "'s range " + std::to_string(lowest) + "-" + std::to_string(highest)};
    }
    VideoOutput output;
    std::string error;
    if (!openVideo(output, options.output, settings, error)) throw Failure{error};

    // 5. Every frame, encoded as it is read back.
    std::signal(SIGINT, noteInterruption);
    std::signal(SIGTERM, noteInterruption);
    Progress progress;
    progress.shown = !options.quiet && standardErrorIsTerminal();
    progress.total = timing.frameCount;
    const bool complete = renderAllExportFrames(state, frames, [&](const std::uint8_t* rgba, std::int64_t k) {
        if (interrupted) return false;
        if (!writeVideoFrame(output, rgba, error)) return false;
        drawProgress(progress, k + 1);
        return true;
    });
    if (!complete && frames.passFailure) error = frames.passFailure->reason;
    if (!complete && error.empty() && !interrupted) error = "cannot read the frames back from the GPU";
    if (complete && !finishVideo(output, error)) {
        clearProgress(progress);
        throw Failure{error};
    }
    clearProgress(progress);
    if (!complete) throw interrupted ? Failure{"interrupted; nothing written", kExitInterrupted} : Failure{error};

    // 6. The summary.
    if (!options.quiet) {
        std::printf("%s: %s, %.2f s, %lld frames at %.6g fps, %d x %d\n", options.output.c_str(),
                    sizeText(finishedVideoBytes(output)).c_str(), exportDuration(timing),
                    static_cast<long long>(timing.frameCount),
                    static_cast<double>(timing.rateNumerator) / static_cast<double>(timing.rateDenominator),
                    settings.size.width, settings.size.height);
    }
    output = VideoOutput();
    releaseExportFrames(frames);
    shutDown(state);
}

}  // namespace

int main(int argc, char** argv) {
    bool helpAsked = false, versionAsked = false;
    const std::optional<Options> options = parseArguments(argc, argv, helpAsked, versionAsked);
    if (helpAsked) {
        printHelp();
        return 0;
    }
    if (versionAsked) {
        std::printf("stillflow-export %s\n", STILLFLOW_VERSION);
        return 0;
    }
    if (!options) return 2;
    quietMediaLibraryLogs();
    try {
        exportScene(*options, argc > 0 ? argv[0] : "stillflow-export");
    } catch (const Failure& failure) {
        std::fprintf(stderr, "stillflow-export: %s\n", failure.line.c_str());
        return failure.exitCode;
    }
    return 0;
}
