#include "app/scene_path.h"

#include <filesystem>
#include <system_error>

#include "app/photo_scene.h"
#include "platform/fatal_error.h"

namespace fs = std::filesystem;

bool sceneFolderForPath(const std::string& path, int maxSide, std::string& folder, std::string& made,
                        std::string& error) {
    made.clear();
    std::error_code code;
    const fs::file_status status = fs::status(path, code);
    if (!fs::exists(status)) {
        error = formatLine("\"%s\" does not exist", path.c_str());
        return false;
    }
    if (fs::is_directory(status)) {
        folder = path;
        return true;
    }
    if (!isPictureFile(path)) {
        error = formatLine("\"%s\" is neither a scene folder nor a picture", path.c_str());
        return false;
    }
    bool madeNow = false;
    PhotoSceneMade report;
    if (!sceneFolderForPhoto(path, maxSide, folder, madeNow, report, error)) return false;
    if (madeNow) {
        made = formatLine("made %s from \"%s\": a %d x %d picture%s", folder.c_str(), path.c_str(), report.width,
                          report.height,
                          report.scaled() ? formatLine(" (scaled from %d x %d; --max-side changes this)", report.photoWidth,
                                                       report.photoHeight).c_str()
                                          : "");
    }
    return true;
}
