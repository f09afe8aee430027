#include "gpu/builtin_shaders.h"

#include <cstdio>

bool writeBuiltinShaders(const char* dir, std::string* failedPath) {
    for (const ShaderFileText& shader : builtinShaders()) {
        const std::string path = std::string(dir) + "/" + shader.name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file && std::fwrite(shader.text.data(), 1, shader.text.size(), file) == shader.text.size();
        // A full disk may only show when the buffered tail is flushed on close.
        const bool closed = file && std::fclose(file) == 0;
        if (!written || !closed) {
            if (failedPath) *failedPath = path;
            return false;
        }
    }
    return true;
}
