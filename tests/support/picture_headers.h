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

// A whole PNG of width x height black 8-bit grey pixels, compressed as a
// decompression bomb is: every row is zeros, so the file holds about 13 bits
// of deflate data per 258 bytes of picture (a 30000 x 30000 picture is a
// file of under 6 MB, yet 3.6 GB once decoded to RGBA). Built here, bit by
// bit, so that no fixture is committed and no compression library is needed.
inline std::string zeroFilledPng(std::uint32_t width, std::uint32_t height) {
    // The bytes to compress: per row a filter byte (0) and `width` samples.
    const std::uint64_t count = static_cast<std::uint64_t>(height) * (static_cast<std::uint64_t>(width) + 1);

    // 1. The zlib stream: header, one final block with the fixed Huffman
    //    codes (a literal 0, then matches of 258 at distance 1, the rest as
    //    literals), the Adler-32 of all zeros.
    std::string zlib("\x78\x01", 2);
    std::uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto putBits = [&](std::uint32_t value, int bits) {  // LSB first, as deflate packs them
        bitBuffer |= value << bitCount;
        bitCount += bits;
        while (bitCount >= 8) {
            zlib.push_back(static_cast<char>(bitBuffer & 0xFF));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    auto putCode = [&](std::uint32_t code, int bits) {  // Huffman codes go most significant bit first
        for (int i = bits - 1; i >= 0; --i) putBits((code >> i) & 1u, 1);
    };
    putBits(1, 1);                     // BFINAL
    putBits(1, 2);                     // BTYPE 01: fixed codes
    putCode(0x30, 8);                  // literal 0
    std::uint64_t left = count - 1;
    for (; left >= 258; left -= 258) {
        putCode(0xC5, 8);              // length 258 (code 285)
        putCode(0, 5);                 // distance 1 (code 0)
    }
    for (; left > 0; --left) putCode(0x30, 8);
    putCode(0, 7);                     // end of block (256)
    if (bitCount > 0) putBits(0, 8 - bitCount);
    const std::uint32_t adler = (static_cast<std::uint32_t>(count % 65521u) << 16) | 1u;
    for (int shift = 24; shift >= 0; shift -= 8) zlib.push_back(static_cast<char>((adler >> shift) & 0xFF));

    // 2. The chunks, each with its CRC-32.
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto putBigEndian = [&png](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<char>((value >> shift) & 0xFF));
    };
    auto chunk = [&](const char* type, const std::string& data) {
        putBigEndian(static_cast<std::uint32_t>(data.size()));
        const std::string typed = std::string(type, 4) + data;
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char c : typed) {
            crc ^= static_cast<std::uint8_t>(c);
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        png += typed;
        putBigEndian(~crc);
    };
    std::string header;
    for (const std::uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8 bits, grey, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", zlib);
    chunk("IEND", "");
    return png;
}
