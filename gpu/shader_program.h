#pragma once
// ShaderProgram: a linked GL program with a table of its sampler uniforms,
// each given a fixed texture unit at link time, plus the by-name binders the
// passes use. Diagnostics go to standard output; nothing here ends the process
// (the passes decide that).

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

    ShaderProgram() = default;
    // Compiles both sources (printing any compile log with "%s\n"), links,
    // stores the link status and log, deletes the shader objects and fills the
    // sampler table, whether or not the link succeeded.
    ShaderProgram(const std::string& vertexSource, const std::string& fragmentSource);
    ~ShaderProgram();

    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;
    // Takes all four fields; the source is left with id 0 and linked 0.
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

// The whole file as stored (binary mode); "" if it can't be opened or read
// in full.
std::string readTextFile(const char* path);

// Creates and compiles one shader, printing its info log with "%s\n" when the
// driver gives one. The compile status is not checked: a broken shader shows
// as a failed link.
GLuint compileShader(GLenum type, const std::string& source);

// The source with "#define <name>" on the line after its #version directive
// (which must stay the first directive), or as its first line when it has
// none: one shader file builds variants of a program that way.
std::string withDefine(const std::string& source, const char* name);

// Reads the fragment file, then the vertex file, and builds the program; with
// a defineName, the fragment source is built withDefine(source, defineName).
ShaderProgram loadProgram(const char* vertexPath, const char* fragmentPath, const char* defineName = nullptr);

// Binds the texture to the named sampler's unit and sets the sampler uniform;
// leaves that unit active and the program in use. An unknown name prints
// "sampler %s does not exist!" and binds nothing; a sampler that is not a
// sampler2D prints "wrong sampler type" and is bound as 2D all the same.
void bindSampler(ShaderProgram& program, const char* name, Texture& texture);

// glUseProgram, then the uniform at its location looked up now; a missing
// uniform is silently ignored by GL.
void setUniform(ShaderProgram& program, const char* name, float x);
void setUniform(ShaderProgram& program, const char* name, float x, float y);

// glUseProgram, then the attribute's location (-1 if absent).
GLint attributeLocation(ShaderProgram& program, const char* name);
