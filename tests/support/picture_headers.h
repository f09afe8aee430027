#pragma once
// Picture files that are only a header: they declare a size without holding
// its pixels, as a decompression bomb or a cut file does. For tests of what
// is refused from the header alone.

#include <cstdint>
#include <string>

// A PNG signature and IHDR chunk declaring width x height 8-bit RGBA pixels,
// and no image data. The decoder does not check chunk CRCs; they are zero.
inline std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    auto putBigEndian = [&bytes](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    };
    putBigEndian(13);
    bytes += "IHDR";
    putBigEndian(width);
    putBigEndian(height);
    bytes += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
    putBigEndian(0);                                  // CRC
    return bytes;
}
