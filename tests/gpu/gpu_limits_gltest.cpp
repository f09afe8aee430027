#include <gtest/gtest.h>

#include <string>

#include "app/picture_limits.h"
#include "gpu/gpu_limits.h"
#include "gpu/texture.h"

namespace {

TEST(GpuLimits, TheGpuRefusesTexturesBeyondItsSideWithoutAnError) {
    const std::int32_t largest = largestTextureSide();
    EXPECT_GE(largest, 1024) << "OpenGL 3.0 guarantees 1024";
    EXPECT_TRUE(textureSizeSupported(GL_RG32F, 64, 48));
    EXPECT_FALSE(textureSizeSupported(GL_RGBA8, largest + 1, 4));
    EXPECT_FALSE(textureSizeSupported(GL_RG32F, 4, largest + 1));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a proxy query leaves no error behind";

    const PictureLimits limits = limitsOfGpu();
    EXPECT_EQ(limits.largestSide, largest);
    const std::string problem = pictureSizeProblem(largest + 1, 3, PictureUse::animated, limits);
    EXPECT_NE(problem.find("this GPU"), std::string::npos) << problem;
    EXPECT_EQ(pictureSizeProblem(64, 48, PictureUse::animated, limits), "");
}

TEST(GpuLimits, OnlyAnOutOfMemoryErrorCountsAsRunningOutOfMemory) {
    clearGlErrors();
    Texture texture;
    texture.upload(GL_RGBA8, 16, 16, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    EXPECT_FALSE(gpuRanOutOfMemory());
    texture.bind();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, -1, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);  // GL_INVALID_VALUE
    EXPECT_FALSE(gpuRanOutOfMemory());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the errors it read are forgotten";
}

}  // namespace
