#include "flow/document.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/file_size_limit.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Builds .flw bytes field by field, little-endian, independently of the
// writer, so that reader and writer cannot agree on a wrong layout.
struct DocumentBytes {
    Bytes bytes;
    void int32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    void float32(float value) { int32(static_cast<std::int32_t>(bitsOf(value))); }
    void fill(std::uint64_t count, std::uint8_t first) {
        for (std::uint64_t i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(first + i));
    }
};

// A W x H document whose pixel bytes count up from 1 and mask bytes from
// 200, with the given guides and parameters.
Bytes makeDocument(std::int32_t width, std::int32_t height, const std::vector<GuideSegment>& guides,
                   float flowScale = 1.5f, float phaseSpacing = 0.75f) {
    DocumentBytes d;
    d.int32(width);
    d.int32(height);
    const std::uint64_t cells = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    d.fill(4 * cells, 1);
    d.fill(cells, 200);
    d.int32(static_cast<std::int32_t>(guides.size()));
    for (const GuideSegment& g : guides) {
        d.float32(g.x0);
        d.float32(g.y0);
        d.float32(g.x1);
        d.float32(g.y1);
    }
    d.float32(flowScale);
    d.float32(phaseSpacing);
    return d.bytes;
}

class FlowDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedGuides_ = guideSegments;
        // Destinations that a failed read must leave exactly as they are.
        picture_ = ImageGrid(4, 3);
        picture_.at(3, 1) = Rgba8{9, 8, 7, 6};
        pictureStorage_ = picture_.data();
        mask_ = ByteMask(4, 3);
        mask_.at(2, 0) = 77;
        flowScale_ = 123.0f;
        phaseSpacing_ = 4.0f;
        settings_.freeze = true;
        settings_.brushRadius = 32.0f;
        guideSegments = {GuideSegment{1, 2, 3, 4}};
    }
    void TearDown() override {
        guideSegments = savedGuides_;
    }

    std::string writeFile(const Bytes& bytes, const std::string& name = "document.flw") {
        return scratch_.writeFile(name, bytes);
    }

    bool readFile(const std::string& path) {
        return readFlowDocument(path.c_str(), &picture_, &mask_, &flowScale_, &phaseSpacing_, &settings_);
    }

    bool readMemory(const Bytes& bytes, std::size_t size) {
        return readFlowDocumentFromMemory(bytes.data(), size, &picture_, &mask_, &flowScale_, &phaseSpacing_,
                                          &settings_);
    }

    void expectUntouched(const std::string& what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(picture_.width, 4);
        EXPECT_EQ(picture_.height, 3);
        EXPECT_EQ(picture_.data(), pictureStorage_);
        EXPECT_EQ(picture_.at(3, 1).g, 8);
        EXPECT_EQ(mask_.width, 4);
        EXPECT_EQ(mask_.at(2, 0), 77);
        EXPECT_EQ(flowScale_, 123.0f);
        EXPECT_EQ(phaseSpacing_, 4.0f);
        EXPECT_TRUE(settings_.freeze);
        EXPECT_EQ(settings_.brushRadius, 32.0f);
        ASSERT_EQ(guideSegments.size(), 1u);
        EXPECT_EQ(guideSegments[0].y1, 4.0f);
    }

    std::vector<GuideSegment> savedGuides_;
    ScratchFolder scratch_{"stillflow-document-test"};
    ImageGrid picture_;
    const Rgba8* pictureStorage_ = nullptr;
    ByteMask mask_;
    float flowScale_ = 0.0f;
    float phaseSpacing_ = 0.0f;
    DocumentSettings settings_;
};

