#include "image/decoder_checks.h"

#include <climits>

#include <stb_image.h>

namespace {

// JPEG markers (ITU T.81, table B.1).
constexpr std::uint8_t kMarkerPrefix = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kDefineHuffmanTables = 0xC4;
constexpr std::uint8_t kFirstRestart = 0xD0;
constexpr std::uint8_t kLastRestart = 0xD7;
constexpr std::uint8_t kTemporary = 0x01;

// A Huffman table holds at most 256 symbols; the decoder's arrays are that
// large. Each table starts with a class/id byte and 16 code-length counts.
constexpr unsigned kMostHuffmanCodes = 256;
constexpr std::size_t kHuffmanTableHeader = 17;

// Little-endian header fields of the TGA and BMP formats; the caller has
// checked that the bytes are there.
std::uint32_t le16At(const std::uint8_t* bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8);
}

std::uint32_t le32At(const std::uint8_t* bytes, std::size_t at) {
    return le16At(bytes, at) | (le16At(bytes, at + 2) << 16);
}

// Reads past the end as 0, as the decoder does.
struct Cursor {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t at(std::size_t position) const { return position < size ? bytes[position] : 0; }
};

// Walks the tables of one DHT segment the way the decoder consumes them:
// table after table while the segment's remaining length is positive, each
// table's size taken from its own counts.
bool huffmanSegmentFits(const Cursor& cursor, std::size_t position, long length) {
    long remaining = length - 2;
    while (remaining > 0) {
        if (position >= cursor.size) return true;  // the decoder reads zeros from here
        unsigned codes = 0;
        for (std::size_t i = 1; i <= 16; ++i) codes += static_cast<unsigned>(cursor.at(position + i));
        if (codes > kMostHuffmanCodes) return false;
        position += kHuffmanTableHeader + codes;
        remaining -= static_cast<long>(kHuffmanTableHeader + codes);
    }
    return true;
}

}  // namespace

bool looksLikeJpeg(const std::uint8_t* bytes, std::size_t size) {
    std::size_t position = 0;
    if (size == 0 || bytes[0] != kMarkerPrefix) return false;
    while (position < size && bytes[position] == kMarkerPrefix) ++position;
    return position < size && bytes[position] == kStartOfImage;
}

bool jpegHuffmanTablesFit(const std::uint8_t* bytes, std::size_t size) {
    if (!bytes || !looksLikeJpeg(bytes, size)) return true;
    const Cursor cursor{bytes, size};
    std::size_t position = 0;
    while (position < size) {
        // Next marker: skip anything up to a 0xFF (the decoder skips padding
        // between segments and resynchronises after entropy-coded data), then
        // the fill bytes.
        while (position < size && bytes[position] != kMarkerPrefix) ++position;
        while (position < size && bytes[position] == kMarkerPrefix) ++position;
        if (position >= size) return true;
        const std::uint8_t marker = bytes[position++];

        // Stuffed zeros, restarts and markers without a length carry no segment.
        if (marker == 0x00 || marker == kTemporary || marker == kStartOfImage ||
            (marker >= kFirstRestart && marker <= kLastRestart)) {
            continue;
        }
        if (marker == kEndOfImage) return true;

        // Every other marker has a big-endian length that counts itself.
        const long length = static_cast<long>((cursor.at(position) << 8) | cursor.at(position + 1));
        if (marker == kDefineHuffmanTables && !huffmanSegmentFits(cursor, position + 2, length)) return false;
        if (length >= 2) position += static_cast<std::size_t>(length);
    }
    return true;
}

namespace {

// The PNM header as the decoder reads it: "P5" or "P6", then width, height
// and maximum value as decimal digits separated by whitespace and "#"
// comments, then one more character. Mirrors its byte consumption exactly,
// including reading 0 at the end of the data.
struct PnmHeaderReader {
    const std::uint8_t* bytes;
    std::size_t size;
    std::size_t position = 0;
    char c = 0;

    bool atEnd() const { return position >= size; }
    char next() { return position < size ? static_cast<char>(bytes[position++]) : 0; }
    static bool isSpace(char v) { return v == ' ' || v == '\t' || v == '\n' || v == '\v' || v == '\f' || v == '\r'; }
    void skipWhitespace() {
        for (;;) {
            while (!atEnd() && isSpace(c)) c = next();
            if (atEnd() || c != '#') break;
            while (!atEnd() && c != '\n' && c != '\r') c = next();
        }
    }
    void skipInteger() {
        while (!atEnd() && c >= '0' && c <= '9') c = next();
    }
};

// Bytes of header before the first sample of a binary PNM file; 0 when the
// bytes are not one.
std::size_t pnmHeaderLength(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return 0;
    PnmHeaderReader reader{bytes, size};
    reader.position = 2;
    reader.c = reader.next();
    reader.skipWhitespace();
    reader.skipInteger();  // width
    reader.skipWhitespace();
    reader.skipInteger();  // height
    reader.skipWhitespace();
    reader.skipInteger();  // maximum value
    return reader.position;
}

}  // namespace

