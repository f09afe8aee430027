#pragma once
// The project's shader files as they stood in shaders/ when the tools were
// built, for tools that write a scene folder. The program itself never uses
// these: it reads its shaders from the working directory.

#include <string>
#include <string_view>
#include <vector>

struct ShaderFileText {
    const char* name;       // file name, e.g. "advect.frag"
    std::string_view text;  // the file's bytes, exactly as stored
};

// Every file of shaders/, in file-name order.
const std::vector<ShaderFileText>& builtinShaders();

// Writes every built-in shader file into the folder `dir` (which must
// exist), replacing files of those names, each whole or not at all
// (platform/safe_file.h). False when one cannot be written; then
// `failedPath`, if given, names it.
bool writeBuiltinShaders(const char* dir, std::string* failedPath);
