// Writing files the user keeps: the new content replaces the target only
// once complete, a failure anywhere leaves the old file and no temporary,
// and a name planted beside the target is never written through.

#include "platform/safe_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/file_size_limit.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The names in a folder, so that a leftover temporary shows.
std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// Draws that repeat the given values, then go on counting from the last.
TemporaryNameDraw drawsOf(std::vector<std::uint64_t> values) {
    auto next = std::make_shared<std::size_t>(0);
    return [values, next]() {
        const std::size_t i = (*next)++;
        return i < values.size() ? values[i] : values.back() + (i - values.size() + 1);
    };
}

class SafeFileTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"stillflow-safe-file"};
    fs::path path(const std::string& name) const { return scratch_.path() / name; }
};

TEST_F(SafeFileTest, EachShapeReplacesItsTargetWholeAndLeavesNothingElse) {
    const std::string target = path("kept.bin").string();
    std::string error;

    // 1. A whole buffer, into a new file and then over it.
    ASSERT_TRUE(writeFileSafely(target, "first", 5, error)) << error;
    ASSERT_TRUE(writeFileSafely(target, "second one", 10, error)) << error;
    EXPECT_EQ(readWholeFile(target), "second one");
    ASSERT_TRUE(writeFileSafely(target, "", 0, error)) << error;
    EXPECT_EQ(readWholeFile(target), "");

    // 2. A staged file filled through its stream; the target stands until
    //    the commit.
    StagedFile viaStream;
    ASSERT_TRUE(viaStream.open(target, error)) << error;
    EXPECT_EQ(fs::path(viaStream.temporaryPath()).parent_path(), scratch_.path());
    ASSERT_NE(viaStream.stream(), nullptr);
    std::fputs("through a stream", viaStream.stream());
    writeText(target, "old");
    EXPECT_EQ(readWholeFile(target), "old");
    ASSERT_TRUE(viaStream.commit(error)) << error;
    EXPECT_FALSE(viaStream.isOpen());
    EXPECT_EQ(readWholeFile(target), "through a stream");

    // 3. One filled through its descriptor, moved to another owner first.
    StagedFile first;
    ASSERT_TRUE(first.open(target, error)) << error;
    StagedFile viaDescriptor = std::move(first);
    EXPECT_FALSE(first.isOpen());
    ASSERT_EQ(write(viaDescriptor.descriptor(), "raw", 3), 3);
    ASSERT_TRUE(viaDescriptor.commit(error)) << error;
    EXPECT_EQ(readWholeFile(target), "raw");

    // 4. A folder that appears whole, and one that replaces an empty folder.
    for (const bool targetExists : {false, true}) {
        const fs::path folder = path(targetExists ? "was-empty" : "new-folder");
        if (targetExists) fs::create_directory(folder);
        StagedFolder staged;
        ASSERT_TRUE(staged.open(folder.string(), error)) << error;
        writeText(fs::path(staged.path()) / "a.txt", "a");
        fs::create_directory(fs::path(staged.path()) / "inner");
        writeText(fs::path(staged.path()) / "inner" / "b.txt", "b");
        EXPECT_EQ(fs::exists(folder), targetExists);
        ASSERT_TRUE(staged.commit(error)) << error;
        EXPECT_EQ(readWholeFile(folder / "a.txt"), "a");
        EXPECT_EQ(readWholeFile(folder / "inner" / "b.txt"), "b");
    }

    EXPECT_EQ(namesIn(scratch_.path()), (std::set<std::string>{"kept.bin", "new-folder", "was-empty"}));
}

