#include "gpu/shader_program.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/regular_file.h"

std::string readTextFile(const char* path) {
    // Only a regular file: a FIFO named like a shader would wait for a writer
    // for ever, a device never end. Its size bounds the read.
    FileCheck check = FileCheck::unusable;
    std::string why;
    std::uint64_t size = 0;
    std::FILE* file = openRegularFile(path, check, why, &size);
    if (!file) return std::string();
    std::string text;
    // Read in chunks up to the size rather than allocating it up front, so
    // that a file shrinking under the read costs no more than it holds.
    char chunk[64 * 1024];
    while (text.size() < size) {
        const std::size_t ask = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof(chunk), size - text.size()));
        const std::size_t got = std::fread(chunk, 1, ask, file);
        if (got == 0) break;
        text.append(chunk, got);
    }
    if (text.size() < size) text.clear();
    std::fclose(file);
    return text;
}

GLuint compileShader(GLenum type, const std::string& source, GLint* compiled) {
    const GLuint shader = glCreateShader(type);
    // One NUL-terminated string, no length array: the text ends at its first
    // NUL byte.
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    if (logLength > 0) {
        std::string log(static_cast<std::size_t>(logLength), '\0');
        GLsizei written = 0;
        glGetShaderInfoLog(shader, logLength, &written, &log[0]);
        // Drops the log's terminating NUL, and whatever a driver that
        // over-reports the length left unwritten.
        log.resize(static_cast<std::size_t>(written < logLength ? written : logLength - 1));
        std::printf("%s\n", log.c_str());
    }
    if (compiled) {
        *compiled = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, compiled);
    }
    return shader;
}

ShaderProgram::ShaderProgram(const std::string& vertexSource, const std::string& fragmentSource) {
    // 1. Compile both stages; a failed compile surfaces as a failed link.
    const GLuint vertexShader = compileShader(GL_VERTEX_SHADER, vertexSource, &vertexCompiled);
    const GLuint fragmentShader = compileShader(GL_FRAGMENT_SHADER, fragmentSource, &fragmentCompiled);

    // 2. Link and keep the status and log for the caller to report.
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    if (logLength > 0) {
        log.assign(static_cast<std::size_t>(logLength), '\0');
        GLsizei written = 0;
        glGetProgramInfoLog(program, logLength, &written, &log[0]);
        log.resize(static_cast<std::size_t>(written < logLength ? written : logLength - 1));
    }

    // 3. The shader objects are not needed once linked.
    glDetachShader(program, vertexShader);
    glDetachShader(program, fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);

    // 4. One texture unit per active sampler, in the driver's enumeration
    //    order. A sampler array gets a single slot; shadow and integer
    //    samplers are not entered.
    GLint uniformCount = 0;
    GLint maxNameLength = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &uniformCount);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxNameLength);
    GLint nextUnit = 0;
    for (GLint i = 0; i < uniformCount; ++i) {
        std::string name(static_cast<std::size_t>(maxNameLength) + 1, '\0');
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), maxNameLength, &length, &size, &type,
                           &name[0]);
        name.resize(static_cast<std::size_t>(length < 0 ? 0 : length));
        if (type == GL_SAMPLER_1D || type == GL_SAMPLER_2D || type == GL_SAMPLER_3D ||
            type == GL_SAMPLER_CUBE) {
            samplers.push_back(SamplerSlot{name, type, nextUnit});
            ++nextUnit;
        }
    }
    id = program;
}

ShaderProgram::~ShaderProgram() {
    if (id == 0) return;
    glDeleteProgram(id);
}

ShaderProgram::ShaderProgram(ShaderProgram&& other) noexcept
    : id(other.id), linked(other.linked), log(std::move(other.log)),
      samplers(std::move(other.samplers)), vertexCompiled(other.vertexCompiled),
      fragmentCompiled(other.fragmentCompiled) {
    other.id = 0;
    other.linked = 0;
}

ShaderProgram& ShaderProgram::operator=(ShaderProgram&& other) noexcept {
    if (this == &other) return *this;
    if (id != 0) glDeleteProgram(id);
    id = other.id;
    linked = other.linked;
    log = std::move(other.log);
    samplers = std::move(other.samplers);
    vertexCompiled = other.vertexCompiled;
    fragmentCompiled = other.fragmentCompiled;
    other.id = 0;
    other.linked = 0;
    return *this;
}

