#include "program/program_runner.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "image/loading.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* const shaderFiles[] = {"pass.vert", "identity.frag", "advect.frag", "displace.frag"};
}  // namespace

Scene::Scene(const std::string& name) {
    dir_ = fs::temp_directory_path() / ("stillflow-test-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* shader : shaderFiles) {
        fs::copy_file(fs::path(STILLFLOW_SHADER_DIR) / shader, dir_ / shader);
    }
}

Scene::~Scene() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

void Scene::writePicture(const char* fileName, const ImageGrid& picture) const {
    stbi_write_png((dir_ / fileName).string().c_str(), picture.width, picture.height, 4, picture.data(),
                   picture.width * 4);
}

void Scene::writeDocument(const FlowDocument& document) const {
    writeFlowDocument((dir_ / "vorna2.flw").string().c_str(), document);
}

void Scene::writeScript(const std::string& text) const { writeFile("input.txt", text); }

void Scene::writeFile(const char* fileName, const std::string& bytes) const {
    std::ofstream(dir_ / fileName, std::ios::binary) << bytes;
}

void Scene::remove(const char* fileName) const { fs::remove(dir_ / fileName); }

std::string Scene::readFile(const char* fileName) const { return readWhole(dir_ / fileName); }

bool Scene::exists(const char* fileName) const { return fs::exists(dir_ / fileName); }

ProgramRun Scene::run(int width, int height, int frames, const std::string& extraOptions) const {
    ProgramRun result;
    result.grabDir = dir_ / "grabs";
    fs::remove_all(result.grabDir);
    fs::create_directories(result.grabDir);
    std::ostringstream command;
    command << "cd '" << dir_.string() << "' && '" << STILLFLOW_BINARY << "' -platform offscreen -size " << width
            << "x" << height << " -frames " << frames << " -grab '" << result.grabDir.string() << "'";
    if (fs::exists(dir_ / "input.txt")) command << " -script input.txt";
    command << " " << extraOptions << " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.str().c_str());
#ifdef _WIN32
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.out = readWhole(dir_ / "stdout.txt");
    result.err = readWhole(dir_ / "stderr.txt");
    return result;
}

ImageGrid Scene::grab(int frame) const {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05d.png", frame);
    return loadImage((dir_ / "grabs" / name).string().c_str());
}
