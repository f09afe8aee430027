// The video format table and what is derived from it without FFmpeg: which
// format a target names, the quality scales and sound of each, frame file
// names and the frame size in the file.

#include "media/video_formats.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VideoFormats, ATargetsExtensionNamesItsFormatInAnyCase) {
    struct Case {
        const char* path;
        VideoFormat format;
    };
    const Case cases[] = {
        {"loop.mp4", VideoFormat::Mp4},
        {"LOOP.MP4", VideoFormat::Mp4},
        {"out/clip.WebM", VideoFormat::WebM},
        {"loop.gif", VideoFormat::Gif},
        {"frames/frame-%05d.PNG", VideoFormat::PngFrames},
        {"loop.avi", VideoFormat::Unknown},
        {"loop.mp4.part", VideoFormat::Unknown},
        {"mp4", VideoFormat::Unknown},
        {".mp4", VideoFormat::Unknown},       // a hidden file's name, not an extension
        {"clip.mp4/", VideoFormat::Unknown},  // a folder
        {"", VideoFormat::Unknown},
    };
    for (const Case& c : cases) EXPECT_EQ(videoFormatOfPath(c.path), c.format) << c.path;

    // Every row is found by its own extension and by its format.
    for (const VideoFormatRow& row : kVideoFormats) {
        EXPECT_EQ(videoFormatOfPath(std::string("name") + row.extension), row.format) << row.name;
        EXPECT_EQ(&videoFormatRow(row.format), &row) << row.name;
    }
    EXPECT_STREQ(videoFormatName(VideoFormat::Unknown), "unknown");
}

TEST(VideoFormats, EachRowStatesItsQualityScaleSoundAndFrameFiles) {
    struct Case {
        VideoFormat format;
        const char* name;
        bool quality;
        int highest, standard;
        bool sound;
        bool numberedFiles;
    };
    const Case cases[] = {
        {VideoFormat::Mp4, "MP4", true, 51, 20, true, false},
        {VideoFormat::WebM, "WebM", true, 63, 31, true, false},
        {VideoFormat::Gif, "GIF", false, 0, 0, false, false},
        {VideoFormat::PngFrames, "PNG frames", false, 0, 0, false, true},
        {VideoFormat::Unknown, "unknown", false, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        int lowest = -1, highest = -1, standard = -1;
        EXPECT_EQ(videoQualityRange(c.format, lowest, highest, standard), c.quality) << c.name;
        EXPECT_EQ(lowest, 0) << c.name;
        EXPECT_EQ(highest, c.highest) << c.name;
        EXPECT_EQ(standard, c.standard) << c.name;
        EXPECT_STREQ(videoFormatName(c.format), c.name);
        EXPECT_EQ(videoFormatHasSound(c.format), c.sound) << c.name;
        EXPECT_EQ(videoFormatIsNumberedFiles(c.format), c.numberedFiles) << c.name;
    }
    // A format of numbered files has a name pattern to show in messages.
    EXPECT_FALSE(frameFileName(videoFormatRow(VideoFormat::PngFrames).exampleName, 0).empty());
}

TEST(VideoFormats, ListsOfFormatsReadAsSentences) {
    EXPECT_EQ(joinList({}, ", ", " or "), "");
    EXPECT_EQ(joinList({"a"}, ", ", " or "), "a");
    EXPECT_EQ(joinList({"a", "b"}, ", ", " or "), "a or b");
    EXPECT_EQ(joinList({"a", "b", "c"}, ", ", ", or "), "a, b, or c");
    EXPECT_EQ(videoExtensionList([](const VideoFormatRow&) { return true; }, ", ", " or "),
              ".mp4, .webm, .gif or .png");
    EXPECT_EQ(videoExtensionList([](const VideoFormatRow& row) { return videoFormatHasSound(row.format); }, ", ",
                                 " or "),
              ".mp4 or .webm");
}

TEST(VideoFormats, FrameFileNamesFollowThePatternsOneNumber) {
    struct Case {
        const char* pattern;
        long long k;
        const char* name;  // "": the pattern is refused
    };
    const Case cases[] = {
        {"frame-%05d.png", 7, "frame-00007.png"},
        {"frame-%05d.png", 1234567, "frame-1234567.png"},  // wider than its width
        {"f%d.png", 123, "f123.png"},
        {"f%3d.png", 5, "f  5.png"},                       // padded with spaces without the 0 flag
        {"100%%-%02d.png", 3, "100%-03.png"},
        {"%d", 0, "0"},
        {"still.png", 0, ""},                              // no number
        {"100%%.png", 0, ""},                              // only a percent sign
        {"%d-%d.png", 0, ""},                              // two numbers
        {"f%x.png", 0, ""},                                // not a %d
        {"f%-5d.png", 0, ""},                              // a flag other than 0
        {"frame-%", 0, ""},                                // cut short
        {"f%100d.png", 0, ""},                             // an absurd width
    };
    for (const Case& c : cases) EXPECT_EQ(frameFileName(c.pattern, c.k), c.name) << c.pattern;
}

TEST(VideoFormats, FrameSizeKeepsTheAspectAndEvenSidesForHalfColour) {
    struct Case {
        VideoFormat format;
        int sourceWidth, sourceHeight, width;
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        // 41 x 31.06: MP4 rounds the width down to even and the height to
        // the nearest even; GIF keeps the width and rounds the height.
        {VideoFormat::Mp4, 66, 50, 41, 40, 32},
        {VideoFormat::WebM, 66, 50, 41, 40, 32},
        {VideoFormat::Gif, 66, 50, 41, 41, 31},
        {VideoFormat::PngFrames, 66, 50, 41, 41, 31},
        // 35 x 26.52
        {VideoFormat::Mp4, 66, 50, 35, 34, 26},
        {VideoFormat::Gif, 66, 50, 35, 35, 27},
        // The source's own size: kept, an odd side of a 4:2:0 format cropped
        // by one.
        {VideoFormat::Mp4, 67, 51, 0, 66, 50},
        {VideoFormat::Mp4, 67, 51, 67, 66, 50},
        {VideoFormat::Gif, 67, 51, 0, 67, 51},
        // Thin pictures keep at least one row, two for 4:2:0.
        {VideoFormat::Gif, 3000, 3, 100, 100, 1},
        {VideoFormat::Mp4, 3000, 3, 100, 100, 2},
        {VideoFormat::Mp4, 3, 3, 0, 2, 2},
    };
    for (const Case& c : cases) {
        const VideoFrameSize size = videoFrameSize(c.format, c.sourceWidth, c.sourceHeight, c.width);
        EXPECT_EQ(size.width, c.expectedWidth)
            << videoFormatName(c.format) << " " << c.sourceWidth << "x" << c.sourceHeight << " at " << c.width;
        EXPECT_EQ(size.height, c.expectedHeight)
            << videoFormatName(c.format) << " " << c.sourceWidth << "x" << c.sourceHeight << " at " << c.width;
    }
}

}  // namespace
