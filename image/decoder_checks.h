#pragma once
// Checks run on a picture file's bytes before they reach the stb_image
// decoder (version 2.27, as packaged), for two kinds of corrupt file it
// mishandles:
// - a JPEG Huffman table declaring more than 256 codes: the decoder copies
//   the declared count into tables of 256 entries, writing past them;
// - a binary PNM file, or an uncompressed TGA file, shorter than its header
//   declares: the decoder ignores the short read and returns the rest of
//   its pixel buffer uninitialised;
// - an uncompressed BMP file shorter than its header declares: the decoder
//   reads zeros past the end, so a header of a few dozen bytes declaring
//   16384 x 16384 pixels decodes, slowly, into a black picture of that size.
// Picture loading refuses such files.

#include <cstddef>
#include <cstdint>

// True unless the bytes are one of the corrupt files above.
bool decoderCanTake(const std::uint8_t* bytes, std::size_t size);

// True when the bytes start like a JPEG stream (0xFF..., 0xD8) as the
// decoder detects one.
bool looksLikeJpeg(const std::uint8_t* bytes, std::size_t size);

// False when the bytes are a JPEG stream in which some Huffman table (DHT
// segment) that the decoder could reach declares more than 256 codes; true
// otherwise, including for anything that is not a JPEG stream. The walk over
// the markers is more lenient than the decoder's, so it reaches every table
// the decoder would.
bool jpegHuffmanTablesFit(const std::uint8_t* bytes, std::size_t size);

// False when the bytes are a binary PNM file (P5 or P6) whose samples after
// the header are fewer than its width, height, channels and sample size
// need; true otherwise, including for anything that is not such a file.
bool pnmSamplesComplete(const std::uint8_t* bytes, std::size_t size);

// False when the bytes are an uncompressed true-colour or grey TGA file
// without a colour map whose pixel data, after the header and image ID, is
// shorter than width * height * channels; true otherwise.
bool tgaSamplesComplete(const std::uint8_t* bytes, std::size_t size);

// False when the bytes are an uncompressed BMP file whose pixel rows, from
// the pixel offset its header gives, are shorter than its width, height and
// bits per pixel need (rows padded to 4 bytes); true otherwise.
bool bmpPixelsComplete(const std::uint8_t* bytes, std::size_t size);
