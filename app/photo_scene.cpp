#include "app/photo_scene.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "flow/grid.h"
#include "flow/scene_files.h"
#include "gpu/builtin_shaders.h"
#include "image/loading.h"
#include "image/photo.h"
#include "image/png_writing.h"
#include "image/scaling.h"
#include "media/audio_decoding.h"
#include "media/wav_writing.h"
#include "platform/interruption.h"
#include "platform/memory.h"
#include "platform/music_limit.h"
#include "platform/regular_file.h"
#include "platform/safe_file.h"
#include "platform/texture_side_guess.h"

// Contents
//   1. the record of the photo
//   2. the scene's files
//   3. the folder
//   4. finding the folder of a photo

namespace fs = std::filesystem;

namespace {

std::string inQuotes(const fs::path& path) { return "\"" + path.string() + "\""; }

// ---- 1. the record of the photo --------------------------------------------------------
// A scene made from a photo keeps the photo's size and SHA-256 digest in a
// small text file, so that the photo is recognised by its content alone,
// whatever either was renamed or moved to.

constexpr const char* kRecordFirstLine = "stillflow photo record 1";
constexpr int kSha256Bits = 256;
constexpr std::size_t kHashChunkBytes = 1 << 16;

struct PhotoIdentity {
    std::uintmax_t bytes = 0;
    std::string sha256;  // lower-case hex; empty: the photo could not be read
};

PhotoIdentity identify(const fs::path& photo) {
    PhotoIdentity identity;
    std::ifstream in(photo, std::ios::binary);
    AVSHA* sha = av_sha_alloc();
    if (!in || !sha || av_sha_init(sha, kSha256Bits) < 0) {
        av_free(sha);
        return identity;
    }
    std::vector<char> chunk(kHashChunkBytes);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        av_sha_update(sha, reinterpret_cast<const std::uint8_t*>(chunk.data()), static_cast<std::size_t>(got));
        identity.bytes += static_cast<std::uintmax_t>(got);
    }
    const bool complete = in.eof() && !in.bad();
    std::uint8_t digest[kSha256Bits / 8];
    av_sha_final(sha, digest);
    av_free(sha);
    if (!complete) return identity;
    char hex[3];
    for (const std::uint8_t byte : digest) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        identity.sha256 += hex;
    }
    return identity;
}

std::string recordText(const PhotoIdentity& identity, const fs::path& photo) {
    std::ostringstream text;
    text << kRecordFirstLine << "\n"
         << "bytes " << identity.bytes << "\n"
         << "sha256 " << identity.sha256 << "\n"
         << "name " << photo.filename().string() << "\n";
    return text.str();
}

// The identity a folder's record names; empty digest when there is no
// record (or not one of ours).
PhotoIdentity recordedIdentity(const fs::path& folder) {
    PhotoIdentity identity;
    std::ifstream in(folder / photoRecordFileName);
    std::string line;
    if (!std::getline(in, line) || line != kRecordFirstLine) return identity;
    PhotoIdentity read;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "bytes") words >> read.bytes;
        if (key == "sha256") words >> read.sha256;
    }
    return read;
}

// ---- 2. the scene's files ---------------------------------------------------------------
// Each step returns false with one line in `error`.

// A photo (or overlay) read upright, after what can be refused without
// decoding it: anything but a regular file (a FIFO would wait for ever,
// /dev/zero never end), a size beyond the decoder or the memory there is.
bool readPhoto(const fs::path& path, ImageGrid& picture, std::string& error) {
    const std::string name = path.string();
    std::string why;
    if (checkRegularFile(name.c_str(), why) == FileCheck::unusable) {
        error = "cannot read " + inQuotes(path) + ": " + why;
        return false;
    }
    const std::string problem = photoSizeProblem(name.c_str(), availableMemoryBytes());
    if (!problem.empty()) {
        error = inQuotes(path) + " is " + problem;
        return false;
    }
    picture = loadPhoto(name.c_str());
    if (picture.empty()) {
        error = "cannot read " + inQuotes(path) + " as a picture";
        return false;
    }
    return true;
}

