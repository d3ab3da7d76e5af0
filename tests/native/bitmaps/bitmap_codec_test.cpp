// .bmp files in and out of the store, and which payloads can be drawn
// without reading past their end.
#include <gtest/gtest.h>

#include <limits>

#include "bitmaps/bitmap_codec.h"
#include "fileio/atomic_file.h"
#include "fileio/whole_file.h"
#include "support/dib_files.h"

using namespace orvix_test;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct CodecTest : ::testing::Test {
    ScratchFolder scratch;
    ContainerDoc doc;
    std::wstring PathOf(const char* name) const { return (scratch / name).wstring(); }
    void TearDown() override { SetAtomicWriteFailureAfterBytesForTesting(-1); }
};

// A file of `size` bytes starting "B<second>" whose bfOffBits is offBits.
Bytes WithOffBits(std::size_t size, std::uint32_t offBits, char second = 'M') {
    Bytes b(size, 0x77);
    if (size >= 2) b[0] = 'B', b[1] = static_cast<std::uint8_t>(second);
    if (size >= 14) le::Put32(b, 10, offBits);
    return b;
}

}  // namespace

TEST_F(CodecTest, NonAsciiWidePathsReadAndWrite) {
    const std::u32string name = U"b\u00efld-\u20ac-\U0001F600.bmp";
    const Bytes file = MakeBmpFile(MakeDib({}, 44), 54);
    WriteBytes(scratch / fs::path(name), file);
    Bytes read;
    ASSERT_TRUE(ReadWholeFile(WidePathOf(scratch.dir, name), read));
    ASSERT_TRUE(StoreBitmapFile(doc, 1, read));
    ASSERT_TRUE(WriteBitmapFile(doc, 1, WidePathOf(scratch.dir, U"\u00e9crit-\u4e2d.bmp")));
    EXPECT_EQ(ReadBytes(scratch / fs::path(U"\u00e9crit-\u4e2d.bmp")), file);
}

TEST_F(CodecTest, StoreBitmapFileAcceptsAndRefusesByFileHeader) {
    const struct {
        const char* what;
        Bytes file;
        bool accepted;
    } cases[] = {
        {"13 bytes", WithOffBits(13, 0), false},
        {"header only, nothing to store", WithOffBits(14, 14), false},
        {"one payload byte", WithOffBits(15, 14), true},
        {"starts with BA", WithOffBits(60, 54, 'A'), false},
        {"bfOffBits 0", WithOffBits(60, 0), false},
        {"bfOffBits 13", WithOffBits(60, 13), false},
        {"bfOffBits 14", WithOffBits(60, 14), true},
        {"bfOffBits = file length", WithOffBits(60, 60), true},
        {"bfOffBits one past the end", WithOffBits(60, 61), false},
        {"bfOffBits far past the end", WithOffBits(60, 0xFFFFFFFF), false},
        // Beyond the colour table: the gap stays with the payload.
        {"gap before the pixels", MakeBmpFile(MakeDib({.bitCount = 8, .clrUsed = 2}, 58), 68),
         true},
    };
    const DibPayload previous = {1, 2, 3};
    for (const auto& c : cases) {
        ContainerDoc d;
        d.bitmaps[5] = previous;
        EXPECT_EQ(StoreBitmapFile(d, 5, c.file), c.accepted) << c.what;
        EXPECT_EQ(d.dirty, c.accepted) << c.what;
        ASSERT_EQ(d.bitmaps.size(), 1u) << c.what;
        EXPECT_EQ(d.bitmaps[5],
                  c.accepted ? DibPayload(c.file.begin() + 14, c.file.end()) : previous)
            << c.what;
    }
    EXPECT_TRUE(PayloadFitsBitmapFile(0xFFFFFFFFull - 14)) << "bfSize counts the 14-byte header";
    EXPECT_FALSE(PayloadFitsBitmapFile(0xFFFFFFFFull - 13));
    EXPECT_FALSE(PayloadFitsBitmapFile(std::numeric_limits<std::uint64_t>::max()));
}