bool pnmSamplesComplete(const std::uint8_t* bytes, std::size_t size) {
    if (!bytes) return true;
    const std::size_t header = pnmHeaderLength(bytes, size);
    if (header == 0) return true;
    // The decoder's own reading of the sizes, overflow quirks included.
    if (size > static_cast<std::size_t>(INT_MAX)) return true;
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &channels)) return true;
    if (width < 1 || height < 1 || channels < 1) return true;  // the decoder refuses these itself
    const std::uint64_t sampleBytes = stbi_is_16_bit_from_memory(bytes, static_cast<int>(size)) ? 2 : 1;
    const std::uint64_t needed = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                                 static_cast<std::uint64_t>(channels) * sampleBytes;
    return size - header >= needed;
}

namespace {

// TGA header fields (18 bytes, little-endian).
constexpr std::size_t kTgaHeaderBytes = 18;
constexpr std::size_t kTgaIdLength = 0;
constexpr std::size_t kTgaColourMapType = 1;
constexpr std::size_t kTgaImageType = 2;
constexpr std::size_t kTgaWidth = 12;
constexpr std::size_t kTgaHeight = 14;
constexpr std::size_t kTgaBitsPerPixel = 16;
constexpr std::uint8_t kTgaTrueColour = 2;
constexpr std::uint8_t kTgaGrey = 3;

}  // namespace

bool tgaSamplesComplete(const std::uint8_t* bytes, std::size_t size) {
    // Only uncompressed true-colour or grey files without a colour map are
    // read in rows that can come up short; colour-mapped, run-length and
    // 15/16-bit colour files are read byte by byte, as zeros past the end.
    // A colour map type of 0 fails every format the decoder tries before TGA.
    if (!bytes || size < 3 || bytes[kTgaColourMapType] != 0) return true;
    const std::uint8_t imageType = bytes[kTgaImageType];
    if (imageType != kTgaTrueColour && imageType != kTgaGrey) return true;
    // The decoder reads a header cut short as zeros past the end and takes
    // it for a TGA file all the same, then leaves the pixels it could not
    // read uninitialised: a file shorter than its header is read the same way.
    const Cursor header{bytes, size};
    auto headerLe16 = [&header](std::size_t at) {
        return static_cast<std::uint64_t>(header.at(at) | (header.at(at + 1) << 8));
    };
    const std::uint64_t width = headerLe16(kTgaWidth);
    const std::uint64_t height = headerLe16(kTgaHeight);
    if (width < 1 || height < 1) return true;
    std::uint64_t channels = 0;
    switch (header.at(kTgaBitsPerPixel)) {
        case 8: channels = 1; break;
        case 16: channels = imageType == kTgaGrey ? 2 : 0; break;  // 16-bit colour is read per pixel
        case 24: channels = 3; break;
        case 32: channels = 4; break;
        default: break;
    }
    if (channels == 0) return true;
    const std::uint64_t dataStart = kTgaHeaderBytes + bytes[kTgaIdLength];
    return size >= dataStart && size - dataStart >= width * height * channels;
}

namespace {

// BMP header fields (little-endian): the 14-byte file header, then the info
// header, whose own size tells the layout (12: the old core header with
// 16-bit sizes; 40, 56, 108, 124: 32-bit sizes and a compression field).
constexpr std::size_t kBmpPixelOffset = 10;
constexpr std::size_t kBmpInfoSize = 14;
constexpr std::size_t kBmpSizes = 18;
constexpr std::uint32_t kBmpCoreInfoSize = 12;
constexpr std::uint32_t kBmpUncompressed = 0;
constexpr std::uint32_t kBmpBitFields = 3;

}  // namespace

bool bmpPixelsComplete(const std::uint8_t* bytes, std::size_t size) {
    if (!bytes || size < kBmpSizes + 16 || bytes[0] != 'B' || bytes[1] != 'M') return true;
    const std::uint32_t infoSize = le32At(bytes, kBmpInfoSize);
    const bool core = infoSize == kBmpCoreInfoSize;
    if (!core && infoSize != 40 && infoSize != 56 && infoSize != 108 && infoSize != 124) return true;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    if (core) {
        width = le16At(bytes, kBmpSizes);
        height = le16At(bytes, kBmpSizes + 2);
        bitsPerPixel = le16At(bytes, kBmpSizes + 6);
    } else {
        // The decoder reads both as signed; a negative height means top row first.
        width = static_cast<std::int32_t>(le32At(bytes, kBmpSizes));
        height = static_cast<std::int32_t>(le32At(bytes, kBmpSizes + 4));
        if (height < 0) height = -height;
        bitsPerPixel = le16At(bytes, kBmpSizes + 10);
        const std::uint32_t compression = le32At(bytes, kBmpSizes + 12);
        // Run-length files are refused by the decoder; other compressions too.
        if (compression != kBmpUncompressed && compression != kBmpBitFields) return true;
    }
    if (width < 1 || height < 1) return true;  // the decoder refuses these itself
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 &&
        bitsPerPixel != 32) {
        return true;
    }
    // Rows are padded to whole 32-bit words; the pixels start at the offset
    // the file header gives.
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    const std::uint64_t pixelOffset = le32At(bytes, kBmpPixelOffset);
    const std::uint64_t needed = pixelOffset + rowBytes * static_cast<std::uint64_t>(height);
    return size >= needed;
}

bool decoderCanTake(const std::uint8_t* bytes, std::size_t size) {
    return jpegHuffmanTablesFit(bytes, size) && pnmSamplesComplete(bytes, size) && tgaSamplesComplete(bytes, size) &&
           bmpPixelsComplete(bytes, size);
}