// The photo upright and within the size limit.
bool preparePicture(const PhotoSceneRequest& request, ImageGrid& prepared, PhotoSceneMade& made,
                    std::string& error) {
    ImageGrid picture;
    if (!readPhoto(request.photo, picture, error)) return false;
    if (picture.width < kMinimumGridSide || picture.height < kMinimumGridSide) {
        error = inQuotes(request.photo) + " is " + std::to_string(picture.width) + " x " +
                std::to_string(picture.height) + " pixels; the program needs at least " +
                std::to_string(kMinimumGridSide) + " x " + std::to_string(kMinimumGridSide);
        return false;
    }
    // Beyond kLargestAnyGpuSide no GPU could take the picture as a texture,
    // so it is scaled to that whatever was asked; the program checks the GPU
    // at hand when it starts.
    const int limit = request.maxSide == 0 ? kLargestAnyGpuSide : std::min(request.maxSide, kLargestAnyGpuSide);
    const PictureSize size = fitWithinSide(picture.width, picture.height, limit, kMinimumGridSide);
    made.photoWidth = picture.width;
    made.photoHeight = picture.height;
    made.sideLimit = limit;
    made.width = size.width;
    made.height = size.height;
    if (size.width == picture.width && size.height == picture.height) {
        prepared = std::move(picture);
        return true;
    }
    prepared = resizeImage(picture, size);
    if (prepared.empty()) {
        error = "not enough memory to scale " + inQuotes(request.photo);
        return false;
    }
    return true;
}

bool writePicture(const fs::path& path, const ImageGrid& picture, std::string& error) {
    if (writePng(path.string().c_str(), picture)) return true;
    error = "cannot write " + inQuotes(path);
    return false;
}

// The overlay at the picture's size, which is how the program draws it.
bool writeOverlay(const fs::path& from, const fs::path& to, const ImageGrid& picture, std::string& error) {
    ImageGrid overlay;
    if (!readPhoto(from, overlay, error)) return false;
    if (overlay.width != picture.width || overlay.height != picture.height) {
        overlay = resizeImage(overlay, PictureSize{picture.width, picture.height});
        if (overlay.empty()) {
            error = "not enough memory to scale " + inQuotes(from);
            return false;
        }
    }
    return writePicture(to, overlay, error);
}

bool writeMusic(const fs::path& from, const fs::path& to, std::string& error) {
    PcmAudio audio;
    std::string reason;
    AudioDecodeOptions options;
    options.maxFrames = maxWavFrames(options.maxChannels);
    // The limit the program and the export hold the track to as well.
    options.longestSeconds = kLongestMusicSeconds;
    if (!decodeAudioFile(from.string().c_str(), audio, reason, options)) {
        error = "cannot use " + inQuotes(from) + " as music: " + reason;
        return false;
    }
    if (writeWavFile(to.string().c_str(), audio)) return true;
    error = "cannot write " + inQuotes(to);
    return false;
}

bool writeShaders(const fs::path& dir, std::string& error) {
    std::string failed;
    if (writeBuiltinShaders(dir.string().c_str(), &failed)) return true;
    error = "cannot write " + inQuotes(fs::path(failed));
    return false;
}

bool writeRecord(const fs::path& dir, const fs::path& photo, std::string& error) {
    const PhotoIdentity identity = identify(photo);
    if (identity.sha256.empty()) {
        error = "cannot read " + inQuotes(photo);
        return false;
    }
    const std::string text = recordText(identity, photo);
    return writeFileSafely((dir / photoRecordFileName).string(), text.data(), text.size(), error);
}

// ---- 3. the folder ------------------------------------------------------------------------

// Whether a folder may be made there: missing, or an empty folder.
bool isFree(const fs::path& dir) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(dir, code);
    if (!fs::exists(status)) return true;
    return fs::is_directory(status) && fs::is_empty(dir, code) && !code;
}

// Refuses a folder that holds anything, and one whose parent is missing.
bool checkTarget(const fs::path& dir, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(dir, code);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            error = inQuotes(dir) + " exists and is not a folder; name a new one";
            return false;
        }
        if (!fs::is_empty(dir, code) || code) {
            error = inQuotes(dir) + " exists and is not empty; name a new folder";
            return false;
        }
    }
    const fs::path parent = dir.has_parent_path() ? dir.parent_path() : fs::path(".");
    if (fs::is_directory(parent, code)) return true;
    error = "the folder " + inQuotes(parent) + " does not exist";
    return false;
}

}  // namespace

