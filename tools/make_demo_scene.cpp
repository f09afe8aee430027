// make_demo_scene [--rewrite] DIR [SHADER_DIR]
//
// Writes a complete demo scene into DIR, which the program can then run in:
// the files of demo/scene.h and the four shader files.
//
// A picture, overlay, track or flow document already in DIR is kept, so that
// work saved in the scene folder survives the next demo run; --rewrite
// replaces them too. The shaders belong to the program, not to the scene,
// and are always written afresh.
//
// The shaders are the project's own, built into this tool; SHADER_DIR, if
// given, names a folder to copy them from instead, where a missing shader is
// a warning, not an error. A file that can't be written ends the tool with
// exit code 1.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "demo/scene.h"
#include "gpu/builtin_shaders.h"

namespace fs = std::filesystem;

namespace {

// Copies the shader files that exist; false only when one exists but can't
// be copied.
bool copyShaders(const fs::path& from, const fs::path& to) {
    for (const ShaderFileText& shader : builtinShaders()) {
        const fs::path source = from / shader.name;
        std::error_code error;
        if (!fs::is_regular_file(source, error)) {
            std::fprintf(stderr, "make_demo_scene: warning: shader %s not found; the program needs it in %s\n",
                         source.string().c_str(), to.string().c_str());
            continue;
        }
        const fs::path target = to / shader.name;
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        if (error) {
            std::fprintf(stderr, "make_demo_scene: cannot copy %s to %s: %s\n", source.string().c_str(),
                         target.string().c_str(), error.message().c_str());
            return false;
        }
        std::printf("wrote %s\n", target.string().c_str());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto flag = std::find(arguments.begin(), arguments.end(), "--rewrite");
    const bool rewrite = flag != arguments.end();
    if (rewrite) arguments.erase(flag);
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "usage: make_demo_scene [--rewrite] DIR [SHADER_DIR]\n");
        return 1;
    }
    const fs::path dir(arguments[0]);
    std::string error;
    if (!demo::writeDemoScene(dir, rewrite, error)) {
        std::fprintf(stderr, "make_demo_scene: %s\n", error.c_str());
        return 1;
    }

    if (arguments.size() == 2) return copyShaders(fs::path(arguments[1]), dir) ? 0 : 1;
    std::string failed;
    if (!writeBuiltinShaders(dir.string().c_str(), &failed)) {
        std::fprintf(stderr, "make_demo_scene: cannot write %s\n", failed.c_str());
        return 1;
    }
    std::printf("wrote the shaders\n");
    return 0;
}
