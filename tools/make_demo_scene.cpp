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
// a warning, not an error. Every file is written through a temporary made
// exclusively beside it (never through a link planted at its name). A file
// that can't be written ends the tool with exit code 1, as does a wrong
// command line; -h or --help prints the usage and writes nothing.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "demo/scene.h"
#include "gpu/builtin_shaders.h"
#include "platform/safe_file.h"

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
        std::ifstream in(source, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string why;
        const bool copied =
            in.bad() ? (why = "cannot read it", false) : writeFileSafely(target.string(), text.data(), text.size(), why);
        if (!copied) {
            std::fprintf(stderr, "make_demo_scene: cannot copy %s to %s: %s\n", source.string().c_str(),
                         target.string().c_str(), why.c_str());
            return false;
        }
        std::printf("wrote %s\n", target.string().c_str());
    }
    return true;
}

}  // namespace

constexpr const char* kUsage = "usage: make_demo_scene [--rewrite] DIR [SHADER_DIR]";

int main(int argc, char** argv) {
    // 1. The command line, before anything is written: help, the one
    //    option, and no other word that looks like an option (it would
    //    otherwise become a folder's name; "./-x" names such a folder).
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (std::find_if(arguments.begin(), arguments.end(),
                     [](const std::string& a) { return a == "-h" || a == "--help"; }) != arguments.end()) {
        std::printf("%s\n", kUsage);
        std::printf("Writes the demo scene into DIR, keeping a picture, overlay, track or flow document it holds\n"
                    "(--rewrite replaces them); the shaders are the built-in ones, or copied from SHADER_DIR.\n");
        return 0;
    }
    const auto flag = std::find(arguments.begin(), arguments.end(), "--rewrite");
    const bool rewrite = flag != arguments.end();
    if (rewrite) arguments.erase(flag);
    const auto option = std::find_if(arguments.begin(), arguments.end(),
                                     [](const std::string& a) { return a.size() > 1 && a[0] == '-'; });
    if (option != arguments.end()) {
        std::fprintf(stderr, "make_demo_scene: unknown option %s\n%s\n", option->c_str(), kUsage);
        return 1;
    }
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "%s\n", kUsage);
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
