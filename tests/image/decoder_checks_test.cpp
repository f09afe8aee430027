#include "image/decoder_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "image/loading.h"
#include "support/scratch_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An 8 x 8 baseline JPEG from the encoder, with its standard Huffman tables.
Bytes encodeJpeg() {
    std::vector<std::uint8_t> pixels(8 * 8 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
    Bytes jpeg;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<Bytes*>(context);
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            out->insert(out->end(), bytes, bytes + size);
        },
        &jpeg, 8, 8, 3, pixels.data(), 90);
    return jpeg;
}

// Offset of the first table's 16 code-length counts in the first DHT segment.
std::size_t firstHuffmanCounts(const Bytes& jpeg) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) return i + 5;  // marker, length, class/id
    }
    return 0;
}

// More than 256 codes, but lengths that still form a valid prefix code, so
// that the decoder builds the table instead of rejecting it.
void overfillTable(Bytes& jpeg, std::size_t counts) {
    std::fill(jpeg.begin() + static_cast<std::ptrdiff_t>(counts),
              jpeg.begin() + static_cast<std::ptrdiff_t>(counts + 16), 0);
    jpeg[counts + 14] = 200;  // 15-bit codes
    jpeg[counts + 15] = 200;  // 16-bit codes
}

class DecoderChecksTest : public ::testing::Test {
protected:
    ScratchFolder scratch_{"stillflow-decoder-test"};
};

TEST_F(DecoderChecksTest, AnEncodedJpegPassesAndLoads) {
    const Bytes jpeg = encodeJpeg();
    ASSERT_TRUE(looksLikeJpeg(jpeg.data(), jpeg.size()));
    EXPECT_TRUE(jpegHuffmanTablesFit(jpeg.data(), jpeg.size()));
    const ImageGrid picture = loadImage(scratch_.writeFile("good.jpg", jpeg).c_str());
    EXPECT_EQ(picture.width, 8);
    EXPECT_EQ(picture.height, 8);
}

TEST_F(DecoderChecksTest, AHuffmanTableOfMoreThan256CodesIsRefusedBeforeDecoding) {
    Bytes jpeg = encodeJpeg();
    const std::size_t counts = firstHuffmanCounts(jpeg);
    ASSERT_NE(counts, 0u);
    overfillTable(jpeg, counts);
    EXPECT_FALSE(jpegHuffmanTablesFit(jpeg.data(), jpeg.size()));
    const std::string path = scratch_.writeFile("overfull.jpg", jpeg);
    EXPECT_TRUE(loadImage(path.c_str()).empty());
    ImageGrid destination(2, 2);
    EXPECT_FALSE(loadImageInto(path.c_str(), &destination));
    EXPECT_EQ(destination.width, 2);
}

TEST_F(DecoderChecksTest, TablesAreFoundAfterScanDataAndNotInsideOtherSegments) {
    const Bytes overfullTable = [] {
        Bytes t = {0xFF, 0xC4, 0x00, 0x13, 0x00};
        for (int i = 0; i < 16; ++i) t.push_back(i >= 14 ? 200 : 0);
        return t;
    }();
    // After a scan: entropy-coded bytes with a stuffed 0xFF 0x00 and a
    // restart marker, then a table the decoder would reach between scans.
    Bytes afterScan = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 63, 0,
                       0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xFF};
    afterScan.insert(afterScan.end(), overfullTable.begin() + 1, overfullTable.end());
    EXPECT_FALSE(jpegHuffmanTablesFit(afterScan.data(), afterScan.size()));

    // The same bytes as the payload of an application segment are skipped
    // by its length, as the decoder skips them.
    Bytes insideApp = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, static_cast<std::uint8_t>(2 + overfullTable.size())};
    insideApp.insert(insideApp.end(), overfullTable.begin(), overfullTable.end());
    insideApp.insert(insideApp.end(), {0xFF, 0xD9});
    EXPECT_TRUE(jpegHuffmanTablesFit(insideApp.data(), insideApp.size()));

    // Padding before the table, and a table cut short by the end of the data.
    Bytes padded = {0xFF, 0xFF, 0xD8, 0x00, 0x17, 0xFF};
    padded.insert(padded.end(), overfullTable.begin(), overfullTable.end());
    EXPECT_FALSE(jpegHuffmanTablesFit(padded.data(), padded.size()));
    const Bytes cut(padded.begin(), padded.end() - 4);
    EXPECT_TRUE(jpegHuffmanTablesFit(cut.data(), cut.size()));
}

