#include "app/window_title.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/motion_steps.h"

namespace {

// Significant digits of the speed factor in the title: 1.25, 1.56, 0.64.
constexpr int speedDigits = 3;

// `value` with `digits` significant digits in fixed notation, trailing
// zeros (and a trailing point) dropped: 1000 stays "1000", 0.8 is "0.8".
std::string significantDigits(double value, int digits) {
    const double size = std::abs(value);
    int decimals = 0;
    if (size > 0.0 && std::isfinite(size)) {
        decimals = std::max(0, digits - 1 - static_cast<int>(std::floor(std::log10(size))));
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string shown = text;
    if (shown.find('.') != std::string::npos) {
        shown.erase(shown.find_last_not_of('0') + 1);
        if (shown.back() == '.') shown.pop_back();
    }
    return shown;
}

}  // namespace

std::string windowTitle(const std::string& sceneName, std::size_t guideCount, bool unsaved, bool sharpFilter,
                        const TitleMotion& motion, int exportPercent) {
    std::string title = unsaved ? "*" : "";
    title += sceneName;
    title += " - " + std::to_string(guideCount) + (guideCount == 1 ? " guide" : " guides");
    if (motion.flowScale != kDefaultFlowScale) {
        title += " - speed " + significantDigits(speedFactor(motion.flowScale), speedDigits) + "x";
    }
    if (motion.phaseSpacing != kDefaultPhaseSpacing) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(motion.phaseSpacing));
        title += std::string(" - loop ") + seconds + " s";
    }
    if (motion.freeze) title += " - freeze on";
    if (sharpFilter) title += " - sharp filter";
    if (exportPercent >= 0) title += " - exporting " + std::to_string(exportPercent) + "%";
    title += " - Stillflow";
    return title;
}

std::string sceneFolderName() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) return "?";
    const std::string name = folder.filename().string();
    return name.empty() ? folder.string() : name;
}
