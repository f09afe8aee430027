#include "app/window_title.h"

#include <filesystem>
#include <system_error>

std::string windowTitle(const std::string& sceneName, std::size_t guideCount, bool unsaved, bool sharpFilter) {
    std::string title = unsaved ? "*" : "";
    title += sceneName;
    title += " - " + std::to_string(guideCount) + (guideCount == 1 ? " guide" : " guides");
    if (sharpFilter) title += " - sharp filter";
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
