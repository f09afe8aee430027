#include "gpu/render_targets.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gpu/gl_name.h"

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

// Both halves of a UV layer are linear and clamped. The shaders shipped with
// the program read the layers with texelFetch and interpolate by hand in full
// float precision, so no filter applies to them; the filter is for the
// shader files a scene folder brings (they are read from its working
// directory): "advect.frag" is promised its "image" layer linear and clamped,
// so one that samples a layer with texture() reads it between texels and past
// the edge as that promise says. The flow texture keeps the same promise.
void createIdentityLayer(const FlowGrid& identity, Texture& layer) {
    replaceTexture(layer, GL_RG32F, identity.width, identity.height, GL_RG, GL_FLOAT, identity.data(),
                   {{GL_TEXTURE_MAG_FILTER, GL_LINEAR}, {GL_TEXTURE_MIN_FILTER, GL_LINEAR}});
}

}  // namespace

GLenum pixelTypeForInternalFormat(GLint internalFormat) {
    for (const FormatType& entry : formatTypes) {
        if (entry.internalFormat == internalFormat) return entry.type;
    }
    return GL_INVALID_VALUE;
}

void createRenderTargets(const ImageGrid& picture, RenderTargets& targets) {
    // 1. The picture, mirrored past its edges so displaced positions that
    //    leave it still read picture colours.
    replaceTexture(targets.picture, GL_RGBA8, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE,
                   picture.data(),
                   {{GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                    {GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                    {GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT},
                    {GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT}});

    // 2-4. The flow, the layers and the output at the picture's size.
    createAnimationLayers(picture.width, picture.height, targets);
}

void copyLayer(RenderTargets& targets, std::size_t from, std::size_t to) {
    Texture& source = targets.current[from];
    Texture& destination = targets.current[to];
    const GLint width = source.width();
    const GLint height = source.height();
    Framebuffer read;
    Framebuffer draw;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read.id());
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, source.id(), 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw.id());
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, destination.id(), 0);
    // A blit is clipped by the scissor box: none here, whatever drew last.
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (scissored) glEnable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void createAnimationLayers(std::int32_t w, std::int32_t h, RenderTargets& targets) {
    // 2. A zero flow: no motion until the first flow upload.
    {
        const std::size_t floatCount = static_cast<std::size_t>(gridCellCount(w, h)) * 2u;
        const std::vector<float> zeros(floatCount, 0.0f);
        replaceTexture(targets.flow, GL_RG32F, w, h, GL_RG, pixelTypeForInternalFormat(GL_RG32F),
                       zeros.empty() ? nullptr : zeros.data(),
                       {{GL_TEXTURE_MAG_FILTER, GL_LINEAR}, {GL_TEXTURE_MIN_FILTER, GL_LINEAR}});
    }

    // 3. Both halves of every UV layer start at the identity, made once
    //    for the six (a photo's is a few hundred megabytes).
    {
        const FlowGrid identity = makeIdentityGrid(w, h);
        for (std::size_t i = 0; i < 3; ++i) {
            createIdentityLayer(identity, targets.current[i]);
            createIdentityLayer(identity, targets.scratch[i]);
        }
    }

    // 4. The output, written by the displace pass every frame.
    replaceTexture(targets.output, GL_RGBA8, w, h, GL_RGBA, GL_UNSIGNED_BYTE, nullptr,
                   {{GL_TEXTURE_MIN_FILTER, GL_LINEAR}, {GL_TEXTURE_MAG_FILTER, GL_NEAREST}});
}

void releaseRenderTargets(RenderTargets& targets) {
    targets.output = Texture();
    for (Texture& layer : targets.scratch) layer = Texture();
    for (Texture& layer : targets.current) layer = Texture();
    targets.flow = Texture();
    targets.picture = Texture();
}
