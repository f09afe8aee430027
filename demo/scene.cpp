#include "demo/scene.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <stb_image_write.h>

#include "demo/guide_layout.h"
#include "demo/music.h"
#include "demo/overlay.h"
#include "demo/picture.h"
#include "flow/document.h"
#include "flow/scene_files.h"

namespace fs = std::filesystem;

namespace demo {

namespace {

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

// Whether `path` is to be left as it is: it exists and no rewrite was asked for.
bool keepExisting(const fs::path& path, bool rewrite) {
    std::error_code error;
    if (rewrite || !fs::exists(path, error)) return false;
    std::printf("kept %s (already there; --rewrite replaces it)\n", path.string().c_str());
    return true;
}

}  // namespace

bool writeDemoScene(const fs::path& dir, bool rewrite) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) {
        std::fprintf(stderr, "make_demo_scene: cannot create %s\n", dir.string().c_str());
        return false;
    }

    // 1. The working picture, and from where its features ended up, the
    //    guides; painted only when the picture or the document is written.
    const fs::path picturePath = dir / pictureFileName;
    const fs::path documentPath = dir / flowDocumentFileName;
    const bool keepPicture = keepExisting(picturePath, rewrite);
    const bool keepDocument = keepExisting(documentPath, rewrite);
    std::optional<PaintCanvas> canvas;
    ImageGrid picture;
    if (!keepPicture || !keepDocument) {
        canvas.emplace(paintScene());
        picture = canvasToImage(*canvas);
    }
    if (!keepPicture && !writePng(picturePath, picture)) return false;

    // 2. The overlay.
    const fs::path overlayPath = dir / overlayFileName;
    if (!keepExisting(overlayPath, rewrite) && !writePng(overlayPath, overlayToImage(paintOverlay()))) {
        return false;
    }

    // 3. The music.
    const fs::path trackPath = dir / musicFileName;
    if (!keepExisting(trackPath, rewrite)) {
        if (!writeBytes(trackPath, encodeWav(renderTrack()))) return false;
        std::printf("wrote %s (%.1f s loop)\n", trackPath.string().c_str(),
                    static_cast<double>(kLoopFrames) / kSampleRate);
    }

    // 4. The flow document: the same picture, an all-zero mask, the guides.
    if (!keepDocument) {
        FlowDocument document;
        document.picture = picture;
        document.mask = ByteMask(picture.width, picture.height);
        document.guides = layoutGuides(*canvas);
        document.flowScale = kDemoFlowScale;
        document.phaseSpacing = kDemoPhaseSpacing;
        std::string reason;
        if (!writeFlowDocument(documentPath.string().c_str(), document, &reason)) {
            std::fprintf(stderr, "make_demo_scene: %s\n", reason.c_str());
            return false;
        }
        std::printf("wrote %s (%zu guides)\n", documentPath.string().c_str(), document.guides.size());
    }
    return true;
}

}  // namespace demo
