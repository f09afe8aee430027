#include "gpu/builtin_shaders.h"

#include "platform/safe_file.h"

bool writeBuiltinShaders(const char* dir, std::string* failedPath) {
    for (const ShaderFileText& shader : builtinShaders()) {
        // Whole or not at all: a cut-off shader would fail only when the
        // program later builds it.
        const std::string path = std::string(dir) + "/" + shader.name;
        std::string error;
        if (!writeFileSafely(path, shader.text.data(), shader.text.size(), error)) {
            if (failedPath) *failedPath = path;
            return false;
        }
    }
    return true;
}
