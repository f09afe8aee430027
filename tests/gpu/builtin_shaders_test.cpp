// The shaders built into the scene tools are the files of shaders/, byte for
// byte, and all of them.

#include "gpu/builtin_shaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "flow/scene_files.h"
#include "support/scratch_folder.h"

namespace {

TEST(BuiltinShaders, AreTheFilesOfTheShaderFolderByteForByte) {
    const std::filesystem::path folder = std::filesystem::path(STILLFLOW_SOURCE_DIR) / "shaders";
    std::set<std::string> onDisk;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) onDisk.insert(entry.path().filename().string());

    std::set<std::string> builtIn;
    for (const ShaderFileText& shader : builtinShaders()) {
        SCOPED_TRACE(shader.name);
        builtIn.insert(shader.name);
        const std::string file = readWholeFile(folder / shader.name);
        EXPECT_FALSE(file.empty());
        EXPECT_TRUE(file == shader.text) << "rebuild: shaders/" << shader.name << " changed";
    }
    EXPECT_EQ(builtIn, onDisk);
    for (const char* name : shaderFileNames) {
        EXPECT_EQ(builtIn.count(name), 1u) << name;
    }
}

}  // namespace