// Every way a write can fail: the target keeps its bytes (or its absence),
// no temporary is left, and the one line names the target.
TEST_F(SafeFileTest, AFailureAnywhereLeavesTheOldFileAndNoTemporary) {
    const std::string target = path("kept.bin").string();
    writeText(target, "old bytes");
    const std::string big(64 * 1024, 'x');
    struct Case {
        const char* name;
        std::function<bool(std::string&)> write;  // run in a child whose files stop at 4 KiB
        bool namesTarget;                         // the error line is the helper's
    };
    const Case cases[] = {
        {"a buffer that does not fit",
         [&](std::string& error) { return writeFileSafely(target, big.data(), big.size(), error); }, true},
        {"a stream that does not fit",
         [&](std::string& error) {
             StagedFile file;
             if (!file.open(target, error)) return false;
             std::fwrite(big.data(), 1, big.size(), file.stream());
             return file.commit(error);
         },
         true},
        {"a descriptor that does not fit, abandoned",
         [&](std::string& error) {
             StagedFile file;
             if (!file.open(target, error)) return false;
             if (write(file.descriptor(), big.data(), big.size()) == static_cast<ssize_t>(big.size())) return true;
             error = "the write failed";
             return false;  // the destructor removes the temporary
         },
         false},
        {"a folder whose file does not fit",
         [&](std::string& error) {
             StagedFolder folder;
             if (!folder.open(path("never").string(), error)) return false;
             writeText(fs::path(folder.path()) / "big.txt", big);
             return fs::file_size(fs::path(folder.path()) / "big.txt") == big.size() && folder.commit(error);
         },
         false},
    };
    // 1. Writes that meet a full disk, in a child process.
    for (const Case& c : cases) {
        const LimitedRun run = runWithFileSizeLimit(4096, c.write);
        EXPECT_FALSE(run.returned) << c.name;
        EXPECT_EQ(run.error.find('\n'), std::string::npos) << c.name << ": " << run.error;
        if (c.namesTarget) {
            EXPECT_NE(run.error.find("kept.bin"), std::string::npos) << c.name << ": " << run.error;
        }
    }

    // 2. A missing folder, a target that is a folder with
    // something in it, and a folder onto a target that holds something.
    std::string error;
    EXPECT_FALSE(writeFileSafely(path("no/such/folder.bin").string(), "x", 1, error));
    EXPECT_NE(error.find("folder.bin"), std::string::npos) << error;
    fs::create_directories(path("taken") / "inside");
    EXPECT_FALSE(writeFileSafely(path("taken").string(), "x", 1, error));
    EXPECT_NE(error.find("taken"), std::string::npos) << error;
    StagedFolder onto;
    ASSERT_TRUE(onto.open(path("taken").string(), error)) << error;
    writeText(fs::path(onto.path()) / "new.txt", "new");
    EXPECT_FALSE(onto.commit(error));
    EXPECT_NE(error.find("taken"), std::string::npos) << error;
    EXPECT_FALSE(onto.isOpen());

    // 3. An open staged file that is dropped, or replaced by a move.
    {
        StagedFile dropped;
        ASSERT_TRUE(dropped.open(target, error)) << error;
        StagedFile replaced;
        ASSERT_TRUE(replaced.open(target, error)) << error;
        replaced = StagedFile();
        StagedFolder droppedFolder;
        ASSERT_TRUE(droppedFolder.open(path("dropped").string(), error)) << error;
        writeText(fs::path(droppedFolder.path()) / "a.txt", "a");
    }

    EXPECT_EQ(readWholeFile(target), "old bytes");
    EXPECT_TRUE(fs::is_directory(path("taken") / "inside"));
    EXPECT_EQ(namesIn(scratch_.path()), (std::set<std::string>{"kept.bin", "taken"}));
    EXPECT_EQ(namesIn(path("taken")), (std::set<std::string>{"inside"}));
}

// A symbolic link planted where a temporary would be created (the attacker
// guessed the name) is never opened: the writer takes another name, or gives
// up, and the link's target keeps its bytes.
TEST_F(SafeFileTest, ALinkPlantedAtTheTemporarysNameIsNotFollowed) {
    const std::string target = path("kept.bin").string();
    const fs::path victim = path("victim.txt");
    writeText(victim, "precious");
    fs::create_directory(path("victim-folder"));
    const std::uint64_t planted = 7;
    fs::create_symlink(victim, temporaryNameBeside(target, planted));
    const std::string folderTarget = path("scene").string();
    fs::create_directory_symlink(path("victim-folder"), temporaryNameBeside(folderTarget, planted));
    std::string error;

    // 1. The planted name comes up three times, then a free one.
    StagedFile file;
    ASSERT_TRUE(file.open(target, error, drawsOf({planted, planted, planted, 8}))) << error;
    EXPECT_EQ(file.temporaryPath(), temporaryNameBeside(target, 8));
    std::fputs("new", file.stream());
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(readWholeFile(target), "new");

    StagedFolder folder;
    ASSERT_TRUE(folder.open(folderTarget, error, drawsOf({planted, 9}))) << error;
    writeText(fs::path(folder.path()) / "a.txt", "a");
    ASSERT_TRUE(folder.commit(error)) << error;
    EXPECT_EQ(readWholeFile(path("scene") / "a.txt"), "a");

    // 2. Nothing but the planted name: the writer gives up, saying so.
    EXPECT_FALSE(file.open(target, error, [] { return planted; }));
    EXPECT_NE(error.find("kept.bin"), std::string::npos) << error;
    EXPECT_FALSE(folder.open(folderTarget, error, [] { return planted; }));

    EXPECT_EQ(readWholeFile(victim), "precious");
    EXPECT_TRUE(fs::is_empty(path("victim-folder")));
    EXPECT_TRUE(fs::is_symlink(temporaryNameBeside(target, planted)));
}

TEST_F(SafeFileTest, LeftoverTemporariesOfOneTargetAreRemovedAndNothingElse) {
    // What a killed writer leaves: a file and a folder under the target's
    // temporary names, one of them for a name long enough to be shortened.
    const std::string target = path("loop.mp4").string();
    const std::string longTarget = path(std::string(300, 'n') + ".mp4").string();
    writeText(temporaryNameBeside(target, 0x1234), "half a video");
    fs::create_directory(temporaryNameBeside(target, 0xfedcba9876543210ULL));
    writeText(fs::path(temporaryNameBeside(target, 0xfedcba9876543210ULL)) / "frame-00000.png", "x");
    writeText(temporaryNameBeside(longTarget, 7), "half");
    // Names that only look alike stay: another target's, the target itself,
    // a draw that is not 16 hex digits.
    writeText(temporaryNameBeside(path("loop-2.mp4").string(), 5), "another export");
    writeText(target, "finished");
    writeText(path(".loop.mp4.0123456789abcdeg.part"), "not ours");
    writeText(path(".loop.mp4.123.part"), "not ours");

    removeTemporariesBeside(target);
    removeTemporariesBeside(longTarget);

    EXPECT_EQ(namesIn(scratch_.path()),
              (std::set<std::string>{fs::path(temporaryNameBeside(path("loop-2.mp4").string(), 5)).filename().string(),
                                     "loop.mp4", ".loop.mp4.0123456789abcdeg.part", ".loop.mp4.123.part"}));
}

}  // namespace
