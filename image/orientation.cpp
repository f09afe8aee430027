#include "image/orientation.h"

#include <libexif/exif-data.h>

namespace {

constexpr int kExifOrientationTag = 0x0112;

// Owns libexif's parsed data so that it is released on every path.
struct ExifDataOwner {
    ExifData* data = nullptr;
    ~ExifDataOwner() {
        if (data) exif_data_unref(data);
    }
};

}  // namespace

int readExifOrientation(const char* path) {
    if (!path) return 1;
    ExifDataOwner exif;
    exif.data = exif_data_new_from_file(path);
    if (!exif.data) return 1;
    ExifEntry* entry = exif_content_get_entry(exif.data->ifd[EXIF_IFD_0], static_cast<ExifTag>(kExifOrientationTag));
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data ||
        entry->size < 2) {
        return 1;
    }
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.data));
    return value >= 1 && value <= 8 ? value : 1;
}

ImageGrid orientImage(const ImageGrid& stored, int orientation) {
    if (orientation < 1 || orientation > 8) orientation = 1;
    const bool swapsSides = orientation >= 5;
    const std::int32_t width = swapsSides ? stored.height : stored.width;
    const std::int32_t height = swapsSides ? stored.width : stored.height;
    ImageGrid upright;
    if (!upright.tryCreate(width, height) || upright.empty()) return ImageGrid();

    // For each upright pixel (x, y), the stored pixel it comes from.
    const std::int32_t lastColumn = stored.width - 1;
    const std::int32_t lastRow = stored.height - 1;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::int32_t sx = x;
            std::int32_t sy = y;
            switch (orientation) {
                case 2: sx = lastColumn - x; break;
                case 3: sx = lastColumn - x; sy = lastRow - y; break;
                case 4: sy = lastRow - y; break;
                case 5: sx = y; sy = x; break;
                case 6: sx = y; sy = lastRow - x; break;
                case 7: sx = lastColumn - y; sy = lastRow - x; break;
                case 8: sx = lastColumn - y; sy = x; break;
                default: break;
            }
            upright.at(x, y) = stored.at(sx, sy);
        }
    }
    return upright;
}