TEST_F(CodecTest, ExportWritesTheFileHeaderFromTheInfoHeader) {
    const struct {
        const char* what;
        DibFields fields;
        std::uint32_t offBits;
    } cases[] = {
        {"8-bit, full palette", {.bitCount = 8}, 1078},
        {"24-bit BI_RGB", {.bitCount = 24}, 54},
        {"32-bit BI_BITFIELDS", {.bitCount = 32, .compression = 3}, 66},
        // Headers from 52 bytes on hold the masks themselves.
        {"124-byte header, BI_BITFIELDS", {.biSize = 124, .bitCount = 32, .compression = 3}, 138},
        {"108-byte header, BI_BITFIELDS", {.biSize = 108, .bitCount = 16, .compression = 3}, 122},
        {"52-byte header, BI_BITFIELDS", {.biSize = 52, .bitCount = 32, .compression = 3}, 66},
        {"51-byte header, BI_BITFIELDS", {.biSize = 51, .bitCount = 32, .compression = 3}, 77},
        {"8-bit, 16 colours used", {.bitCount = 8, .clrUsed = 16}, 118},
        {"bit count 0", {.biSize = 40, .bitCount = 0}, 14 + 40 + 4},
        {"1-bit", {.bitCount = 1}, 62},
        {"4-bit", {.bitCount = 4}, 118},
        {"24-bit with an optional palette", {.bitCount = 24, .clrUsed = 3}, 66},
        {"sum wraps at 32 bits", {.biSize = 0xFFFFFFF0u, .bitCount = 24, .clrUsed = 1}, 14 - 12},
    };
    for (const auto& c : cases) {
        doc.bitmaps[1] = MakeDib(c.fields, 64);
        ASSERT_TRUE(WriteBitmapFile(doc, 1, PathOf("out.bmp"))) << c.what;
        EXPECT_EQ(ReadBytes(scratch / "out.bmp"), MakeBmpFile(doc.bitmaps[1], c.offBits)) << c.what;
        EXPECT_EQ(DibHeaderLength(doc.bitmaps[1]), c.offBits - 14u) << c.what;
    }
    EXPECT_EQ(DibHeaderLength(DibPayload(39, 0xFF)), 0u) << "too short to read a header from";
}

TEST_F(CodecTest, ExportRefusalsCreateNoFile) {
    doc.bitmaps[1] = DibPayload(39, 0);
    doc.bitmaps[2] = MakeDib({}, 40);
    fs::create_directory(scratch / "taken.bmp");
    EXPECT_FALSE(WriteBitmapFile(doc, 99, PathOf("absent.bmp"))) << "ID not in the store";
    EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("short.bmp"))) << "39-byte payload";
    EXPECT_FALSE(WriteBitmapFile(doc, 2, PathOf("no-such-folder/x.bmp")));
    EXPECT_FALSE(WriteBitmapFile(doc, 2, PathOf("taken.bmp"))) << "a folder of that name";
    EXPECT_EQ(scratch.EntryCount(), 1u) << "no file, no temporary file";
    EXPECT_TRUE(WriteBitmapFile(doc, 2, PathOf("exact.bmp"))) << "40-byte payload";
}

TEST_F(CodecTest, FailedExportLeavesTheOldFile) {
    const Bytes original(3000, 0x5A);
    WriteBytes(scratch / "00001.bmp", original);
    doc.bitmaps[1] = MakeDib({}, 2000);
    SetAtomicWriteFailureAfterBytesForTesting(14 + 1000);
    EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("00001.bmp")));
    EXPECT_EQ(ReadBytes(scratch / "00001.bmp"), original);
    EXPECT_EQ(scratch.EntryCount(), 1u);
}

