#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "gpu/shader_program.h"
#include "gpu/texture.h"

namespace {

const char* const vertexSource =
    "#version 130\n"
    "in vec3 position;\n"
    "void main() { gl_Position = vec4(position, 1.0); }\n";

// Samplers of every kind the table knows and two it must leave out, plus a
// float uniform; all are used so the driver keeps them active.
const char* const mixedFragmentSource =
    "#version 130\n"
    "uniform sampler2D image;\n"
    "uniform float gain;\n"
    "uniform samplerCube sky;\n"
    "uniform sampler2DShadow depth;\n"
    "uniform isampler2D labels;\n"
    "uniform sampler2D flow;\n"
    "void main() {\n"
    "  vec4 c = texture(image, vec2(0.5)) + texture(flow, vec2(0.5)) + texture(sky, vec3(1.0));\n"
    "  c.x += texture(depth, vec3(0.5)) + float(texture(labels, vec2(0.5)).x);\n"
    "  gl_FragColor = c * gain;\n"
    "}\n";

const char* const floatsOnlyFragmentSource =
    "#version 130\n"
    "uniform float w0;\n"
    "void main() { gl_FragColor = vec4(w0); }\n";

// Runs `action` with standard output captured and returns what it printed.
template <typename Action>
std::string capturedOutput(Action action) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// The active uniforms of a program, in the order the driver enumerates them.
std::vector<std::pair<std::string, GLenum>> activeUniforms(GLuint program) {
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    std::vector<std::pair<std::string, GLenum>> uniforms;
    for (GLint i = 0; i < count; ++i) {
        char name[256] = {};
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof(name), &length, &size, &type, name);
        uniforms.emplace_back(std::string(name, static_cast<std::size_t>(length)), type);
    }
    return uniforms;
}

GLint uniformInt(const ShaderProgram& program, const char* name) {
    GLint value = -1;
    glGetUniformiv(program.id, glGetUniformLocation(program.id, name), &value);
    return value;
}

TEST(ShaderProgram, SamplerUnitsFollowTheDriversEnumerationOrder) {
    ShaderProgram program;
    const std::string log = capturedOutput([&] { program = ShaderProgram(vertexSource, mixedFragmentSource); });
    ASSERT_NE(program.linked, 0) << program.log << log;

    std::vector<std::string> expectedNames;
    for (const auto& uniform : activeUniforms(program.id)) {
        const GLenum type = uniform.second;
        if (type == GL_SAMPLER_2D || type == GL_SAMPLER_CUBE) expectedNames.push_back(uniform.first);
    }
    ASSERT_EQ(program.samplers.size(), 3u) << "image, sky, flow; not the shadow or integer sampler";
    ASSERT_EQ(program.samplers.size(), expectedNames.size());
    for (std::size_t i = 0; i < program.samplers.size(); ++i) {
        EXPECT_EQ(program.samplers[i].name, expectedNames[i]);
        EXPECT_EQ(program.samplers[i].unit, static_cast<GLint>(i));
        EXPECT_EQ(program.findSampler(expectedNames[i]), i);
    }
    EXPECT_FALSE(program.findSampler("depth"));
    EXPECT_FALSE(program.findSampler("gain"));
}

TEST(BindSampler, BindsTheTextureOnTheSlotsUnitAndSetsTheUniform) {
    ShaderProgram program(vertexSource, mixedFragmentSource);
    ASSERT_NE(program.linked, 0) << program.log;
    Texture texture;
    for (int repeat = 0; repeat < 2; ++repeat) {
        const std::string printed = capturedOutput([&] { bindSampler(program, "flow", texture); });
        EXPECT_EQ(printed, "");
        const GLint unit = program.samplers[*program.findSampler("flow")].unit;
        GLint active = 0;
        GLint bound = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(active, GL_TEXTURE0 + unit);
        EXPECT_EQ(bound, static_cast<GLint>(texture.id()));
        EXPECT_EQ(uniformInt(program, "flow"), unit);
    }
    glActiveTexture(GL_TEXTURE0);
}

