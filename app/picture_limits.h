#pragma once
// Whether a picture of a given size can be animated (or drawn as the
// overlay) here, decided from its size alone before anything is allocated
// for it: from a file's header before decoding, from a document's header
// before reading its pixels.

#include <cstdint>
#include <string>

// What a picture is used for: the animated picture gets every grid and
// render target of the run at its size; the overlay one texture.
enum class PictureUse { animated, overlay };

struct PictureLimits {
    std::int32_t largestSide = 0;      // widest and tallest picture the GPU takes
    const char* sideOwner = "";        // who sets largestSide, for messages ("this GPU")
    std::uint64_t availableBytes = 0;  // memory the run can take; 0: unknown, not checked
    // Asks the GL implementation (context current) whether it could create
    // the largest texture a picture of this use and size needs; null: not asked.
    bool (*gpuTakesPicture)(PictureUse use, std::int32_t width, std::int32_t height) = nullptr;
};

// Before the GL context exists: no GPU offers wider textures than
// kLargestAnyGpuSide, and the machine's available memory.
PictureLimits limitsBeforeGpu();
// Once the context is current: the GPU's own texture and viewport limits,
// its answer for the textures' sizes, and the available memory. The one
// function here that talks to GL: it lives with the GL side of app/
// (picture_limits_of_gpu.cpp), the rest is plain arithmetic.
PictureLimits limitsOfGpu();

// Bytes the run holds for a picture of this size and use, on the CPU and on
// the GPU together, at its peak (start-up).
std::uint64_t pictureMemoryBytes(std::int32_t width, std::int32_t height, PictureUse use);
// Bytes of GPU textures for a picture of this size and use.
std::uint64_t pictureTextureBytes(std::int32_t width, std::int32_t height, PictureUse use);

// Empty when the picture can be used; otherwise what is wrong, as a phrase
// that follows "is" in a message naming the file:
// "40000 x 40000 pixels, larger than the 32768 x 32768 any GPU takes".
std::string pictureSizeProblem(std::int32_t width, std::int32_t height, PictureUse use,
                               const PictureLimits& limits);
