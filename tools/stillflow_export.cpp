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
// only once complete. Every step returns its failure to main, which alone
// prints it and ends the process.
//
// Sections: the formats as the table has them (usage, help and refusals
// read it); the command line; interruption; progress; the export; failures.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/export.h"
#include "app/export_timing.h"
#include "flow/scene_files.h"
#include "app/startup.h"
#include "media/audio_decoding.h"
#include "media/video_encoding.h"
#include "platform/fatal_error.h"
#include "platform/terminal.h"
#include "platform/texture_side_guess.h"

namespace fs = std::filesystem;

namespace {

constexpr double kDefaultFps = 30.0;
constexpr int kExitFailure = 1;
constexpr int kExitWrongCommandLine = 2;
constexpr int kExitInterrupted = 130;
// The help's widest line; its entries that list formats are wrapped to it.
constexpr std::size_t kHelpColumns = 92;
constexpr const char* kHelpIndent = "                 ";

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
    bool progressLines = false;        // "frame K/N" lines on standard output instead of the bar
};

// Why the export stops: the line main prints after the program's name, and
// the exit code.
struct Failure {
    std::string line;
    int exitCode = kExitFailure;
};

bool fail(Failure& failure, std::string line, int exitCode = kExitFailure) {
    failure.line = std::move(line);
    failure.exitCode = exitCode;
    return false;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// ---- the formats, as the table has them ------------------------------------------------

bool isContainer(const VideoFormatRow& row) { return !videoFormatIsNumberedFiles(row.format); }
bool carriesSound(const VideoFormatRow& row) { return videoFormatHasSound(row.format); }
bool hasQualityScale(const VideoFormatRow& row) { return row.quality.option != nullptr; }

std::string range(const VideoQualityScale& quality) {
    return std::to_string(quality.lowest) + "-" + std::to_string(quality.highest);
}

// "OUTPUT.{mp4,webm,gif} | FRAME-%05d.png"
std::string outputSynopsis() {
    std::vector<std::string> extensions, frames;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (isContainer(row)) extensions.emplace_back(row.extension + 1);
        else frames.push_back(std::string("FRAME-%05d") + row.extension);
    }
    return "OUTPUT.{" + joinList(extensions, ",", ",") + "} | " + joinList(frames, " | ", " | ");
}

std::string usage() {
    return "usage: stillflow-export [-C DIR] [--fps F] [--loops K | --seconds S] [--width W] [--music]\n"
           "                        [--quality Q] [--no-overlay] [-q] [--progress-lines] " +
           outputSynopsis();
}

// The --quality values some format takes: the union of their ranges.
void qualityBounds(int& lowest, int& highest) {
    lowest = highest = 0;
    bool first = true;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (!hasQualityScale(row)) continue;
        lowest = first ? row.quality.lowest : std::min(lowest, row.quality.lowest);
        highest = first ? row.quality.highest : std::max(highest, row.quality.highest);
        first = false;
    }
}

// "0-51 for .mp4, 0-63 for .webm"
std::string qualityRangesText() {
    std::vector<std::string> ranges;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (hasQualityScale(row)) ranges.push_back(range(row.quality) + " for " + row.extension);
    }
    return joinList(ranges, ", ", ", ");
}

// ---- command line ------------------------------------------------------------------

enum class Request { Export, Help, Version };

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

// Reads the arguments into `options`, or finds that help or the version is
// asked for. A wrong command line fails with exit code 2.
bool parseArguments(int argc, char** argv, Options& options, Request& request, Failure& failure) {
    request = Request::Export;
    std::vector<std::string> positional;
    auto wrong = [&failure](const std::string& why) { return fail(failure, why, kExitWrongCommandLine); };
    int lowestQuality = 0, highestQuality = 0;
    qualityBounds(lowestQuality, highestQuality);
    const std::vector<std::string> valued = {"-C", "--fps", "--loops", "--seconds", "--width", "--quality"};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            request = Request::Help;
            return true;
        }
        if (argument == "--version") {
            request = Request::Version;
            return true;
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
            if (!parseInteger(value, 2, kLargestAnyGpuSide, options.width))
                return wrong("--width takes a number of pixels from 2 to " + std::to_string(kLargestAnyGpuSide));
        } else if (argument == "--quality") {
            if (!parseInteger(value, lowestQuality, highestQuality, options.quality))
                return wrong("--quality takes a whole number (lower is better: " + qualityRangesText() + ")");
        } else if (argument == "--music") {
            options.music = true;
        } else if (argument == "--no-overlay") {
            options.overlay = false;
        } else if (argument == "-q" || argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--progress-lines") {
            options.progressLines = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return wrong("unknown option " + argument);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 1) return wrong(positional.empty() ? "no output named" : "more than one output named");
    if (options.loops > 0 && options.seconds) return wrong("--loops and --seconds exclude each other");
    options.output = positional[0];
    return true;
}

