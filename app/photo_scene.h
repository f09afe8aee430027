#pragma once
// A scene folder made from one photo: the working picture (the photo upright
// by its EXIF orientation, scaled down when very large), the four shader
// files, on request an overlay and the music, and a record of the photo it
// was made from. stillflow-new makes one from the command line; the program
// makes one when it is given a photo (on its command line, or dropped on its
// window), or opens the one it made from that photo before.
//
// The folder is filled under a temporary name beside it and renamed into
// place once every file is on the disk (platform/safe_file.h), so a failure
// leaves nothing behind. Nothing here prints.

#include <string>

// A longer side than 4K UHD's brings nothing on a screen and costs the GPU
// 24 bytes per pixel in float layers.
inline constexpr int kDefaultPhotoMaxSide = 3840;

// Reads a --max-side value: 0 (no limit of ours), or a number of pixels
// from kMinimumGridSide up to 16 times the largest side any GPU takes.
bool parsePhotoMaxSide(const char* text, int& side);

struct PhotoSceneRequest {
    std::string photo;                   // any picture the program reads
    std::string folder;                  // the scene folder: must not exist, or be an empty folder
    int maxSide = kDefaultPhotoMaxSide;  // 0: no limit of ours (the largest side any GPU takes still holds)
    std::string overlay;                 // a picture drawn over the animation; empty: none
    std::string music;                   // a sound file (WAV, MP3, OGG, ...); empty: none
};

// What was made.
struct PhotoSceneMade {
    int width = 0;         // the working picture
    int height = 0;
    int photoWidth = 0;    // the photo upright, before any scaling
    int photoHeight = 0;
    int sideLimit = 0;     // the longer side the picture was allowed
    bool scaled() const { return width != photoWidth || height != photoHeight; }
};

// Makes the scene folder. False, with one line in `error` and nothing left
// behind, when the folder exists and holds anything (or is not a folder),
// its parent is missing, the photo, overlay or music cannot be used, or a
// file cannot be written.
bool makePhotoScene(const PhotoSceneRequest& request, PhotoSceneMade& made, std::string& error);

// The folder stillflow-new makes when none is named: the photo's name
// without its extension, in the working directory ("scene" for a name
// that has none).
std::string defaultPhotoSceneName(const std::string& photo);

// Whether `path` is a file (not a folder) whose header a picture decoder
// reads.
bool isPictureFile(const std::string& path);

// Whether `folder` holds a scene that makePhotoScene made from the very
// photo at `photo` (the same bytes, wherever either has moved since).
bool isSceneMadeFrom(const std::string& folder, const std::string& photo);

// The scene folder for a photo, beside it and named after it: the first of
// NAME, NAME-2, NAME-3, ... that holds a scene made from this photo is
// opened as it is (`made` false); otherwise the first of them that is free
// (missing, or an empty folder) is made with `maxSide` (`made` true, and
// `report` says what). False, with one line in `error`, when the scene
// cannot be made.
bool sceneFolderForPhoto(const std::string& photo, int maxSide, std::string& folder, bool& made,
                         PhotoSceneMade& report, std::string& error);
