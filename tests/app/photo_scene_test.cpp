// The scene of a photo: made beside it and named after it the first time,
// found again by the photo's content later (wherever both have moved), and
// never mixed up with another photo's scene or a folder of something else.
#include "app/photo_scene.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "flow/scene_files.h"
#include "image/loading.h"
#include "image/png_writing.h"
#include "support/pictures.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

// A photo whose content depends on `seed`, so that two seeds make two photos.
std::string writePhoto(const fs::path& path, int width, int height, int seed) {
    fs::create_directories(path.parent_path());
    const ImageGrid picture = makePicture(width, height, [seed](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 7 + seed), static_cast<std::uint8_t>(y * 5), 90, 255};
    });
    EXPECT_TRUE(writePng(path.string().c_str(), picture));
    return path.string();
}

struct Found {
    bool ok = false;
    std::string folder;
    bool made = false;
    PhotoSceneMade report;
    std::string error;
};

Found sceneFor(const std::string& photo, int maxSide = kDefaultPhotoMaxSide) {
    Found found;
    found.ok = sceneFolderForPhoto(photo, maxSide, found.folder, found.made, found.report, found.error);
    return found;
}

TEST(PhotoScene, IsMadeBesideThePhotoOnceAndFoundAgainByItsContent) {
    ScratchFolder work("photo-scene");
    const std::string photo = writePhoto(work.path() / "pics" / "lake.png", 40, 30, 1);

    // 1. Made: the picture, the shaders and the record, named after the photo.
    const Found first = sceneFor(photo);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_TRUE(first.made);
    EXPECT_EQ(fs::path(first.folder), work.path() / "pics" / "lake");
    for (const char* name : {pictureFileName, photoRecordFileName, passVertexFileName, displaceFragmentFileName}) {
        EXPECT_TRUE(fs::exists(fs::path(first.folder) / name)) << name;
    }
    EXPECT_EQ(first.report.width, 40);
    EXPECT_FALSE(first.report.scaled());

    // 2. Found again, as it is: nothing new is made.
    const Found again = sceneFor(photo);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_FALSE(again.made);
    EXPECT_EQ(again.folder, first.folder);

    // 3. Both moved elsewhere: still the same photo's scene.
    fs::rename(work.path() / "pics", work.path() / "moved");
    const Found moved = sceneFor((work.path() / "moved" / "lake.png").string());
    ASSERT_TRUE(moved.ok) << moved.error;
    EXPECT_FALSE(moved.made);
    EXPECT_EQ(fs::path(moved.folder), work.path() / "moved" / "lake");
}

TEST(PhotoScene, AnotherPhotoOrAFolderOfSomethingElseGetsTheNextFreeName) {
    ScratchFolder work("photo-scene-names");
    const fs::path pics = work.path() / "pics";
    // "lake" holds the scene of another photo of that name; "lake-2" holds
    // something else; "lake-3" is a file.
    const std::string other = writePhoto(work.path() / "elsewhere" / "lake.png", 40, 30, 2);
    PhotoSceneRequest request;
    request.photo = other;
    request.folder = (pics / "lake").string();
    PhotoSceneMade made;
    std::string error;
    fs::create_directories(pics);
    ASSERT_TRUE(makePhotoScene(request, made, error)) << error;
    fs::create_directories(pics / "lake-2");
    work.writeFile("pics/lake-2/notes.txt", std::string("mine"));
    work.writeFile("pics/lake-3", std::string("a file"));

    const std::string photo = writePhoto(pics / "lake.png", 40, 30, 3);
    const Found found = sceneFor(photo);
    ASSERT_TRUE(found.ok) << found.error;
    EXPECT_TRUE(found.made);
    EXPECT_EQ(fs::path(found.folder), pics / "lake-4");
    EXPECT_TRUE(isSceneMadeFrom(found.folder, photo));
    EXPECT_FALSE(isSceneMadeFrom((pics / "lake").string(), photo));
    EXPECT_TRUE(isSceneMadeFrom((pics / "lake").string(), other));
    // What was there is as it was.
    EXPECT_TRUE(fs::exists(pics / "lake-2" / "notes.txt"));
    EXPECT_TRUE(fs::is_regular_file(pics / "lake-3"));
}

TEST(PhotoScene, ALargePhotoIsScaledToTheLongestSideAsked) {
    ScratchFolder work("photo-scene-scaled");
    const std::string photo = writePhoto(work.path() / "wide.png", 200, 100, 4);
    const Found found = sceneFor(photo, 50);
    ASSERT_TRUE(found.ok) << found.error;
    EXPECT_TRUE(found.report.scaled());
    std::int32_t width = 0, height = 0;
    ASSERT_TRUE(readPictureSize((fs::path(found.folder) / pictureFileName).string().c_str(), &width, &height));
    EXPECT_EQ(width, 50);
    EXPECT_EQ(height, 25);
}

TEST(PhotoScene, OnlyAPictureFileIsAPicture) {
    ScratchFolder work("photo-scene-kinds");
    EXPECT_TRUE(isPictureFile(writePhoto(work.path() / "a.png", 8, 8, 5)));
    EXPECT_FALSE(isPictureFile(work.writeFile("notes.txt", std::string("not a picture"))));
    EXPECT_FALSE(isPictureFile(work.path().string()));
    EXPECT_FALSE(isPictureFile((work.path() / "missing.png").string()));
}

}  // namespace
