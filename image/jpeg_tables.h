#pragma once
// A check run before JPEG data reaches the stb_image decoder (version 2.27,
// as packaged): the decoder copies a Huffman table's declared code count into
// tables of 256 entries without checking it, so a table declaring more codes
// writes past them. Picture loading refuses such files.

#include <cstddef>
#include <cstdint>

// True when the bytes start like a JPEG stream (0xFF..., 0xD8) as the
// decoder detects one.
bool looksLikeJpeg(const std::uint8_t* bytes, std::size_t size);

// False when the bytes are a JPEG stream in which some Huffman table (DHT
// segment) that the decoder could reach declares more than 256 codes; true
// otherwise, including for anything that is not a JPEG stream. The walk over
// the markers is more lenient than the decoder's, so it reaches every table
// the decoder would.
bool jpegHuffmanTablesFit(const std::uint8_t* bytes, std::size_t size);
