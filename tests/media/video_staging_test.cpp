// Frame files staged for an existing folder: they replace the older frames
// of their names all at once, or not at all.

#include "media/video_staging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Three new frames over three older ones; `plant` runs after the frames are
// staged, before they move in.
struct Staged {
    ScratchFolder folder{"video-staging"};
    VideoStaging staged;
    bool committed = false;
    std::string error;

    explicit Staged(void (*plant)(const fs::path&)) {
        for (int k = 0; k < 3; ++k) folder.writeFile("f-" + std::to_string(k) + ".png", std::string("older"));
        const std::string pattern = (folder.path() / "f-%d.png").string();
        EXPECT_TRUE(stageFrameFolder(staged, pattern, error)) << error;
        for (int k = 0; k < 3; ++k) {
            const std::string bytes = "new " + std::to_string(k);
            EXPECT_TRUE(writeStagedFrame(staged, k, bytes.data(), bytes.size(), error)) << error;
        }
        plant(folder.path());
        std::uint64_t bytes = 0;
        committed = commitVideoStaging(staged, 3, bytes, error);
        staged = VideoStaging();  // what was left staged goes
    }
};

TEST(VideoStaging, NewFramesReplaceTheOlderSetWhole) {
    const Staged all([](const fs::path&) {});
    ASSERT_TRUE(all.committed) << all.error;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(readWholeFile(all.folder.path() / ("f-" + std::to_string(k) + ".png")), "new " + std::to_string(k));
    EXPECT_EQ(listing(all.folder.path()), (std::set<std::string>{"f-0.png", "f-1.png", "f-2.png"}));
}

// A name that cannot take its frame (here a folder that appeared since the
// export checked the names) fails the whole commit: the frames before it
// are the older ones still, the folder is the user's and stays, and nothing
// staged is left behind.
TEST(VideoStaging, AFrameThatCannotMoveInLeavesTheOlderSetWhole) {
    const Staged blocked([](const fs::path& dir) {
        fs::remove(dir / "f-2.png");
        fs::create_directory(dir / "f-2.png");
        std::ofstream(dir / "f-2.png" / "keep.txt") << "mine";
    });
    EXPECT_FALSE(blocked.committed);
    EXPECT_NE(blocked.error.find("f-2.png"), std::string::npos) << blocked.error;
    EXPECT_EQ(readWholeFile(blocked.folder.path() / "f-0.png"), "older");
    EXPECT_EQ(readWholeFile(blocked.folder.path() / "f-1.png"), "older");
    EXPECT_EQ(readWholeFile(blocked.folder.path() / "f-2.png" / "keep.txt"), "mine");
    EXPECT_EQ(listing(blocked.folder.path()), (std::set<std::string>{"f-0.png", "f-1.png", "f-2.png"}));

    std::string error;
    EXPECT_FALSE(checkFrameNames((blocked.folder.path() / "f-%d.png").string(), 3, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_TRUE(checkFrameNames((blocked.folder.path() / "f-%d.png").string(), 2, error));
}

}  // namespace
