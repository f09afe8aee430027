#include "support/scene.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "flow/scene_files.h"
#include "gpu/builtin_shaders.h"
#include "image/loading.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

Scene::Scene(const std::string& name) : folder_("stillflow-test-" + name) {
    std::string failed;
    if (!writeBuiltinShaders(dir().string().c_str(), &failed)) throw std::runtime_error("cannot write " + failed);
}

void Scene::writePicture(const char* fileName, const ImageGrid& picture) const {
    stbi_write_png((dir() / fileName).string().c_str(), picture.width, picture.height, 4, picture.data(),
                   picture.width * 4);
}

void Scene::writeDocument(const FlowDocument& document) const {
    writeFlowDocument((dir() / flowDocumentFileName).string().c_str(), document);
}

void Scene::writeScript(const std::string& text) const { writeFile("input.txt", text); }

void Scene::writeFile(const char* fileName, const std::string& bytes) const {
    std::ofstream(dir() / fileName, std::ios::binary) << bytes;
}

void Scene::remove(const char* fileName) const { fs::remove(dir() / fileName); }

std::string Scene::readFile(const char* fileName) const { return readWholeFile(dir() / fileName); }

bool Scene::exists(const char* fileName) const { return fs::exists(dir() / fileName); }

ProgramRun Scene::run(int width, int height, int frames, const std::string& extraOptions,
                      std::uint64_t fileSizeLimit) const {
    ProgramRun result;
    result.grabDir = dir() / "grabs";
    fs::remove_all(result.grabDir);
    fs::create_directories(result.grabDir);
    std::ostringstream command;
    command << "cd '" << dir().string() << "' && ";
    // The shell's ulimit counts 512-byte blocks; with SIGXFSZ ignored (which
    // the program inherits), a write past the limit fails instead of
    // ending the program.
    if (fileSizeLimit > 0) command << "ulimit -f " << fileSizeLimit / 512 << " && trap '' XFSZ && ";
    command << "'" << STILLFLOW_BINARY << "' -platform offscreen -size " << width
            << "x" << height << " -frames " << frames << " -grab '" << result.grabDir.string() << "'";
    if (fs::exists(dir() / "input.txt")) command << " -script input.txt";
    command << " " << extraOptions << " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.str().c_str());
#ifdef _WIN32
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.out = readWholeFile(dir() / "stdout.txt");
    result.err = readWholeFile(dir() / "stderr.txt");
    return result;
}

ImageGrid Scene::grab(int frame) const {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05d.png", frame);
    return loadImage((dir() / "grabs" / name).string().c_str());
}
