#include "image/photo.h"

#include "image/loading.h"
#include "image/orientation.h"

ImageGrid loadPhoto(const char* path) {
    ImageGrid stored = loadImage(path);
    if (stored.empty()) return stored;
    const int orientation = readExifOrientation(path);
    if (orientation == 1) return stored;
    return orientImage(stored, orientation);
}