// One entry of the help: the option's name in a column of its own, the text
// wrapped at word ends to kHelpColumns.
std::string helpEntry(const char* name, const std::string& text) {
    std::string entry = std::string("  ") + name;
    entry.append(std::strlen(kHelpIndent) - entry.size(), ' ');
    std::size_t lineStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        const bool lineHasWords = entry.size() - lineStart > std::strlen(kHelpIndent);
        if (lineHasWords && entry.size() - lineStart + 1 + word.size() > kHelpColumns) {
            entry += "\n";
            lineStart = entry.size();
            entry += kHelpIndent;
        } else if (lineHasWords) {
            entry += ' ';
        }
        entry += word;
        at = end + 1;
    }
    return entry + "\n";
}

void printHelp() {
    // What the help says of each format comes from the table: the outputs,
    // which carry sound, the quality ranges.
    std::vector<std::string> outputs, sounds, qualities;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (isContainer(row)) {
            outputs.push_back(std::string(row.extension) + " (" + row.helpNote + ")");
        } else {
            outputs.push_back(std::string("a ") + row.extension + " name with a frame number, as in frames/" +
                              row.exampleName);
        }
        if (carriesSound(row)) sounds.emplace_back(row.extension);
        if (hasQualityScale(row)) {
            qualities.push_back(std::string(row.extension) + " " + range(row.quality) + ", default " +
                                std::to_string(row.quality.standard));
        }
    }
    std::string help = usage() + "\n";
    help +=
        "Writes the animation of a scene folder as a video, an animated GIF or PNG frames, at the\n"
        "picture's own size and without the preview particles. By default a seamless loop of whole\n"
        "periods: the frame after the last one is the first one again.\n";
    help += helpEntry("OUTPUT", "the extension picks the format: " + joinList(outputs, ", ", ", or "));
    help +=
        "  -C DIR         the scene folder (default: the working directory); OUTPUT is then\n"
        "                 relative to DIR, as if the tool had been started there\n"
        "  --fps F        frames per second (default 30)\n"
        "  --loops K      whole periods of the loop (default: the fewest that last at least 3 s)\n"
        "  --seconds S    a length instead of whole periods\n"
        "  --width W      output width; the height follows the picture's aspect ratio\n";
    help += helpEntry("--music", "add " + quoted(musicFileName) + " as the sound (" + joinList(sounds, ", ", ", ") +
                                     "); with no length, the video lasts as long as the track");
    help += helpEntry("--quality Q",
                      "constant rate factor, lower is better (" + joinList(qualities, "; ", "; ") + ")");
    help +=
        "  --no-overlay   leave the overlay picture out\n"
        "  -q, --quiet    no progress bar and no summary line\n"
        "  --progress-lines  for programs that run the export: a line \"frame K/N\" on standard\n"
        "                 output as each frame is written, instead of the progress bar\n"
        "  -h, --help     this help;  --version  the version\n";
    std::fputs(help.c_str(), stdout);
}

// ---- interruption ---------------------------------------------------------------------

// Set by the signals that end a run from outside (SIGINT from the keyboard,
// SIGTERM, SIGHUP when the terminal closes, SIGQUIT); the export asks
// between frames, so that an interrupted export removes its temporary
// output instead of leaving it behind.
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
std::atomic<bool> interrupted{false};
extern "C" void noteInterruption(int) { interrupted = true; }