TEST(BindSampler, ReportsUnknownAndWrongTypedSamplers) {
    ShaderProgram program(vertexSource, mixedFragmentSource);
    ASSERT_NE(program.linked, 0) << program.log;
    Texture texture;

    // Not a sampler the table holds: a line with the name, nothing bound.
    for (const char* name : {"missing", "depth", "labels", "gain", "Image"}) {
        glActiveTexture(GL_TEXTURE5);
        const std::string printed = capturedOutput([&] { bindSampler(program, name, texture); });
        EXPECT_EQ(printed, std::string("sampler ") + name + " does not exist!\n");
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        EXPECT_EQ(active, GL_TEXTURE5) << name;
    }

    // A cube sampler: the line without the name, and the texture bound as 2D.
    const std::string printed = capturedOutput([&] { bindSampler(program, "sky", texture); });
    EXPECT_EQ(printed, "wrong sampler type\n");
    const GLint unit = program.samplers[*program.findSampler("sky")].unit;
    GLint bound = 0;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, static_cast<GLint>(texture.id()));
    glActiveTexture(GL_TEXTURE0);
}

TEST(ShaderProgram, FloatOnlyProgramHasNoSamplersAndSetsUniformsByName) {
    ShaderProgram program(vertexSource, floatsOnlyFragmentSource);
    ASSERT_NE(program.linked, 0) << program.log;
    EXPECT_TRUE(program.samplers.empty());
    setUniform(program, "w0", 0.75f);
    setUniform(program, "absent", 1.0f);  // location -1: ignored, not reported
    GLfloat value = 0.0f;
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "w0"), &value);
    EXPECT_EQ(value, 0.75f);
    EXPECT_EQ(attributeLocation(program, "position"), glGetAttribLocation(program.id, "position"));
    EXPECT_EQ(attributeLocation(program, "nothing"), -1);
}

TEST(ShaderProgram, BrokenSourcesLeaveAnUnlinkedProgramWithItsLog) {
    ShaderProgram program;
    capturedOutput([&] { program = ShaderProgram(vertexSource, ""); });
    EXPECT_EQ(program.linked, 0);
    EXPECT_NE(program.id, 0u);
    EXPECT_FALSE(program.log.empty());
    EXPECT_TRUE(program.log.find('\0') == std::string::npos) << "the log's NUL is dropped";
}

TEST(ShaderProgram, MoveTransfersTheProgramAndAssignmentDeletesTheOldOne) {
    ShaderProgram first(vertexSource, floatsOnlyFragmentSource);
    ShaderProgram second(vertexSource, mixedFragmentSource);
    const GLuint firstId = first.id;
    const GLuint secondId = second.id;

    first = std::move(second);
    EXPECT_FALSE(glIsProgram(firstId));
    EXPECT_EQ(first.id, secondId);
    EXPECT_NE(first.linked, 0);
    EXPECT_EQ(first.samplers.size(), 3u);
    EXPECT_EQ(second.id, 0u);
    EXPECT_EQ(second.linked, 0);

    ShaderProgram third(std::move(first));
    EXPECT_EQ(third.id, secondId);
    EXPECT_EQ(first.id, 0u);
    EXPECT_EQ(first.linked, 0);
}

TEST(ReadTextFile, ReadsEveryByteAndGivesEmptyForAMissingFile) {
    const std::string path = ::testing::TempDir() + "stillflow_read_text_file.bin";
    const std::string bytes("line\r\nwith\0nul", 14);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    EXPECT_EQ(readTextFile(path.c_str()), bytes);
    std::remove(path.c_str());
    EXPECT_EQ(readTextFile(path.c_str()), "");
    EXPECT_EQ(readTextFile(::testing::TempDir().c_str()), "") << "a directory reads as empty";
}

// The define must follow the #version line, which has to stay the first
// directive for the source to compile at all.
TEST(WithDefine, GoesRightAfterTheVersionLine) {
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"#version 130\nvoid main() {}\n", "#version 130\n#define SHARP\nvoid main() {}\n"},
        {"// comment\n#version 130\r\nbody", "// comment\n#version 130\r\n#define SHARP\nbody"},
        {"#version 130", "#version 130\n#define SHARP\n"},
        {"void main() {}\n", "#define SHARP\nvoid main() {}\n"},
        {"", "#define SHARP\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(withDefine(c.source, "SHARP"), c.expected) << c.source;
}

// The variant really is built with the name defined: a fragment shader that
// only compiles with it.
TEST(WithDefine, BuildsTheVariantOfAShaderFile) {
    const std::string vertex =
        "#version 130\nin vec3 position;\nvoid main() { gl_Position = vec4(position, 1.0); }\n";
    const std::string fragment = "#version 130\n#ifndef VARIANT\n#error VARIANT is not defined\n#endif\n"
                                 "void main() { gl_FragColor = vec4(1.0); }\n";
    EXPECT_EQ(ShaderProgram(vertex, fragment).linked, GL_FALSE);
    EXPECT_EQ(ShaderProgram(vertex, withDefine(fragment, "VARIANT")).linked, GL_TRUE);
}

}  // namespace
