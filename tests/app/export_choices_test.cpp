// What the window asks of stillflow-export: the file's name, the tool's
// command line, and its progress lines read back.
#include "app/export_choices.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace {

TEST(WindowExportChoices, TheFileIsLoopOrTheFirstFreeNumberedName) {
    ScratchFolder folder("export-names");
    const std::string dir = folder.path().string();
    EXPECT_EQ(freeExportName(dir, VideoFormat::Mp4), "loop.mp4");
    folder.writeFile("loop.mp4", std::string("x"));
    folder.writeFile("loop-2.mp4", std::string("x"));
    EXPECT_EQ(freeExportName(dir, VideoFormat::Mp4), "loop-3.mp4");
    // Each format counts its own names.
    EXPECT_EQ(freeExportName(dir, VideoFormat::Gif), "loop.gif");
    EXPECT_EQ(freeExportName(dir, VideoFormat::WebM), "loop.webm");
}

TEST(WindowExportChoices, TheWindowOffersTheFormatsWrittenAsOneFile) {
    EXPECT_EQ(windowExportFormats(), (std::vector<VideoFormat>{VideoFormat::Mp4, VideoFormat::WebM, VideoFormat::Gif}));
}

TEST(WindowExportChoices, TheToolsCommandLineSaysWhatThePanelChose) {
    const std::vector<std::string> start = {"-C", "/tmp/copy", "--progress-lines"};
    struct Case {
        const char* name;
        WindowExportChoices request;
        std::vector<std::string> options;  // between the start and the output
    };
    WindowExportChoices standard;
    WindowExportChoices wide;
    wide.width = 640;
    wide.length = WindowExportLength::Loops;
    wide.loops = 4;
    wide.music = true;
    WindowExportChoices timed;
    timed.format = VideoFormat::WebM;
    timed.length = WindowExportLength::Seconds;
    timed.seconds = 2.5;
    WindowExportChoices silentGif;
    silentGif.format = VideoFormat::Gif;
    silentGif.music = true;  // a GIF has no sound: not asked for
    const Case cases[] = {
        {"the standard export", standard, {}},
        {"width, loops, music", wide, {"--width", "640", "--loops", "4", "--music"}},
        {"seconds", timed, {"--seconds", "2.5"}},
        {"a GIF without sound", silentGif, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> expected = start;
        expected.insert(expected.end(), c.options.begin(), c.options.end());
        expected.push_back("/scene/loop.mp4");
        EXPECT_EQ(exportArguments(c.request, "/tmp/copy", "/scene/loop.mp4"), expected) << c.name;
    }
}

TEST(WindowExportChoices, ProgressLinesAreReadAndOtherLinesAreNot) {
    long long done = -1, total = -1;
    EXPECT_TRUE(parseExportProgress("frame 12/90", done, total));
    EXPECT_EQ(done, 12);
    EXPECT_EQ(total, 90);
    for (const char* other : {"loop.mp4: 6 kB, 3.00 s, 90 frames at 30 fps, 96 x 64", "frame 12/90 extra", "frame x/9",
                              ""}) {
        EXPECT_FALSE(parseExportProgress(other, done, total)) << other;
    }
}

}  // namespace