TEST_F(FlowDocumentTest, ASmallestCompleteDocumentIs65BytesAndReadsEveryField) {
    const Bytes bytes = makeDocument(3, 3, {});
    ASSERT_EQ(bytes.size(), 65u);
    ASSERT_TRUE(readFile(writeFile(bytes)));
    ASSERT_EQ(picture_.width, 3);
    ASSERT_EQ(picture_.height, 3);
    EXPECT_EQ(picture_.at(0, 0).r, 1);
    EXPECT_EQ(picture_.at(0, 0).a, 4);
    EXPECT_EQ(picture_.at(2, 1).r, 1 + 4 * 5);  // row-major: index y * W + x
    EXPECT_EQ(picture_.at(2, 2).a, 36);
    ASSERT_EQ(mask_.width, 3);
    EXPECT_EQ(mask_.at(0, 0), 200);
    EXPECT_EQ(mask_.at(1, 2), 207);
    EXPECT_TRUE(guideSegments.empty());
    EXPECT_EQ(flowScale_, 1.5f);
    EXPECT_EQ(phaseSpacing_, 0.75f);
}

// Guides outside the picture are read as they are; one with a coordinate
// that is not a finite number is left out (it would make the whole field NaN
// and the picture black), and the report counts it.
TEST_F(FlowDocumentTest, GuidesAreReadInOrderOutsideThePictureUnchangedAndNonFiniteOnesLeftOut) {
    const std::vector<GuideSegment> guides = {{-1000.0f, 1e6f, 2.5f, -0.0f},
                                              {kNaN, 1.0f, 1.0f, 1.0f},
                                              {1e30f, -3.0e38f, 3.0e38f, 0.0f},
                                              {1.0f, 1.0f, -kInf, 1.0f},
                                              {0.5f, 1.5f, 2.5f, 3.5f}};
    DocumentReadReport report;
    ASSERT_TRUE(readFlowDocument(writeFile(makeDocument(5, 4, guides)).c_str(), &picture_, &mask_, &flowScale_,
                                 &phaseSpacing_, nullptr, &report));
    const std::vector<GuideSegment> kept = {guides[0], guides[2], guides[4]};
    ASSERT_EQ(guideSegments.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(&guideSegments[i], &kept[i], sizeof(GuideSegment))) << "guide " << i;
    }
    EXPECT_EQ(report.droppedGuides, 2);
    EXPECT_TRUE(readMemory(makeDocument(5, 4, guides), makeDocument(5, 4, guides).size()));
    EXPECT_EQ(guideSegments.size(), kept.size());
}

