#include <gtest/gtest.h>

#include "gpu/render_targets.h"

namespace {

struct FormatCase {
    GLint internalFormat;
    GLenum type;
};

// A sample of every row of the table, and formats that must stay outside it.
const FormatCase formatCases[] = {
    {GL_RG32F, GL_FLOAT},
    {GL_R32F, GL_FLOAT},
    {GL_DEPTH_COMPONENT32F, GL_FLOAT},
    {GL_RGBA8, GL_UNSIGNED_BYTE},
    {GL_SRGB8_ALPHA8, GL_UNSIGNED_BYTE},
    {GL_RGB8UI, GL_UNSIGNED_BYTE},
    {GL_RGB8I, GL_BYTE},
    {GL_RG16UI, GL_UNSIGNED_SHORT},
    {GL_RGBA16I, GL_SHORT},
    {GL_DEPTH_COMPONENT24, GL_UNSIGNED_INT},
    {GL_RGBA32UI, GL_UNSIGNED_INT},
    {GL_RG32I, GL_INT},
    {GL_RGBA32F, GL_INVALID_VALUE},
    {GL_RGBA16F, GL_INVALID_VALUE},
    {GL_RG16F, GL_INVALID_VALUE},
    {GL_RGBA, GL_INVALID_VALUE},
    {0, GL_INVALID_VALUE},
};

TEST(PixelTypeForInternalFormat, SizedFormatsMapToTheirComponentTypeAndOthersToInvalidValue) {
    for (const FormatCase& c : formatCases) {
        EXPECT_EQ(pixelTypeForInternalFormat(c.internalFormat), c.type)
            << "internal format 0x" << std::hex << c.internalFormat;
    }
}

// Every entry of the table is a distinct sized format with a real type:
// counting the hits over the whole enum range finds exactly 36.
TEST(PixelTypeForInternalFormat, TableHoldsThirtySixFormats) {
    int known = 0;
    for (GLint format = 0; format < 0x10000; ++format) {
        if (pixelTypeForInternalFormat(format) != GL_INVALID_VALUE) ++known;
    }
    EXPECT_EQ(known, 36);
}

}  // namespace
