#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "flow/grid.h"
#include "gpu/flow_upload.h"
#include "gpu/render_targets.h"
#include "gpu/texture.h"
#include "support/gl_test.h"
#include "support/pictures.h"

namespace {

static_assert(!std::is_copy_constructible<Texture>::value && !std::is_copy_assignable<Texture>::value,
              "a copied Texture would delete its name twice");
static_assert(std::is_nothrow_move_constructible<Texture>::value &&
                  std::is_nothrow_move_assignable<Texture>::value,
              "Textures live in std::array and are swapped every frame");

GLint activeUnit() {
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    return unit;
}

GLint boundTexture2D() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

TEST(Texture, NeverUploadedTextureGetsANameWhenBound) {
    Texture texture;
    texture.bind();
    const GLuint name = texture.id();
    EXPECT_NE(name, 0u);
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(texture.id(), name) << "the name is generated once";
}

TEST(Texture, MoveDeletesTheDestinationsNameOnceAndEmptiesTheSource) {
    GLuint destinationName = 0;
    GLuint sourceName = 0;
    Texture destination;
    {
        Texture source;
        destination.bind();
        source.bind();
        destinationName = destination.id();
        sourceName = source.id();

        destination = std::move(source);
        EXPECT_FALSE(glIsTexture(destinationName));
        EXPECT_EQ(destination.id(), sourceName);
    }  // the moved-from source is destroyed here and must delete nothing
    EXPECT_TRUE(glIsTexture(sourceName));

    // The freed name may be handed out again; nothing may delete it a second
    // time on behalf of the texture that used to own it.
    Texture reuser;
    reuser.bind();
    const GLuint reusedName = reuser.id();
    {
        Texture moved(std::move(destination));
        EXPECT_EQ(moved.id(), sourceName);
    }
    EXPECT_FALSE(glIsTexture(sourceName));
    EXPECT_TRUE(glIsTexture(reusedName));
}

TEST(Texture, SwapExchangesNamesWithoutDeletingEither) {
    Texture a;
    Texture b;
    a.bind();
    b.bind();
    const GLuint nameA = a.id();
    const GLuint nameB = b.id();
    std::swap(a, b);
    EXPECT_EQ(a.id(), nameB);
    EXPECT_EQ(b.id(), nameA);
    EXPECT_TRUE(glIsTexture(nameA));
    EXPECT_TRUE(glIsTexture(nameB));
}

TEST(Texture, SizeQueriesReportTheUploadAndLeaveItBoundOnUnitZero) {
    Texture texture;
    texture.upload(GL_RGBA8, 7, 5, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glActiveTexture(GL_TEXTURE3);
    EXPECT_EQ(texture.width(), 7);
    EXPECT_EQ(activeUnit(), GL_TEXTURE0);
    glActiveTexture(GL_TEXTURE2);
    EXPECT_EQ(texture.height(), 5);
    EXPECT_EQ(activeUnit(), GL_TEXTURE0);
    EXPECT_EQ(boundTexture2D(), static_cast<GLint>(texture.id()));
}

TEST(Texture, BindOnAUnitLeavesThatUnitActive) {
    Texture texture;
    texture.bind(4);
    EXPECT_EQ(activeUnit(), GL_TEXTURE0 + 4);
    EXPECT_EQ(boundTexture2D(), static_cast<GLint>(texture.id()));
    glActiveTexture(GL_TEXTURE0);
}

// Rows of an odd byte width would be skewed by the default unpack alignment
// of 4; any unpack state left behind by others must not matter either.
TEST(Texture, UploadReadsTightRowsWhateverUnpackStateWasLeft) {
    const ImageGrid picture = makeTestPicture(3, 3);
    std::vector<std::uint8_t> rgb;
    for (std::int64_t i = 0; i < picture.cellCount(); ++i) {
        rgb.push_back(picture.data()[i].r);
        rgb.push_back(picture.data()[i].g);
        rgb.push_back(picture.data()[i].b);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 17);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 1);
    Texture texture;
    texture.upload(GL_RGB8, 3, 3, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    const std::vector<std::uint8_t> back = readRgbaBytes(texture);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(back[i * 4 + 0], rgb[i * 3 + 0]) << i;
        EXPECT_EQ(back[i * 4 + 1], rgb[i * 3 + 1]) << i;
        EXPECT_EQ(back[i * 4 + 2], rgb[i * 3 + 2]) << i;
    }
    EXPECT_EQ(textureParameter(texture, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(texture, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(texture, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(textureParameter(texture, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
}

void expectIdentityLayer(Texture& layer, int width, int height) {
    ASSERT_EQ(layer.width(), width);
    ASSERT_EQ(layer.height(), height);
    const std::vector<float> texels = readRgFloats(layer);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * width + x) * 2u;
            EXPECT_EQ(texels[i], static_cast<float>(x)) << x << "," << y;
            EXPECT_EQ(texels[i + 1], static_cast<float>(y)) << x << "," << y;
        }
    }
}

TEST(CreateRenderTargets, BuildsEveryTargetAtThePictureSize) {
    const ImageGrid picture = makeTestPicture(3, 2);
    RenderTargets targets;
    createRenderTargets(picture, targets);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectIdentityLayer(targets.current[i], 3, 2);
        expectIdentityLayer(targets.scratch[i], 3, 2);
    }
    for (float value : readRgFloats(targets.flow)) EXPECT_EQ(value, 0.0f);
    const std::vector<std::uint8_t> pictureBack = readRgbaBytes(targets.picture);
    EXPECT_EQ(0, std::memcmp(pictureBack.data(), picture.data(), picture.byteCount()));
    EXPECT_EQ(targets.output.width(), 3);
    EXPECT_EQ(targets.output.height(), 2);
}

TEST(CreateRenderTargets, SetsTheFilteringAndWrapOfEachTarget) {
    RenderTargets targets;
    createRenderTargets(makeTestPicture(4, 4), targets);
    struct Expected {
        Texture* texture;
        GLint minFilter, magFilter, wrap;
    };
    const Expected expected[] = {
        {&targets.picture, GL_LINEAR, GL_LINEAR, GL_MIRRORED_REPEAT},
        {&targets.flow, GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},
        {&targets.current[0], GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},
        {&targets.current[2], GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},
        {&targets.scratch[1], GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE},
        {&targets.output, GL_LINEAR, GL_NEAREST, GL_CLAMP_TO_EDGE},
    };
    for (std::size_t i = 0; i < sizeof(expected) / sizeof(expected[0]); ++i) {
        SCOPED_TRACE(i);
        const Expected& e = expected[i];
        EXPECT_EQ(textureParameter(*e.texture, GL_TEXTURE_MIN_FILTER), e.minFilter);
        EXPECT_EQ(textureParameter(*e.texture, GL_TEXTURE_MAG_FILTER), e.magFilter);
        EXPECT_EQ(textureParameter(*e.texture, GL_TEXTURE_WRAP_S), e.wrap);
        EXPECT_EQ(textureParameter(*e.texture, GL_TEXTURE_WRAP_T), e.wrap);
    }
}

TEST(CreateRenderTargets, SecondCallReplacesEveryTargetAtTheNewSize) {
    RenderTargets targets;
    createRenderTargets(makeTestPicture(3, 2), targets);
    std::vector<GLuint> firstNames;
    for (Texture* texture : allTargets(targets)) firstNames.push_back(texture->id());

    createRenderTargets(makeTestPicture(5, 4), targets);
    for (GLuint name : firstNames) EXPECT_FALSE(glIsTexture(name)) << "name " << name << " leaked";
    for (Texture* texture : allTargets(targets)) {
        EXPECT_EQ(texture->width(), 5);
        EXPECT_EQ(texture->height(), 4);
    }
    expectIdentityLayer(targets.current[1], 5, 4);
    expectIdentityLayer(targets.scratch[2], 5, 4);
}

TEST(UploadFlowField, ReplacesTheFlowTextureWithTheFieldUnderANewName) {
    FlowGrid field(4, 3);
    for (std::int32_t y = 0; y < 3; ++y) {
        for (std::int32_t x = 0; x < 4; ++x) field.at(x, y) = Vec2{x * 0.5f - 1.0f, y * -2.25f + 0.125f};
    }
    Texture flow;
    uploadFlowField(FlowGrid(4, 3), flow);
    const GLuint firstName = flow.id();

    uploadFlowField(field, flow);
    EXPECT_NE(flow.id(), firstName);
    EXPECT_FALSE(glIsTexture(firstName));
    const std::vector<float> back = readRgFloats(flow);
    ASSERT_EQ(back.size(), 24u);
    EXPECT_EQ(0, std::memcmp(back.data(), field.data(), field.byteCount()));
    EXPECT_EQ(textureParameter(flow, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(flow, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(flow, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
}

}  // namespace
