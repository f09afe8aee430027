// The program's own command line: a scene folder or a picture, and the
// largest side of a scene made from a picture.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/argv.h"

namespace {

bool parse(std::vector<std::string> words, ProgramOptions& options, std::string& error) {
    Argv argv(std::move(words));
    return parseProgramOptions(argv.argc, argv.pointers.data(), options, error);
}

TEST(CommandLine, APathAndTheLargestSideOfItsScene) {
    ProgramOptions options;
    std::string error;
    ASSERT_TRUE(parse({"stillflow"}, options, error)) << error;
    EXPECT_EQ(options.path, "");
    EXPECT_EQ(options.maxSide, kDefaultPhotoMaxSide);
    ASSERT_TRUE(parse({"stillflow", "--max-side", "1000", "my photo.jpg"}, options, error)) << error;
    EXPECT_EQ(options.path, "my photo.jpg");
    EXPECT_EQ(options.maxSide, 1000);
    ASSERT_TRUE(parse({"stillflow", "scene", "--max-side", "0"}, options, error)) << error;
    EXPECT_EQ(options.path, "scene");
    EXPECT_EQ(options.maxSide, 0);
}

TEST(CommandLine, RefusesWhatItCannotUseInOneLine) {
    const struct {
        std::vector<std::string> words;
        const char* mentions;
    } cases[] = {
        {{"stillflow", "--max-side"}, "--max-side"},
        {{"stillflow", "--max-side", "2"}, "--max-side"},
        {{"stillflow", "--max-side", "many"}, "--max-side"},
        {{"stillflow", "--frobnicate"}, "unknown option --frobnicate"},
        {{"stillflow", "a.jpg", "b.jpg"}, "more than one"},
    };
    for (const auto& c : cases) {
        ProgramOptions options;
        std::string error;
        EXPECT_FALSE(parse(c.words, options, error)) << c.words.back();
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

}  // namespace