std::optional<std::size_t> ShaderProgram::findSampler(std::string_view name) const {
    for (std::size_t i = 0; i < samplers.size(); ++i) {
        if (samplers[i].name == name) return i;
    }
    return std::nullopt;
}

namespace {

// The file to blame for a program that did not link, in one line: the
// driver's logs (on standard output) say what is wrong but not in which
// file, and an empty source only makes it complain of an unexpected end.
std::string linkFailureLine(const char* vertexPath, const std::string& vertexSource, const char* fragmentPath,
                            const std::string& fragmentSource, const char* defineName,
                            const ShaderProgram& program) {
    const auto quoted = [](const char* path) { return std::string("\"") + path + "\""; };
    const char* unreadable = fragmentSource.empty() ? fragmentPath : vertexSource.empty() ? vertexPath : nullptr;
    if (unreadable) {
        return "cannot read shader file " + quoted(unreadable) +
               ": it must be a readable, non-empty file in the working directory (stillflow-new and "
               "make_demo_scene write it)";
    }
    const std::string variant = defineName ? std::string(" with ") + defineName + " defined" : std::string();
    if (program.fragmentCompiled == 0) {
        return "shader file " + quoted(fragmentPath) + " does not compile" + variant +
               " (the compiler's log is on standard output)";
    }
    if (program.vertexCompiled == 0) {
        return "shader file " + quoted(vertexPath) + " does not compile (the compiler's log is on standard output)";
    }
    return "shader files " + quoted(vertexPath) + " and " + quoted(fragmentPath) + variant +
           " compile but do not link (the linker's log is on standard output)";
}

}  // namespace

std::string withDefine(const std::string& source, const char* name) {
    const std::string define = std::string("#define ") + name + "\n";
    // The #version line (only comments and blank lines may come before it).
    const std::size_t version = source.rfind("#version", 0) == 0 ? 0 : source.find("\n#version");
    if (version == std::string::npos) return define + source;
    const std::size_t lineEnd = source.find('\n', version + 1);
    if (lineEnd == std::string::npos) return source + "\n" + define;
    return source.substr(0, lineEnd + 1) + define + source.substr(lineEnd + 1);
}

ShaderProgram loadProgram(const char* vertexPath, const char* fragmentPath, const char* defineName,
                          std::string* failureLine) {
    const std::string fragmentSource = readTextFile(fragmentPath);
    const std::string vertexSource = readTextFile(vertexPath);
    // An unreadable file stays empty, so that it fails to link as before.
    const bool variant = defineName != nullptr && !fragmentSource.empty();
    ShaderProgram program(vertexSource, variant ? withDefine(fragmentSource, defineName) : fragmentSource);
    if (program.linked == 0 && failureLine) {
        *failureLine = linkFailureLine(vertexPath, vertexSource, fragmentPath, fragmentSource, defineName, program);
    }
    return program;
}

void bindSampler(ShaderProgram& program, const char* name, Texture& texture) {
    const std::optional<std::size_t> slotIndex = program.findSampler(name);
    if (!slotIndex) {
        std::printf("sampler %s does not exist!\n", name);
        return;
    }
    const SamplerSlot& slot = program.samplers[*slotIndex];
    if (slot.type != GL_SAMPLER_2D) std::printf("wrong sampler type\n");
    texture.bind(slot.unit);
    glUseProgram(program.id);
    glUniform1i(glGetUniformLocation(program.id, name), slot.unit);
}

GLint uniformLocation(const ShaderProgram& program, const char* name) {
    return program.id != 0 ? glGetUniformLocation(program.id, name) : -1;
}

void setUniform(ShaderProgram& program, const char* name, float x) {
    glUseProgram(program.id);
    glUniform1f(glGetUniformLocation(program.id, name), x);
}

void setUniform(ShaderProgram& program, const char* name, float x, float y) {
    glUseProgram(program.id);
    glUniform2f(glGetUniformLocation(program.id, name), x, y);
}

GLint attributeLocation(ShaderProgram& program, const char* name) {
    glUseProgram(program.id);
    return glGetAttribLocation(program.id, name);
}
