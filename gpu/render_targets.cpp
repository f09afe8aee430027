#include "gpu/render_targets.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

struct FormatType {
    GLint internalFormat;
    GLenum type;
};

// Sized internal formats and the client type whose components match them bit
// for bit. GL_RGBA32F and the half-float formats are deliberately absent.
constexpr FormatType formatTypes[] = {
    {GL_RGB8, GL_UNSIGNED_BYTE},           {GL_RGBA8, GL_UNSIGNED_BYTE},
    {GL_R8, GL_UNSIGNED_BYTE},             {GL_RG8, GL_UNSIGNED_BYTE},
    {GL_R8UI, GL_UNSIGNED_BYTE},           {GL_RG8UI, GL_UNSIGNED_BYTE},
    {GL_SRGB8, GL_UNSIGNED_BYTE},          {GL_SRGB8_ALPHA8, GL_UNSIGNED_BYTE},
    {GL_RGBA8UI, GL_UNSIGNED_BYTE},        {GL_RGB8UI, GL_UNSIGNED_BYTE},
    {GL_R8I, GL_BYTE},                     {GL_RG8I, GL_BYTE},
    {GL_RGBA8I, GL_BYTE},                  {GL_RGB8I, GL_BYTE},
    {GL_R16UI, GL_UNSIGNED_SHORT},         {GL_RG16UI, GL_UNSIGNED_SHORT},
    {GL_RGBA16UI, GL_UNSIGNED_SHORT},      {GL_RGB16UI, GL_UNSIGNED_SHORT},
    {GL_R16I, GL_SHORT},                   {GL_RG16I, GL_SHORT},
    {GL_RGBA16I, GL_SHORT},                {GL_RGB16I, GL_SHORT},
    {GL_DEPTH_COMPONENT24, GL_UNSIGNED_INT}, {GL_DEPTH_COMPONENT32, GL_UNSIGNED_INT},
    {GL_R32UI, GL_UNSIGNED_INT},           {GL_RG32UI, GL_UNSIGNED_INT},
    {GL_RGBA32UI, GL_UNSIGNED_INT},        {GL_RGB32UI, GL_UNSIGNED_INT},
    {GL_R32I, GL_INT},                     {GL_RG32I, GL_INT},
    {GL_RGBA32I, GL_INT},                  {GL_RGB32I, GL_INT},
    {GL_R32F, GL_FLOAT},                   {GL_RG32F, GL_FLOAT},
    {GL_RGB32F, GL_FLOAT},                 {GL_DEPTH_COMPONENT32F, GL_FLOAT},
};
static_assert(sizeof(formatTypes) / sizeof(formatTypes[0]) == 36, "the table has 36 formats");

// Uploads a fresh identity layer and moves it into `layer`.
void createIdentityLayer(std::int32_t width, std::int32_t height, Texture& layer) {
    const FlowGrid identity = makeIdentityGrid(width, height);
    Texture fresh;
    fresh.upload(GL_RG32F, width, height, GL_RG, GL_FLOAT, identity.data());
    layer = std::move(fresh);
    layer.setParameter(GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    layer.setParameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

}  // namespace

GLenum pixelTypeForInternalFormat(GLint internalFormat) {
    for (const FormatType& entry : formatTypes) {
        if (entry.internalFormat == internalFormat) return entry.type;
    }
    return GL_INVALID_VALUE;
}

// Every target is replaced, never re-specified in place: the new content goes
// into a fresh Texture whose move deletes the old name.
void createRenderTargets(const ImageGrid& picture, Texture& pictureTexture, Texture& flowTexture,
                         std::array<Texture, 3>& currentLayers,
                         std::array<Texture, 3>& scratchLayers, Texture& outputTexture) {
    const std::int32_t w = picture.width;
    const std::int32_t h = picture.height;

    // 1. The picture, mirrored past its edges so displaced positions that
    //    leave it still read picture colours.
    {
        Texture fresh;
        fresh.upload(GL_RGBA8, w, h, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
        pictureTexture = std::move(fresh);
        pictureTexture.setParameter(GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        pictureTexture.setParameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        pictureTexture.setParameter(GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
        pictureTexture.setParameter(GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    }

    // 2. A zero flow: no motion until the first flow upload.
    {
        const std::size_t floatCount =
            static_cast<std::size_t>(gridCellCount(w, h)) * 2u;
        std::vector<float> zeros(floatCount, 0.0f);
        Texture fresh;
        fresh.upload(GL_RG32F, w, h, GL_RG, pixelTypeForInternalFormat(GL_RG32F),
                     zeros.empty() ? nullptr : zeros.data());
        flowTexture = std::move(fresh);
        flowTexture.setParameter(GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        flowTexture.setParameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }

    // 3. Both halves of every UV layer start at the identity.
    for (std::size_t i = 0; i < 3; ++i) {
        createIdentityLayer(w, h, currentLayers[i]);
        createIdentityLayer(w, h, scratchLayers[i]);
    }

    // 4. The output, written by the displace pass every frame.
    {
        Texture fresh;
        fresh.upload(GL_RGBA8, w, h, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        outputTexture = std::move(fresh);
        outputTexture.setParameter(GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        outputTexture.setParameter(GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
}
