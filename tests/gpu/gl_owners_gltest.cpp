// The move-only owners of framebuffers, buffer objects and vertex arrays:
// one pattern, checked once for each through its GL object's own queries.

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <utility>

#include "gpu/gl_name.h"
#include "support/gl_test.h"

namespace {

// How a test makes a name a GL object (GL counts a generated name as an
// object only once it has been bound) and asks whether it still is one.
struct FramebufferKind {
    using Owner = Framebuffer;
    static void bind(GLuint name) { glBindFramebuffer(GL_FRAMEBUFFER, name); }
    static void unbind() { glBindFramebuffer(GL_FRAMEBUFFER, 0); }
    static bool exists(GLuint name) { return glIsFramebuffer(name) == GL_TRUE; }
};
struct BufferKind {
    using Owner = GpuBuffer;
    static void bind(GLuint name) { glBindBuffer(GL_ARRAY_BUFFER, name); }
    static void unbind() { glBindBuffer(GL_ARRAY_BUFFER, 0); }
    static bool exists(GLuint name) { return glIsBuffer(name) == GL_TRUE; }
};
struct VertexArrayKind {
    using Owner = VertexArray;
    static void bind(GLuint name) { glBindVertexArray(name); }
    static void unbind() { glBindVertexArray(0); }
    static bool exists(GLuint name) { return glIsVertexArray(name) == GL_TRUE; }
};

template <typename Kind>
class GlOwner : public ::testing::Test {
protected:
    using Owner = typename Kind::Owner;
    // A name the owner generated, made an object.
    static GLuint objectOf(Owner& owner) {
        const GLuint name = owner.id();
        Kind::bind(name);
        Kind::unbind();
        return name;
    }
};
using OwnerKinds = ::testing::Types<FramebufferKind, BufferKind, VertexArrayKind>;
TYPED_TEST_SUITE(GlOwner, OwnerKinds);

TYPED_TEST(GlOwner, GeneratesItsNameOnceOnFirstUse) {
    typename TestFixture::Owner owner;
    const GLuint name = owner.id();
    EXPECT_NE(name, 0u);
    EXPECT_EQ(owner.id(), name);
}

TYPED_TEST(GlOwner, MoveDeletesTheDestinationsNameOnceAndEmptiesTheSource) {
    using Owner = typename TestFixture::Owner;
    Owner destination;
    const GLuint destinationName = TestFixture::objectOf(destination);
    GLuint sourceName = 0;
    {
        Owner source;
        sourceName = TestFixture::objectOf(source);
        destination = std::move(source);
        EXPECT_FALSE(TypeParam::exists(destinationName));
        EXPECT_EQ(destination.id(), sourceName);
    }  // the moved-from source deletes nothing
    EXPECT_TRUE(TypeParam::exists(sourceName));
    {
        Owner moved(std::move(destination));
        EXPECT_EQ(moved.id(), sourceName);
    }
    EXPECT_FALSE(TypeParam::exists(sourceName)) << "the last owner deletes the name";
}

}  // namespace