TEST(DibPixelsInBounds, ExactFitIsInBoundsOneByteShortIsNotAndSomeHeadersNeverAre) {
    const struct {
        const char* what;
        DibFields fields;
        std::size_t size;  // the exact fit; 0: out of bounds even in 4096 bytes
    } cases[] = {
        {"24-bit 1x1", {.width = 1, .height = 1, .bitCount = 24}, 44},
        {"24-bit 3x2, padded rows", {.width = 3, .height = 2, .bitCount = 24}, 64},
        {"24-bit 3x2 top-down", {.width = 3, .height = -2, .bitCount = 24}, 64},
        {"1-bit 33x1", {.width = 33, .height = 1, .bitCount = 1}, 40 + 8 + 8},
        {"4-bit 9x2", {.width = 9, .height = 2, .bitCount = 4}, 40 + 64 + 16},
        {"8-bit 2x2", {.width = 2, .height = 2, .bitCount = 8}, 1064 + 8},
        {"8-bit 5x1, 3 colours", {.width = 5, .bitCount = 8, .clrUsed = 3}, 52 + 8},
        {"16-bit bit fields", {.width = 1, .bitCount = 16, .compression = 3}, 56},
        {"32-bit bit fields, 124-byte header",
         {.biSize = 124, .bitCount = 32, .compression = 3},
         128},
        // The masks follow a 40-byte header even when a colour count is set,
        // and the drawing code reads them there.
        {"bit fields and 1 colour",
         {.width = 1, .bitCount = 32, .compression = 3, .clrUsed = 1},
         56},
        {"RLE8",
         {.width = 4, .height = 4, .bitCount = 8, .compression = 1, .sizeImage = 10},
         1064 + 10},
        {"RLE4",
         {.width = 4, .height = 4, .bitCount = 4, .compression = 2, .sizeImage = 6},
         104 + 6},
        {"width 0", {.width = 0}, 0},
        {"negative width", {.width = -1}, 0},
        {"height 0", {.height = 0}, 0},
        {"BITMAPCOREHEADER", {.biSize = 12}, 0},
        {"39-byte header", {.biSize = 39}, 0},
        {"header longer than the payload", {.biSize = 4097}, 0},
        {"header length near 4 GiB", {.biSize = 0xFFFFFFF0u}, 0},
        {"colour count wraps 32 bits", {.bitCount = 24, .clrUsed = 0x40000000u}, 0},
        {"2-bit", {.bitCount = 2}, 0},
        {"bit count 0", {.bitCount = 0}, 0},
        {"24-bit bit fields", {.bitCount = 24, .compression = 3}, 0},
        {"RLE8 without a size", {.bitCount = 8, .compression = 1}, 0},
        {"RLE8 top-down", {.height = -1, .bitCount = 8, .compression = 1, .sizeImage = 4}, 0},
        {"RLE8 at 4 bits", {.bitCount = 4, .compression = 1, .sizeImage = 4}, 0},
        {"JPEG", {.bitCount = 0, .compression = 4, .sizeImage = 4}, 0},
        {"PNG", {.bitCount = 0, .compression = 5, .sizeImage = 4}, 0},
        {"height INT32_MIN", {.height = kMin}, 0},
        {"widest 32-bit row", {.width = kMax, .bitCount = 32}, 0},
        {"widest row, tallest top-down", {.width = kMax, .height = kMin, .bitCount = 32}, 0},
        {"widest row, tallest", {.width = kMax, .height = kMax, .bitCount = 32}, 0},
    };
    for (const auto& c : cases) {
        if (c.size) {
            EXPECT_TRUE(DibPixelsInBounds(MakeDib(c.fields, c.size)))
                << c.what << ", " << c.size << " bytes";
        }
        const std::size_t size = c.size ? c.size - 1 : 4096;
        EXPECT_FALSE(DibPixelsInBounds(MakeDib(c.fields, size)))
            << c.what << ", " << size << " bytes";
    }
    EXPECT_FALSE(DibPixelsInBounds(DibPayload(39, 0)));
    EXPECT_FALSE(DibPixelsInBounds(DibPayload{}));
}
