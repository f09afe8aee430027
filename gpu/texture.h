#pragma once
// Texture: move-only owner of one GL 2D texture name.
//
// The name is generated lazily: every operation that needs it generates one
// first, so binding a never-uploaded Texture yields a valid, empty texture
// object. All binds go through a texture unit that the call makes active;
// bind() and every query leave unit 0 active. A default-constructed Texture
// holds no name and needs no GL context; so does a moved-from one.

#include <GL/glew.h>

#include <initializer_list>

#include "gpu/gl_name.h"

// Moves, copies and destruction are GlName's: a move takes the name and
// leaves 0 in the source, move-assignment deletes this texture's own name
// first.
class Texture {
public:
    // The GL name, generated first if there is none yet.
    GLuint id() { return name_.id(); }

    // Binds to GL_TEXTURE_2D on unit 0 and leaves unit 0 active.
    void bind();
    // Binds to GL_TEXTURE_2D on the given unit and leaves that unit active.
    void bind(int unit);

    // bind(), then glTexParameteri on GL_TEXTURE_2D.
    void setParameter(GLenum pname, GLint value);

    // Size of level 0 as GL reports it (bind() first, so unit 0 stays active
    // and this texture stays bound there). A query GL rejects leaves the
    // preset GL_INVALID_VALUE (1281) as the answer.
    int width();
    int height();

    // Specifies level 0 from tightly packed rows (unpack alignment 1, no
    // skips, no row length, no byte swapping), row 0 first, without a row
    // flip. data may be null: storage is then allocated undefined. Afterwards
    // the texture is clamped to the edge and filtered GL_NEAREST both ways;
    // callers change only what differs.
    void upload(GLint internalFormat, GLsizei width, GLsizei height, GLenum format, GLenum type,
                const void* data);

private:
    GlName<TextureNames> name_;  // none until the first operation that needs one
};

static_assert(isGlOwner<Texture>, "a Texture is move-only, holds exactly its name, needs no context empty");

// One texture parameter, as glTexParameteri takes it.
struct TextureParameter {
    GLenum name;   // GL_TEXTURE_MIN_FILTER, GL_TEXTURE_WRAP_S, ...
    GLint value;
};

// The one way a texture's content is replaced: never re-specified in place,
// the content is uploaded into a fresh Texture (which generates a new name),
// that is moved into `destination` (deleting its old name), and only then are
// `parameters` set on `destination`, in the order given, on top of the
// upload's clamp-and-nearest defaults. Every replacement thus gives the
// destination a new name.
void replaceTexture(Texture& destination, GLint internalFormat, GLsizei width, GLsizei height,
                    GLenum format, GLenum type, const void* data,
                    std::initializer_list<TextureParameter> parameters);