TEST_F(DecoderChecksTest, BinaryPnmFilesMustHoldEverySampleTheirHeaderDeclares) {
    auto pnm = [](const std::string& header, std::size_t sampleBytes) {
        Bytes bytes(header.begin(), header.end());
        for (std::size_t i = 0; i < sampleBytes; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 9));
        return bytes;
    };
    struct Case {
        const char* name;
        std::string header;
        std::size_t needed;  // width * height * channels * bytes per sample
    };
    const Case cases[] = {
        {"8-bit colour", "P6\n2 2\n255\n", 12},
        {"8-bit grey with comments", "P5 # made by hand\n3 # width\n2\n255 ", 6},
        {"16-bit grey", "P5\n2 2\n65535\n", 8},
        {"16-bit colour", "P6\n1\t3\r1000\n", 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes complete = pnm(c.header, c.needed);
        EXPECT_TRUE(pnmSamplesComplete(complete.data(), complete.size()));
        EXPECT_TRUE(decoderCanTake(complete.data(), complete.size()));
        Bytes longer = complete;
        longer.push_back(7);
        EXPECT_TRUE(pnmSamplesComplete(longer.data(), longer.size()));
        const Bytes shortOne = pnm(c.header, c.needed - 1);
        EXPECT_FALSE(pnmSamplesComplete(shortOne.data(), shortOne.size()));
        EXPECT_FALSE(decoderCanTake(shortOne.data(), shortOne.size()));

        EXPECT_FALSE(loadImage(scratch_.writeFile("complete.pnm", complete).c_str()).empty());
        EXPECT_TRUE(loadImage(scratch_.writeFile("short.pnm", shortOne).c_str()).empty());
    }
    // Not binary PNM: left to the decoder.
    const Bytes others[] = {{'P', '3', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', '1'}, {'P'}, {'P', '6'}};
    for (const Bytes& bytes : others) EXPECT_TRUE(pnmSamplesComplete(bytes.data(), bytes.size()));
}

TEST_F(DecoderChecksTest, UncompressedTgaFilesMustHoldEveryPixelTheirHeaderDeclares) {
    auto tga = [](std::uint8_t idLength, std::uint8_t imageType, std::uint8_t bits, std::size_t dataBytes) {
        Bytes bytes(18, 0);
        bytes[0] = idLength;
        bytes[2] = imageType;
        bytes[12] = 3;  // width
        bytes[14] = 2;  // height
        bytes[16] = bits;
        bytes[17] = 0x20;  // top row first
        for (std::size_t i = 0; i < idLength + dataBytes; ++i) bytes.push_back(static_cast<std::uint8_t>(40 + i));
        return bytes;
    };
    struct Case {
        const char* name;
        std::uint8_t idLength, imageType, bits;
        std::size_t needed;  // 3 * 2 pixels
    };
    const Case cases[] = {
        {"24-bit colour", 0, 2, 24, 18},
        {"32-bit colour with an image ID", 5, 2, 32, 24},
        {"8-bit grey", 0, 3, 8, 6},
        {"16-bit grey and alpha", 2, 3, 16, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes complete = tga(c.idLength, c.imageType, c.bits, c.needed);
        EXPECT_TRUE(tgaSamplesComplete(complete.data(), complete.size()));
        const Bytes shortOne = tga(c.idLength, c.imageType, c.bits, c.needed - 1);
        EXPECT_FALSE(tgaSamplesComplete(shortOne.data(), shortOne.size()));
        EXPECT_FALSE(decoderCanTake(shortOne.data(), shortOne.size()));

        const ImageGrid picture = loadImage(scratch_.writeFile("complete.tga", complete).c_str());
        EXPECT_EQ(picture.width, 3);
        EXPECT_EQ(picture.height, 2);
        EXPECT_TRUE(loadImage(scratch_.writeFile("short.tga", shortOne).c_str()).empty());
    }
    // A header cut short is read as zeros past its end, and its pixels not
    // at all: refused too.
    const Bytes grey = tga(0, 3, 8, 6);
    const Bytes cutHeader(grey.begin(), grey.begin() + 17);
    EXPECT_FALSE(tgaSamplesComplete(cutHeader.data(), cutHeader.size()));
    EXPECT_TRUE(loadImage(scratch_.writeFile("cut-header.tga", cutHeader).c_str()).empty());
    // Run-length and 15-bit files are read as zeros past the end: left alone.
    const Bytes runLength = tga(0, 10, 24, 2);
    EXPECT_TRUE(tgaSamplesComplete(runLength.data(), runLength.size()));
    const Bytes fifteenBit = tga(0, 2, 15, 2);
    EXPECT_TRUE(tgaSamplesComplete(fifteenBit.data(), fifteenBit.size()));
}

TEST_F(DecoderChecksTest, UncompressedBmpFilesMustHoldEveryRowTheirHeaderDeclares) {
    auto put = [](Bytes& bytes, std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    // A BMP of 3 x 2 pixels (or `height` rows; negative: top row first) with
    // `paletteSize` grey palette entries and `dataBytes` bytes of pixel rows.
    auto bmp = [&put](std::uint32_t infoSize, std::uint16_t bits, std::int32_t height, std::uint32_t paletteSize,
                      std::size_t dataBytes) {
        const std::uint32_t paletteEntry = infoSize == 12 ? 3 : 4;
        const std::uint32_t offset = 14 + infoSize + paletteSize * paletteEntry;
        Bytes b = {'B', 'M'};
        put(b, static_cast<std::uint32_t>(offset + dataBytes), 4);
        put(b, 0, 4);
        put(b, offset, 4);
        put(b, infoSize, 4);
        if (infoSize == 12) {
            put(b, 3, 2);
            put(b, static_cast<std::uint32_t>(height), 2);
            put(b, 1, 2);
            put(b, bits, 2);
        } else {
            put(b, 3, 4);
            put(b, static_cast<std::uint32_t>(height), 4);
            put(b, 1, 2);
            put(b, bits, 2);
            put(b, 0, 4);  // uncompressed
            for (int i = 0; i < 5; ++i) put(b, 0, 4);
            while (b.size() < 14 + infoSize) b.push_back(0);
        }
        for (std::uint32_t i = 0; i < paletteSize; ++i) {
            for (std::uint32_t k = 0; k < paletteEntry; ++k) b.push_back(static_cast<std::uint8_t>(i * 80));
        }
        for (std::size_t i = 0; i < dataBytes; ++i) b.push_back(static_cast<std::uint8_t>(i % 3));
        return b;
    };
    struct Case {
        const char* name;
        std::uint32_t infoSize;
        std::uint16_t bits;
        std::int32_t height;
        std::uint32_t paletteSize;
        std::size_t needed;  // rows padded to 4 bytes
    };
    const Case cases[] = {
        {"24-bit", 40, 24, 2, 0, 2 * 12},
        {"24-bit, top row first", 40, 24, -2, 0, 2 * 12},
        {"32-bit, version 5 header", 124, 32, 2, 0, 2 * 12},
        {"8-bit palette", 40, 8, 2, 3, 2 * 4},
        {"1-bit palette", 40, 1, 2, 2, 2 * 4},
        {"24-bit, core header", 12, 24, 2, 0, 2 * 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes complete = bmp(c.infoSize, c.bits, c.height, c.paletteSize, c.needed);
        EXPECT_TRUE(bmpPixelsComplete(complete.data(), complete.size()));
        const Bytes shortOne(complete.begin(), complete.end() - 1);
        EXPECT_FALSE(bmpPixelsComplete(shortOne.data(), shortOne.size()));
        EXPECT_FALSE(decoderCanTake(shortOne.data(), shortOne.size()));

        const ImageGrid picture = loadImage(scratch_.writeFile("complete.bmp", complete).c_str());
        EXPECT_EQ(picture.width, 3);
        EXPECT_EQ(picture.height, 2);
        EXPECT_TRUE(loadImage(scratch_.writeFile("short.bmp", shortOne).c_str()).empty());
    }
    // A header alone declaring 16384 x 16384 pixels: refused from the header,
    // not decoded into a black picture of that size.
    Bytes headerOnly = bmp(40, 24, 16384, 0, 0);
    headerOnly[18] = 0x00;
    headerOnly[19] = 0x40;  // width 16384
    EXPECT_FALSE(bmpPixelsComplete(headerOnly.data(), headerOnly.size()));
    const std::string path = scratch_.writeFile("header-only.bmp", headerOnly);
    EXPECT_TRUE(loadImage(path.c_str()).empty());
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_FALSE(readPictureSize(path.c_str(), &width, &height));
}

TEST_F(DecoderChecksTest, OtherDataIsNotAJpeg) {
    const Bytes notJpeg[] = {{}, {0xFF}, {0xFF, 0xFF}, {0x89, 'P', 'N', 'G'}, {0xFF, 0xD9, 0xFF, 0xC4}};
    for (const Bytes& bytes : notJpeg) {
        EXPECT_FALSE(looksLikeJpeg(bytes.data(), bytes.size()));
        EXPECT_TRUE(jpegHuffmanTablesFit(bytes.data(), bytes.size()));
    }
}

}  // namespace