// ---- progress --------------------------------------------------------------------------

struct Progress {
    bool shown = false;
    bool lines = false;   // a line per frame on standard output, for a program reading it
    std::int64_t total = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw{};
};

void drawProgress(Progress& progress, std::int64_t done) {
    if (progress.lines) {
        std::printf("frame %lld/%lld\n", static_cast<long long>(done), static_cast<long long>(progress.total));
        std::fflush(stdout);
    }
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

ExportRequest exportRequest(const Options& options) {
    ExportRequest request;
    request.output = options.output;
    request.fps = options.fps;
    request.loops = options.loops;
    request.seconds = options.seconds;
    request.width = options.width;
    request.music = options.music;
    request.quality = options.quality;
    request.overlay = options.overlay;
    return request;
}

bool exportScene(const Options& options, const char* argv0, Failure& failure) {
    // 1. What can be refused before any work: the format, the sound's fit,
    //    the quality's range, an output name that is a folder (OUTPUT is
    //    relative to the scene folder).
    if (options.sceneDir) {
        std::error_code error;
        fs::current_path(*options.sceneDir, error);
        if (error) {
            return fail(failure, "cannot enter the scene folder " + quoted(*options.sceneDir) + ": " + error.message());
        }
    }
    const ExportRequest request = exportRequest(options);
    std::string error;
    if (!checkExportRequest(request, error)) return fail(failure, error);

    // 2. The scene, read as the program reads it (a picture that cannot be
    //    used ends the export here, with the program's line), the sound and
    //    the frames' timing.
    AppState state;
    setProgramName(argv0);
    if (!openScene(state, headlessSceneOptions(), error)) return fail(failure, error);
    ExportPlan plan;
    if (!planExport(state, request, plan, error)) {
        shutDown(state);
        return fail(failure, error);
    }

    // 3. Every distinct frame rendered and encoded, the loop's repeats
    //    written from them; a signal gives the export up between frames.
    for (const int signal : kInterruptions) std::signal(signal, noteInterruption);
    Progress progress;
    progress.shown = !options.quiet && !options.progressLines && standardErrorIsTerminal();
    progress.lines = options.progressLines;
    progress.total = plan.timing.frameCount;
    ExportProgress following;
    following.report = [&progress](std::int64_t done, std::int64_t) { drawProgress(progress, done); };
    following.cancelled = []() { return interrupted.load(); };
    ExportResult result;
    const bool written = writeExport(state, request, plan, following, result, error);
    clearProgress(progress);
    shutDown(state);
    if (!written && result.cancelled) return fail(failure, "interrupted; nothing written", kExitInterrupted);
    if (!written) return fail(failure, error);

    // 4. The summary.
    if (!options.quiet) {
        std::printf("%s: %s, %.2f s, %lld frames at %.6g fps, %d x %d\n", options.output.c_str(),
                    sizeText(result.bytes).c_str(), exportDuration(plan.timing),
                    static_cast<long long>(plan.timing.frameCount),
                    static_cast<double>(plan.timing.rateNumerator) / static_cast<double>(plan.timing.rateDenominator),
                    result.size.width, result.size.height);
    }
    return true;
}

// ---- failures ------------------------------------------------------------------------------

// The one place the export ends on a failure: one line with the program's
// name (and the usage after a wrong command line), then the exit code.
int reportFailure(const Failure& failure) {
    std::fprintf(stderr, "stillflow-export: %s\n", failure.line.c_str());
    if (failure.exitCode == kExitWrongCommandLine) std::fprintf(stderr, "%s\n", usage().c_str());
    return failure.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    Request request = Request::Export;
    Failure failure;
    if (!parseArguments(argc, argv, options, request, failure)) return reportFailure(failure);
    if (request == Request::Help) {
        printHelp();
        return 0;
    }
    if (request == Request::Version) {
        std::printf("stillflow-export %s\n", STILLFLOW_VERSION);
        return 0;
    }
    quietMediaLibraryLogs();
    if (!exportScene(options, argc > 0 ? argv[0] : "stillflow-export", failure)) return reportFailure(failure);
    return 0;
}
