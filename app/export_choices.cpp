#include "app/export_choices.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// The name the window gives its videos before the extension.
constexpr const char* kExportBaseName = "loop";
// Enough numbered names for any folder a user keeps.
constexpr int kMostExportNames = 10000;

// A length as the tool reads it, without a float's noise.
std::string secondsText(double seconds) {
    std::ostringstream text;
    text.precision(6);
    text << seconds;
    return text.str();
}
}  // namespace

std::vector<VideoFormat> windowExportFormats() {
    std::vector<VideoFormat> formats;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (!videoFormatIsNumberedFiles(row.format)) formats.push_back(row.format);
    }
    return formats;
}

std::string freeExportName(const std::string& folder, VideoFormat format) {
    const std::string extension = videoFormatRow(format).extension;
    std::error_code code;
    for (int n = 1; n <= kMostExportNames; ++n) {
        const std::string name = kExportBaseName + (n == 1 ? std::string() : "-" + std::to_string(n)) + extension;
        if (!fs::exists(fs::symlink_status(fs::path(folder) / name, code))) return name;
    }
    return kExportBaseName + std::string("-") + std::to_string(kMostExportNames + 1) + extension;
}

std::vector<std::string> exportArguments(const WindowExportChoices& request, const std::string& sceneFolder,
                                         const std::string& output) {
    std::vector<std::string> arguments = {"-C", sceneFolder, "--progress-lines"};
    if (request.width > 0) {
        arguments.push_back("--width");
        arguments.push_back(std::to_string(request.width));
    }
    if (request.length == WindowExportLength::Loops) {
        arguments.push_back("--loops");
        arguments.push_back(std::to_string(request.loops));
    } else if (request.length == WindowExportLength::Seconds) {
        arguments.push_back("--seconds");
        arguments.push_back(secondsText(request.seconds));
    }
    if (request.music && videoFormatHasSound(request.format)) arguments.push_back("--music");
    arguments.push_back(output);
    return arguments;
}

bool parseExportProgress(const std::string& line, long long& done, long long& total) {
    long long k = 0;
    long long n = 0;
    char end = 0;
    if (std::sscanf(line.c_str(), "frame %lld/%lld%c", &k, &n, &end) != 2) return false;
    done = k;
    total = n;
    return true;
}