// A scene holds at most kMostGuides guides: a complete document with one
// more is refused before its guides are allocated, saying why.
TEST_F(FlowDocumentTest, MoreGuidesThanASceneHoldsAreRefused) {
    const std::vector<GuideSegment> most(static_cast<std::size_t>(kMostGuides), GuideSegment{1, 1, 2, 1});
    EXPECT_TRUE(readFile(writeFile(makeDocument(3, 3, most))));
    EXPECT_EQ(guideSegments.size(), most.size());

    SetUp();
    std::vector<GuideSegment> tooMany = most;
    tooMany.push_back(GuideSegment{1, 1, 2, 1});
    const Bytes bytes = makeDocument(3, 3, tooMany);
    DocumentReadReport report;
    EXPECT_FALSE(readFlowDocument(writeFile(bytes).c_str(), &picture_, &mask_, &flowScale_, &phaseSpacing_, nullptr,
                                  &report));
    EXPECT_NE(report.refusal.find("4097 guides, more than the 4096"), std::string::npos) << report.refusal;
    EXPECT_FALSE(readMemory(bytes, bytes.size()));
    expectUntouched("4097 guides");

    FlowDocument document;
    document.picture = ImageGrid(3, 3);
    document.guides = tooMany;
    EXPECT_TRUE(encodeFlowDocument(document).empty());
    std::string error;
    EXPECT_FALSE(writeFlowDocument(scratch_.file("many.flw").c_str(), document, &error));
    EXPECT_NE(error.find("4097 guides"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(scratch_.file("many.flw")));
}

TEST_F(FlowDocumentTest, EveryTruncationFailsAndChangesNothing) {
    const Bytes bytes = makeDocument(3, 3, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    ASSERT_EQ(bytes.size(), 65u + 32u);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(readFile(writeFile(cut))) << size << " bytes";
        EXPECT_FALSE(readMemory(bytes, size)) << size << " bytes";
        expectUntouched(std::to_string(size) + " bytes");
    }
    EXPECT_TRUE(readMemory(bytes, bytes.size()));
}

TEST_F(FlowDocumentTest, BytesAfterThePhaseSpacingAreIgnored) {
    Bytes bytes = makeDocument(3, 4, {{1, 1, 2, 2}}, 3.0f, 0.25f);
    bytes.insert(bytes.end(), {0xff, 0xff, 0xff, 0xff, 0x00, 0x01, 0x02});
    ASSERT_TRUE(readFile(writeFile(bytes)));
    EXPECT_EQ(picture_.height, 4);
    EXPECT_EQ(guideSegments.size(), 1u);
    EXPECT_EQ(flowScale_, 3.0f);
    EXPECT_EQ(phaseSpacing_, 0.25f);
}

TEST_F(FlowDocumentTest, BadSizesAndCountsFailAndChangeNothing) {
    struct Case {
        const char* name;
        std::int32_t width, height, guideCount;
    };
    const Case cases[] = {
        {"N = -1", 3, 3, -1},
        {"N = INT32_MIN", 3, 3, std::numeric_limits<std::int32_t>::min()},
        {"W = 0", 0, 3, 0},
        {"H = 0", 3, 0, 0},
        {"negative W", -3, 3, 0},
        {"negative H", 3, -7, 0},
        {"both negative (positive product)", -3, -3, 0},
        {"W = 1", 1, 5, 0},
        {"H = 2", 5, 2, 0},
        {"1 x 1", 1, 1, 0},
    };
    for (const Case& c : cases) {
        // Sized as if the header were good, so only the values can fail it.
        const std::int32_t w = std::max(c.width, 1), h = std::max(c.height, 1);
        Bytes bytes = makeDocument(w, h, {});
        DocumentBytes header;
        header.int32(c.width);
        header.int32(c.height);
        std::copy(header.bytes.begin(), header.bytes.end(), bytes.begin());
        const std::size_t countOffset = 8 + 5 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        DocumentBytes count;
        count.int32(c.guideCount);
        std::copy(count.bytes.begin(), count.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(countOffset));
        bytes.resize(bytes.size() + 64, 0);  // room to spare: the values alone must fail it
        EXPECT_FALSE(readFile(writeFile(bytes))) << c.name;
        EXPECT_FALSE(readMemory(bytes, bytes.size())) << c.name;
        expectUntouched(c.name);
    }
}

TEST_F(FlowDocumentTest, HugeCountsInAShortFileFailWithoutAllocating) {
    // Each header asks for gigabytes (4 * W * H overflows 32 bits in the
    // first three) from a file of a few hundred bytes. A reader that
    // allocated before checking the file's size would take tens of gigabytes
    // here, or read a wrapped size of 0.
    struct Case {
        const char* name;
        std::int32_t width, height, guideCount;
    };
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const Case cases[] = {
        {"65536 x 65536", 65536, 65536, 0},
        {"65536 x 16384", 65536, 16384, 0},
        {"INT32_MAX squared", big, big, 0},
        {"INT32_MAX x 3", big, 3, 0},
        {"N = INT32_MAX", 3, 3, big},
        {"N = 2^28", 3, 3, 1 << 28},
    };
    for (const Case& c : cases) {
        DocumentBytes d;
        d.int32(c.width);
        d.int32(c.height);
        if (c.guideCount != 0) {
            d.fill(45, 0);
            d.int32(c.guideCount);
        }
        d.fill(300, 0);
        EXPECT_FALSE(readFile(writeFile(d.bytes))) << c.name;
        EXPECT_FALSE(readMemory(d.bytes, d.bytes.size())) << c.name;
        expectUntouched(c.name);
    }
}

TEST_F(FlowDocumentTest, UnusableParametersReadAsTheDefaults) {
    EXPECT_EQ(bitsOf(kDefaultFlowScale), 0x4002E8BAu);
    struct Case {
        float flowScale, phaseSpacing;
        float expectedFlowScale, expectedPhaseSpacing;
    };
    const float tiny = std::numeric_limits<float>::denorm_min();
    const Case cases[] = {
        {1.0f, kNaN, 1.0f, kDefaultPhaseSpacing},
        {1.0f, kInf, 1.0f, kDefaultPhaseSpacing},
        {1.0f, -kInf, 1.0f, kDefaultPhaseSpacing},
        {1.0f, 0.0f, 1.0f, kDefaultPhaseSpacing},
        {1.0f, -0.0f, 1.0f, kDefaultPhaseSpacing},
        {1.0f, -2.0f, 1.0f, kDefaultPhaseSpacing},
        {1.0f, tiny, 1.0f, kDefaultPhaseSpacing},
        {1.0f, 1.0e-30f, 1.0f, kDefaultPhaseSpacing},
        {1.0f, 1.0e30f, 1.0f, kDefaultPhaseSpacing},
        {1.0f, kSmallestPhaseSpacing, 1.0f, kSmallestPhaseSpacing},
        {1.0f, kLargestPhaseSpacing, 1.0f, kLargestPhaseSpacing},
        {kNaN, 2.0f, kDefaultFlowScale, 2.0f},
        {kInf, 2.0f, kDefaultFlowScale, 2.0f},
        {-kInf, 2.0f, kDefaultFlowScale, 2.0f},
        {0.0f, 2.0f, 0.0f, 2.0f},
        {-3.5f, 2.0f, -3.5f, 2.0f},
        {kNaN, kNaN, kDefaultFlowScale, kDefaultPhaseSpacing},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(readMemory(makeDocument(3, 3, {{1, 2, 3, 4}}, c.flowScale, c.phaseSpacing), 81))
            << c.flowScale << ", " << c.phaseSpacing;
        EXPECT_EQ(bitsOf(flowScale_), bitsOf(c.expectedFlowScale)) << c.flowScale;
        EXPECT_EQ(bitsOf(phaseSpacing_), bitsOf(c.expectedPhaseSpacing)) << c.phaseSpacing;
        EXPECT_EQ(picture_.width, 3);  // the rest of the document still applies
        EXPECT_EQ(guideSegments.size(), 1u);
    }
}

TEST_F(FlowDocumentTest, DestinationsOfTheSameSizeKeepTheirStorageOthersTakeTheDocumentsSize) {
    ASSERT_TRUE(readMemory(makeDocument(4, 3, {}), 20 + 60));
    EXPECT_EQ(picture_.data(), pictureStorage_);
    EXPECT_EQ(picture_.at(3, 1).r, 1 + 4 * 7);
    ASSERT_TRUE(readMemory(makeDocument(6, 5, {}), 20 + 150));
    EXPECT_EQ(picture_.width, 6);
    EXPECT_EQ(picture_.height, 5);
    EXPECT_EQ(mask_.width, 6);
    EXPECT_EQ(mask_.height, 5);
    EXPECT_EQ(mask_.at(5, 4), static_cast<std::uint8_t>(200 + 29));
}

TEST_F(FlowDocumentTest, MissingDestinationsAreSkipped) {
    const std::string path = writeFile(makeDocument(3, 3, {{9, 9, 9, 9}, {8, 8, 8, 8}}));
    ASSERT_TRUE(readFlowDocument(path.c_str(), nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(guideSegments.size(), 2u);  // the guide list is always replaced
    guideSegments = {GuideSegment{1, 2, 3, 4}};
    ASSERT_TRUE(readFlowDocument(path.c_str(), nullptr, &mask_, nullptr, &phaseSpacing_));
    EXPECT_EQ(picture_.width, 4);
    EXPECT_EQ(flowScale_, 123.0f);
    EXPECT_EQ(mask_.width, 3);
    EXPECT_EQ(phaseSpacing_, 0.75f);
}

// Only a regular file is read: a folder, a FIFO (which would wait for a
// writer for ever) and a device (which never ends) are refused at once,
// saying what they are; a missing file is the ordinary case and says nothing.
TEST_F(FlowDocumentTest, OnlyARegularFileIsReadAndAnythingElseFailsAtOnce) {
    const std::string fifo = scratch_.file("fifo.flw");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string path;
        const char* refusal;  // null: none
    };
    const Case cases[] = {
        {"missing", scratch_.file("absent.flw"), nullptr},
        {"missing folder on the way", scratch_.file("absent/document.flw"), nullptr},
        {"folder", scratch_.path().string(), "not a regular file but a folder"},
        {"FIFO", fifo, "not a regular file but a FIFO"},
        {"device", "/dev/zero", "not a regular file but a device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DocumentReadReport report;
        report.refusal = "left over";
        EXPECT_FALSE(
            readFlowDocument(c.path.c_str(), &picture_, &mask_, &flowScale_, &phaseSpacing_, nullptr, &report));
        if (c.refusal) {
            EXPECT_NE(report.refusal.find(c.refusal), std::string::npos) << report.refusal;
        } else {
            EXPECT_EQ(report.refusal, "");
        }
        expectUntouched(c.name);
    }
    EXPECT_FALSE(readFlowDocument(nullptr, &picture_, &mask_, &flowScale_, &phaseSpacing_));
    expectUntouched("no path");
}

TEST_F(FlowDocumentTest, TheWriterProducesTheFormatAndRoundTrips) {
    FlowDocument document;
    document.picture = ImageGrid(7, 5);
    document.mask = ByteMask(7, 5);
    std::mt19937 random(7);
    for (std::int64_t i = 0; i < document.picture.cellCount(); ++i) {
        document.picture.data()[i] = Rgba8{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                           static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
        document.mask.data()[i] = static_cast<std::uint8_t>(random());
    }
    document.guides = {{0.5f, -2.0f, 100.0f, 3.25f}, {6.0f, 4.0f, 1.0f, 1.0f}};
    document.flowScale = -1.25f;
    document.phaseSpacing = 0.125f;

    const Bytes encoded = encodeFlowDocument(document);
    ASSERT_EQ(encoded.size(), 20u + 5u * 35u + 16u * 2u);
    EXPECT_EQ(encoded[0], 7);  // W, little-endian
    EXPECT_EQ(encoded[1], 0);
    EXPECT_EQ(encoded[4], 5);  // H
    EXPECT_EQ(encoded[8 + 4 * 35], document.mask.data()[0]);
    EXPECT_EQ(encoded[8 + 5 * 35], 2);  // N
    EXPECT_EQ(encoded.back(), 0x3e);    // 0.125f = 0x3E000000, high byte last

    const std::string path = scratch_.file("written.flw");
    ASSERT_TRUE(writeFlowDocument(path.c_str(), document));
    EXPECT_EQ(fs::file_size(path), encoded.size());
    ASSERT_TRUE(readFile(path));
    ASSERT_EQ(picture_.width, 7);
    EXPECT_EQ(0, std::memcmp(picture_.data(), document.picture.data(), document.picture.byteCount()));
    EXPECT_EQ(0, std::memcmp(mask_.data(), document.mask.data(), document.mask.byteCount()));
    ASSERT_EQ(guideSegments.size(), 2u);
    EXPECT_EQ(0, std::memcmp(guideSegments.data(), document.guides.data(), 32));
    EXPECT_EQ(flowScale_, -1.25f);
    EXPECT_EQ(phaseSpacing_, 0.125f);

    FlowDocument decoded;
    ASSERT_TRUE(decodeFlowDocument(encoded.data(), encoded.size(), &decoded));
    EXPECT_EQ(decoded.picture.width, 7);
    EXPECT_EQ(decoded.guides.size(), 2u);
}

TEST_F(FlowDocumentTest, TheWriterRefusesWhatTheFormatCannotHold) {
    FlowDocument document;
    const std::string path = scratch_.file("refused.flw");
    EXPECT_FALSE(writeFlowDocument(path.c_str(), document));  // no picture
    document.picture = ImageGrid(3, 3);
    document.mask = ByteMask(4, 3);
    EXPECT_FALSE(writeFlowDocument(path.c_str(), document));  // mask of another size
    document.mask = ByteMask();
    ASSERT_TRUE(writeFlowDocument(path.c_str(), document));   // no mask: written as zero
    ASSERT_TRUE(readFile(path));
    EXPECT_EQ(mask_.at(2, 2), 0);
    EXPECT_FALSE(writeFlowDocument((scratch_.path() / "no" / "such" / "dir.flw").string().c_str(), document));
}

// Saving replaces the old document only once the new one is complete: a
// write that meets a full disk, or a rename that fails, leaves the old bytes,
// no temporary, and one line saying why.
TEST_F(FlowDocumentTest, AFailedWriteLeavesTheOldDocumentAndSaysWhy) {
    FlowDocument older;
    older.picture = ImageGrid(3, 3);
    older.guides = {{1, 2, 3, 4}};
    FlowDocument newer = older;
    newer.picture = ImageGrid(40, 40);  // 8 kB: more than the disk below holds
    newer.guides.push_back({5, 6, 7, 8});
    const fs::path path = scratch_.path() / "kept.flw";
    ASSERT_TRUE(writeFlowDocument(path.string().c_str(), older));
    const Bytes olderBytes = encodeFlowDocument(older);

    // A disk that is full after 4 kB (also for a root user).
    const LimitedRun run = runWithFileSizeLimit(4096, [&](std::string& error) {
        return writeFlowDocument(path.string().c_str(), newer, &error);
    });
    EXPECT_FALSE(run.returned);
    EXPECT_NE(run.error.find("kept.flw"), std::string::npos) << run.error;
    EXPECT_EQ(run.error.find('\n'), std::string::npos);
    EXPECT_EQ(readBytes(path), olderBytes);

    // The document's own name is a folder with something in it: the rename fails.
    const fs::path folderPath = scratch_.path() / "folder.flw";
    fs::create_directories(folderPath / "inside");
    std::string error;
    EXPECT_FALSE(writeFlowDocument(folderPath.string().c_str(), newer, &error));
    EXPECT_NE(error.find("folder.flw"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(folderPath / "inside"));

    // A successful write replaces the old bytes; no temporary is left by any.
    ASSERT_TRUE(writeFlowDocument(path.string().c_str(), newer, &error)) << error;
    EXPECT_EQ(readBytes(path), encodeFlowDocument(newer));
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch_.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder.flw", "kept.flw"}));
}

// The settings block after phaseSpacing: "SFST", its length, the flags
// (bit 0 the freeze) and the brush radius.
Bytes settingsBlock(std::uint32_t length, std::uint32_t flags, float radius, const char* tag = "SFST") {
    DocumentBytes d;
    d.bytes.assign(tag, tag + 4);
    d.int32(static_cast<std::int32_t>(length));
    d.int32(static_cast<std::int32_t>(flags));
    d.float32(radius);
    return d.bytes;
}

TEST_F(FlowDocumentTest, TheSettingsBlockRoundTripsAndReadersOfTheFixedFieldsStillReadTheDocument) {
    FlowDocument document;
    document.picture = ImageGrid(4, 3);
    document.picture.at(1, 2) = Rgba8{5, 6, 7, 8};
    document.guides = {{1, 2, 3, 4}};
    document.flowScale = 3.0f;
    document.phaseSpacing = 0.7f;
    const Bytes plain = encodeFlowDocument(document);
    ASSERT_EQ(plain.size(), 20u + 5u * 12u + 16u) << "default settings add no block";

    document.settings.freeze = true;
    document.settings.brushRadius = 256.0f;
    const Bytes withBlock = encodeFlowDocument(document);
    ASSERT_EQ(withBlock.size(), plain.size() + 16u);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), withBlock.begin())) << "the fixed fields are unchanged";
    const Bytes block(withBlock.begin() + static_cast<std::ptrdiff_t>(plain.size()), withBlock.end());
    EXPECT_EQ(block, settingsBlock(8, 1, 256.0f));

    ASSERT_TRUE(readFile(writeFile(withBlock)));
    EXPECT_TRUE(settings_.freeze);
    EXPECT_EQ(settings_.brushRadius, 256.0f);
    EXPECT_EQ(picture_.at(1, 2).b, 7);
    EXPECT_EQ(phaseSpacing_, 0.7f);
    FlowDocument decoded;
    ASSERT_TRUE(decodeFlowDocument(withBlock.data(), withBlock.size(), &decoded));
    EXPECT_EQ(decoded.settings, document.settings);

    // A reader that stops after phaseSpacing, as the format allows, reads the
    // same document: only the settings are left at their defaults.
    ASSERT_TRUE(readMemory(withBlock, plain.size()));
    EXPECT_EQ(settings_, DocumentSettings{});
    EXPECT_EQ(flowScale_, 3.0f);
    EXPECT_EQ(guideSegments.size(), 1u);
}

TEST_F(FlowDocumentTest, ASettingsBlockThatIsAbsentUnknownCutOrMalformedIsIgnoredAndTheDocumentReads) {
    const Bytes fixed = makeDocument(3, 3, {{1, 2, 3, 4}}, 2.5f, 1.4f);
    const Bytes good = settingsBlock(8, 1, 64.0f);
    Bytes longer = settingsBlock(12, 1, 64.0f);
    longer.insert(longer.end(), {9, 9, 9, 9});
    const DocumentSettings defaults;
    const DocumentSettings frozen64{true, 64.0f};
    struct Case {
        std::string name;
        Bytes tail;
        DocumentSettings expected;
    };
    std::vector<Case> cases = {
        {"absent", {}, defaults},
        {"usable", good, frozen64},
        {"fields of a later version after the known ones", longer, frozen64},
        {"flag bits not known yet", settingsBlock(8, 0xfffffffe, 2.0f), {false, 2.0f}},
        {"unknown tag", settingsBlock(8, 1, 64.0f, "XXXX"), defaults},
        {"absurd length", settingsBlock(0xffffffff, 1, 64.0f), defaults},
        {"length beyond the file", settingsBlock(9, 1, 64.0f), defaults},
        {"length shorter than the fields", settingsBlock(4, 1, 64.0f), defaults},
        {"radius not a number", settingsBlock(8, 1, kNaN), defaults},
        {"radius 0", settingsBlock(8, 1, 0.0f), defaults},
        {"radius beyond 1024", settingsBlock(8, 1, 1025.0f), defaults},
        {"other bytes", {0xff, 0xff, 0xff, 0xff, 0x00, 0x01, 0x02}, defaults},
    };
    for (std::size_t cut = 1; cut < good.size(); ++cut) {
        cases.push_back({"cut to " + std::to_string(cut) + " bytes",
                         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), defaults});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = fixed;
        bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
        for (bool fromFile : {false, true}) {
            settings_ = DocumentSettings{true, 32.0f};
            guideSegments.clear();
            ASSERT_TRUE(fromFile ? readFile(writeFile(bytes)) : readMemory(bytes, bytes.size()));
            EXPECT_EQ(settings_.freeze, c.expected.freeze);
            EXPECT_EQ(settings_.brushRadius, c.expected.brushRadius);
            EXPECT_EQ(phaseSpacing_, 1.4f);
            EXPECT_EQ(guideSegments.size(), 1u);
        }
    }
}

}  // namespace
