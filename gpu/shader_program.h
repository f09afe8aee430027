#pragma once
// ShaderProgram: a linked GL program with a table of its sampler uniforms,
// each given a fixed texture unit at link time, plus the by-name binders the
// passes use. The driver's logs and the binders' complaints go to standard
// output; nothing here ends the process: a program that does not link says
// so in `linked`, and loadProgram names the file to blame.

#include <GL/glew.h>

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "gpu/texture.h"

struct SamplerSlot {
    std::string name;  // exactly as GL reports it
    GLenum type = 0;   // GL_SAMPLER_1D, _2D, _3D or _CUBE
    GLint unit = 0;    // 0, 1, 2, ... in the order GL enumerates the uniforms
};

class ShaderProgram {
public:
    GLuint id = 0;                     // GL program name; 0 = none
    GLint linked = 0;                  // GL_LINK_STATUS right after linking; 0 before any link
    std::string log;                   // program info log without its NUL
    std::vector<SamplerSlot> samplers; // active 1D/2D/3D/cube samplers, enumeration order
    GLint vertexCompiled = 0;          // GL_COMPILE_STATUS of each stage; 0 before any build
    GLint fragmentCompiled = 0;

    ShaderProgram() = default;
    // Compiles both sources (printing any compile log with "%s\n"), links,
    // stores the compile and link status and the link log, deletes the shader
    // objects and fills the sampler table, whether or not the link succeeded.
    ShaderProgram(const std::string& vertexSource, const std::string& fragmentSource);
    ~ShaderProgram();

    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;
    // Takes every field; the source is left with id 0 and linked 0.
    ShaderProgram(ShaderProgram&& other) noexcept;
    // Deletes this program's own GL program (if any) first.
    ShaderProgram& operator=(ShaderProgram&& other) noexcept;

    // Index of the first slot with exactly that name (same length, same
    // bytes). Takes a view so that the per-frame lookups allocate nothing.
    std::optional<std::size_t> findSampler(std::string_view name) const;
};

static_assert(!std::is_copy_constructible<ShaderProgram>::value, "ShaderProgram owns its program");
static_assert(!std::is_copy_assignable<ShaderProgram>::value, "ShaderProgram owns its program");
static_assert(std::is_nothrow_move_constructible<ShaderProgram>::value,
              "ShaderProgram moves must not throw");
static_assert(std::is_nothrow_move_assignable<ShaderProgram>::value,
              "ShaderProgram moves must not throw");

// The whole file as stored (binary mode); "" if it is not a regular file or
// can't be opened or read in full.
std::string readTextFile(const char* path);

// Creates and compiles one shader, printing its info log with "%s\n" when the
// driver gives one. A broken shader is returned all the same and shows as a
// failed link; `compiled`, if given, receives its GL_COMPILE_STATUS, so that
// a message can name the file that did not compile.
GLuint compileShader(GLenum type, const std::string& source, GLint* compiled = nullptr);

// The source with "#define <name>" on the line after its #version directive
// (which must stay the first directive), or as its first line when it has
// none: one shader file builds variants of a program that way.
std::string withDefine(const std::string& source, const char* name);

// Reads the fragment file, then the vertex file, and builds the program; with
// a defineName, the fragment source is built withDefine(source, defineName).
// A file that cannot be read counts as empty, which does not link. When the
// program does not link and `failureLine` is given, it receives one line for
// the user that names the file to blame (without a program name): a file
// that could not be read, else one that did not compile, else both files.
ShaderProgram loadProgram(const char* vertexPath, const char* fragmentPath, const char* defineName = nullptr,
                          std::string* failureLine = nullptr);

// Binds the texture to the named sampler's unit and sets the sampler uniform;
// leaves that unit active and the program in use. An unknown name prints
// "sampler %s does not exist!" and binds nothing; a sampler that is not a
// sampler2D prints "wrong sampler type" and is bound as 2D all the same.
void bindSampler(ShaderProgram& program, const char* name, Texture& texture);

// glUseProgram, then the uniform at its location looked up now; a missing
// uniform is silently ignored by GL.
void setUniform(ShaderProgram& program, const char* name, float x);
void setUniform(ShaderProgram& program, const char* name, float x, float y);

// The uniform's location: -1 when the program has no active uniform of that
// name (a shader that declares one but never uses it has none).
GLint uniformLocation(const ShaderProgram& program, const char* name);

// glUseProgram, then the attribute's location (-1 if absent).
GLint attributeLocation(ShaderProgram& program, const char* name);
