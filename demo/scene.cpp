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
#include "platform/safe_file.h"

namespace fs = std::filesystem;

namespace demo {

namespace {

// Each file goes through the safe writer: a run stopped half-way (a full
// disk) leaves no cut-off file that the next run would keep as the user's.
bool writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
    return writeFileSafely(path.string(), bytes.data(), bytes.size(), error);
}

void appendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* first = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), first, first + size);
}

bool writePng(const fs::path& path, const ImageGrid& image, std::string& error) {
    std::vector<std::uint8_t> png;
    if (!stbi_write_png_to_func(appendBytes, &png, image.width, image.height, 4, image.data(), image.width * 4)) {
        error = "cannot encode " + path.string();
        return false;
    }
    if (!writeBytes(path, png, error)) return false;
    std::printf("wrote %s (%d x %d)\n", path.string().c_str(), image.width, image.height);
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

bool writeDemoScene(const fs::path& dir, bool rewrite, std::string& error) {
    std::error_code code;
    fs::create_directories(dir, code);
    if (code || !fs::is_directory(dir)) {
        error = "cannot create " + dir.string();
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
    if (!keepPicture && !writePng(picturePath, picture, error)) return false;

    // 2. The overlay.
    const fs::path overlayPath = dir / overlayFileName;
    if (!keepExisting(overlayPath, rewrite) && !writePng(overlayPath, overlayToImage(paintOverlay()), error)) {
        return false;
    }

    // 3. The music.
    const fs::path trackPath = dir / musicFileName;
    if (!keepExisting(trackPath, rewrite)) {
        if (!writeBytes(trackPath, encodeWav(renderTrack()), error)) return false;
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
        if (!writeFlowDocument(documentPath.string().c_str(), document, &error)) return false;
        std::printf("wrote %s (%zu guides)\n", documentPath.string().c_str(), document.guides.size());
    }
    return true;
}

}  // namespace demo