bool parsePhotoMaxSide(const char* text, int& side) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > kLargestAnyGpuSide * 16L) return false;
    if (value != 0 && value < kMinimumGridSide) return false;
    side = static_cast<int>(value);
    return true;
}

bool makePhotoScene(const PhotoSceneRequest& request, PhotoSceneMade& made, std::string& error) {
    // 1. The target, then the photo, before anything is created: a photo
    //    that cannot be used creates nothing at all.
    const fs::path dir = request.folder;
    ImageGrid picture;
    if (!checkTarget(dir, error) || !preparePicture(request, picture, made, error)) return false;

    // 2. The files, in a folder of their own beside the target that becomes
    //    the target (replacing it only when empty) once every file is on the
    //    disk; a failure before removes it with what it holds, and so does
    //    an interruption in a program that watches for them
    //    (platform/interruption.h).
    StagedFolder staging;
    {
        InterruptionHold hold;  // none between making the folder and registering it
        if (!staging.open(dir.string(), error)) return false;
        removeOnInterruption(staging.path());
    }
    const fs::path folder = staging.path();
    const bool written =
        writePicture(folder / pictureFileName, picture, error) &&
        (request.overlay.empty() || writeOverlay(request.overlay, folder / overlayFileName, picture, error)) &&
        (request.music.empty() || writeMusic(request.music, folder / musicFileName, error)) &&
        writeShaders(folder, error) && writeRecord(folder, request.photo, error);
    InterruptionHold hold;  // none between the rename (or removal) and giving the folder up
    const bool committed = written && staging.commit(error);
    if (!committed) staging.abandon();
    keepOnInterruption(folder.string(), committed);
    return committed;
}

std::string defaultPhotoSceneName(const std::string& photo) {
    const fs::path stem = fs::path(photo).stem();
    return stem.empty() ? std::string("scene") : stem.string();
}

bool isPictureFile(const std::string& path) {
    // readPictureSize opens regular files only: a folder or a FIFO is no picture.
    std::int32_t width = 0;
    std::int32_t height = 0;
    return readPictureSize(path.c_str(), &width, &height);
}

bool isSceneMadeFrom(const std::string& folder, const std::string& photo) {
    const PhotoIdentity recorded = recordedIdentity(folder);
    if (recorded.sha256.empty()) return false;
    std::error_code code;
    // The size first: a photo of another size is told apart without reading it.
    const std::uintmax_t bytes = fs::file_size(photo, code);
    if (code || bytes != recorded.bytes) return false;
    return identify(photo).sha256 == recorded.sha256;
}

// ---- 4. finding the folder of a photo ---------------------------------------------------------

bool sceneFolderForPhoto(const std::string& photo, int maxSide, std::string& folder, bool& made,
                         PhotoSceneMade& report, std::string& error) {
    // Enough names for every photo a user keeps in one folder under one name.
    constexpr int kMostNames = 100;
    std::error_code code;
    const fs::path absolute = fs::absolute(photo, code);
    const fs::path beside = (code ? fs::path(photo) : absolute).parent_path();
    const std::string name = fs::path(defaultPhotoSceneName(photo)).filename().string();
    fs::path free;
    for (int n = 1; n <= kMostNames; ++n) {
        const fs::path candidate = beside / (n == 1 ? name : name + "-" + std::to_string(n));
        if (isSceneMadeFrom(candidate.string(), photo)) {
            folder = candidate.string();
            made = false;
            return true;
        }
        if (free.empty() && isFree(candidate)) free = candidate;
    }
    if (free.empty()) {
        error = "no free folder name beside " + inQuotes(photo) + " for its scene (" + name + ", " + name +
                "-2, ... are taken)";
        return false;
    }
    PhotoSceneRequest request;
    request.photo = photo;
    request.folder = free.string();
    request.maxSide = maxSide;
    if (!makePhotoScene(request, report, error)) return false;
    folder = free.string();
    made = true;
    return true;
}
