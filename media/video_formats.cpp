#include "media/video_formats.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

namespace {

// What a target of no known format gets: a name for messages, nothing more.
constexpr VideoFormatRow unknownFormatRow() {
    VideoFormatRow row;
    row.name = "unknown";
    return row;
}
constexpr VideoFormatRow kUnknownFormat = unknownFormatRow();

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

const VideoFormatRow& videoFormatRow(VideoFormat format) {
    for (const VideoFormatRow& row : kVideoFormats) {
        if (row.format == format) return row;
    }
    return kUnknownFormat;
}

VideoFormat videoFormatOfPath(const std::string& path) {
    const std::string extension = lowerExtension(path);
    for (const VideoFormatRow& row : kVideoFormats) {
        if (extension == row.extension) return row.format;
    }
    return VideoFormat::Unknown;
}

const char* videoFormatName(VideoFormat format) { return videoFormatRow(format).name; }

bool videoFormatHasSound(VideoFormat format) {
    const VideoEncoderChoice& sound = videoFormatRow(format).sound;
    return sound.preferred || sound.alternative || sound.codec;
}

bool videoFormatIsNumberedFiles(VideoFormat format) {
    return format != VideoFormat::Unknown && !videoFormatRow(format).muxer;
}

bool videoQualityRange(VideoFormat format, int& lowest, int& highest, int& standard) {
    const VideoQualityScale& quality = videoFormatRow(format).quality;
    lowest = quality.lowest;
    highest = quality.highest;
    standard = quality.standard;
    return quality.option != nullptr;
}

std::string joinList(const std::vector<std::string>& words, const char* separator, const char* lastSeparator) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? lastSeparator : separator;
        text += words[i];
    }
    return text;
}

std::string videoExtensionList(bool (*keep)(const VideoFormatRow&), const char* separator,
                               const char* lastSeparator) {
    std::vector<std::string> extensions;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (keep(row)) extensions.emplace_back(row.extension);
    }
    return joinList(extensions, separator, lastSeparator);
}

VideoFrameSize videoFrameSize(VideoFormat format, int sourceWidth, int sourceHeight, int width) {
    VideoFrameSize size{sourceWidth, sourceHeight};
    const bool even = videoFormatRow(format).halfColour;
    if (width > 0 && width != sourceWidth) {
        size.width = width;
        const double height = static_cast<double>(width) * sourceHeight / sourceWidth;
        size.height = std::max(1, static_cast<int>(std::lround(height)));
        if (even) {
            size.width = std::max(2, size.width / 2 * 2);
            size.height = std::max(2, static_cast<int>(std::lround(height / 2.0)) * 2);
        }
        return size;
    }
    if (even) {
        size.width = std::max(2, sourceWidth / 2 * 2);
        size.height = std::max(2, sourceHeight / 2 * 2);
    }
    return size;
}

std::string frameFileName(const std::string& pattern, std::int64_t k) {
    std::string name;
    int numbers = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        // %[0][width]d, the only conversion a frame name has.
        std::size_t j = i + 1;
        bool zeros = false;
        if (j < pattern.size() && pattern[j] == '0') {
            zeros = true;
            ++j;
        }
        int width = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && width < 100) {
            width = width * 10 + (pattern[j] - '0');
            ++j;
        }
        if (j >= pattern.size() || pattern[j] != 'd' || width >= 100) return {};
        std::string digits = std::to_string(k);
        if (static_cast<int>(digits.size()) < width) {
            digits.insert(0, static_cast<std::size_t>(width) - digits.size(), zeros ? '0' : ' ');
        }
        name += digits;
        ++numbers;
        i = j;
    }
    return numbers == 1 ? name : std::string();
}
