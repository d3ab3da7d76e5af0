#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "fileio/atomic_file.h"
#include "native/bitmaps/bitmap_test_support.h"

using namespace orvix_test;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct CodecTest : ::testing::Test {
    ScratchFolder scratch;
    ContainerDoc doc;

    void TearDown() override {
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicRenameFailureForTesting(false);
    }
    std::wstring PathOf(const char* name) const { return (scratch.dir / name).wstring(); }
};

// --- Reading files -----------------------------------------------------------

TEST_F(CodecTest, NonAsciiWidePathsReadAndWrite) {
    const std::wstring name = L"b\u00efld-\u20ac-\U0001F600.bmp";
    const std::wstring folder = scratch.dir.wstring() + L"/";
    const Bytes payload = MakeDib({}, 44);
    Spill(scratch.dir / fs::path(std::u32string(name.begin(), name.end())),
          MakeBmpFile(payload, 54));
    Bytes file;
    ASSERT_TRUE(ReadWholeFile(folder + name, file));
    ASSERT_TRUE(StoreBitmapFile(doc, 1, file));
    ASSERT_TRUE(WriteBitmapFile(doc, 1, folder + L"\u00e9crit-\u4e2d.bmp"));
    EXPECT_EQ(Slurp(scratch.dir / fs::path(U"\u00e9crit-\u4e2d.bmp")), MakeBmpFile(payload, 54));
}

// --- Storing files -----------------------------------------------------------

struct StoreCase {
    const char* what;
    Bytes file;
    bool accepted;
};

Bytes WithOffBits(std::size_t size, std::uint32_t offBits, char second = 'M') {
    Bytes b(size, 0x77);
    if (size >= 2) {
        b[0] = 'B';
        b[1] = static_cast<std::uint8_t>(second);
    }
    if (size >= 14) PutU32(&b.at(10), offBits);
    return b;
}

TEST_F(CodecTest, StoreBitmapFileAcceptsAndRefusesByFileHeader) {
    const std::vector<StoreCase> cases = {
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
    };
    const DibPayload previous = {1, 2, 3};
    for (const StoreCase& c : cases) {
        ContainerDoc d;
        d.loaded = true;
        d.bitmaps[5] = previous;
        const bool stored = StoreBitmapFile(d, 5, c.file);
        EXPECT_EQ(stored, c.accepted) << c.what;
        EXPECT_EQ(d.dirty, c.accepted) << c.what;
        ASSERT_EQ(d.bitmaps.size(), 1u) << c.what;
        const DibPayload expected =
            c.accepted ? DibPayload(c.file.begin() + 14, c.file.end()) : previous;
        EXPECT_EQ(d.bitmaps[5], expected) << c.what;
    }
}

TEST_F(CodecTest, StoreKeepsGapBeforePixelsAndReplacesExistingId) {
    // bfOffBits beyond the colour table: the gap stays with the payload.
    Bytes payload = MakeDib({.bitCount = 8, .clrUsed = 2}, 40 + 8 + 6 + 4);
    const Bytes file = MakeBmpFile(payload, 14 + 40 + 8 + 6);
    doc.bitmaps[42] = {0xEE};
    ASSERT_TRUE(StoreBitmapFile(doc, 42, file));
    EXPECT_EQ(doc.bitmaps[42], payload);
    EXPECT_TRUE(doc.dirty);

    doc.dirty = false;
    ASSERT_TRUE(StoreBitmapFile(doc, 42, file));
    EXPECT_TRUE(doc.dirty) << "storing identical bytes is still a change";
    EXPECT_EQ(doc.bitmaps.size(), 1u);
}

TEST_F(CodecTest, PayloadSizeLimitOfTheFileHeader) {
    // bfSize is 32-bit and counts the 14-byte file header.
    EXPECT_TRUE(PayloadFitsBitmapFile(0xFFFFFFFFull - 14));
    EXPECT_FALSE(PayloadFitsBitmapFile(0xFFFFFFFFull - 13));
    EXPECT_FALSE(PayloadFitsBitmapFile(0x100000000ull));
    EXPECT_FALSE(PayloadFitsBitmapFile(std::numeric_limits<std::uint64_t>::max()));
}

// --- Writing files -----------------------------------------------------------

struct OffBitsCase {
    const char* what;
    DibFields fields;
    std::uint32_t offBits;
};

TEST_F(CodecTest, ExportWritesFileHeaderFromInfoHeader) {
    const std::vector<OffBitsCase> cases = {
        {"8-bit, full palette", {.bitCount = 8}, 1078},
        {"24-bit BI_RGB", {.bitCount = 24}, 54},
        {"32-bit BI_BITFIELDS", {.bitCount = 32, .compression = 3}, 66},
        // A V5 header holds its masks itself: nothing follows it.
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
    int id = 1;
    for (const OffBitsCase& c : cases) {
        const DibPayload payload = MakeDib(c.fields, 64);
        doc.bitmaps[id] = payload;
        const std::wstring path = PathOf(("out" + std::to_string(id) + ".bmp").c_str());
        ASSERT_TRUE(WriteBitmapFile(doc, id, path)) << c.what;
        const Bytes written = Slurp(fs::path(path));
        ASSERT_EQ(written.size(), 14 + payload.size()) << c.what;
        EXPECT_EQ(LoadU32(&written.at(10)), c.offBits) << c.what;
        EXPECT_EQ(DibHeaderLength(payload), c.offBits - 14u) << c.what;
        ++id;
    }
}

TEST_F(CodecTest, StoreThenWriteReproducesPayloadAndRebuildsHeader) {
    DibPayload payload =
        MakeDib({.width = 3, .height = 2, .bitCount = 8, .clrUsed = 4}, 40 + 16 + 8);
    for (std::size_t i = 40; i < payload.size(); ++i)
        payload[i] = static_cast<std::uint8_t>(i * 7);
    Bytes file = MakeBmpFile(payload, 14 + 40 + 16);
    PutU32(&file.at(2), 12345);   // a wrong bfSize
    PutU32(&file.at(6), 0xBEEF);  // non-zero reserved fields
    ASSERT_TRUE(StoreBitmapFile(doc, 7, file));
    ASSERT_TRUE(WriteBitmapFile(doc, 7, PathOf("00007.bmp")));

    const Bytes written = Slurp(scratch.dir / "00007.bmp");
    ASSERT_EQ(written.size(), 14 + payload.size());
    EXPECT_EQ(Bytes(written.begin() + 14, written.end()), payload);
    EXPECT_EQ(written[0], 'B');
    EXPECT_EQ(written[1], 'M');
    EXPECT_EQ(LoadU32(&written.at(2)), 14 + payload.size()) << "bfSize";
    EXPECT_EQ(LoadU32(&written.at(6)), 0u) << "reserved";
    EXPECT_EQ(LoadU32(&written.at(10)), 14u + 40 + 16) << "bfOffBits";
}

TEST_F(CodecTest, ExportRefusalsCreateNoFile) {
    doc.bitmaps[1] = DibPayload(39, 0);
    doc.bitmaps[2] = MakeDib({}, 40);
    EXPECT_FALSE(WriteBitmapFile(doc, 99, PathOf("absent.bmp"))) << "ID not in the store";
    EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("short.bmp"))) << "39-byte payload";
    EXPECT_EQ(scratch.EntryCount(), 0u);
    EXPECT_TRUE(WriteBitmapFile(doc, 2, PathOf("exact.bmp"))) << "40-byte payload";
    EXPECT_EQ(Slurp(scratch.dir / "exact.bmp").size(), 54u);

    EXPECT_FALSE(WriteBitmapFile(doc, 2, PathOf("no-such-folder/x.bmp")));
    fs::create_directory(scratch.dir / "taken.bmp");
    EXPECT_FALSE(WriteBitmapFile(doc, 2, PathOf("taken.bmp")));
    EXPECT_TRUE(fs::is_directory(scratch.dir / "taken.bmp"));
    EXPECT_EQ(scratch.EntryCount(), 2u) << "no temporary file may stay behind";
}

TEST_F(CodecTest, ExportReplacesWholeExistingFile) {
    Spill(scratch.dir / "00001.bmp", Bytes(5000, 0xAB));
    doc.bitmaps[1] = MakeDib({}, 44);
    ASSERT_TRUE(WriteBitmapFile(doc, 1, PathOf("00001.bmp")));
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), MakeBmpFile(doc.bitmaps[1], 54));
}

TEST_F(CodecTest, FailedWriteLeavesExistingFileIntact) {
    const Bytes original(3000, 0x5A);
    Spill(scratch.dir / "00001.bmp", original);
    doc.bitmaps[1] = MakeDib({}, 2000);
    // In the file header, at the payload's start, and one byte short of the end.
    for (long long failAfter : {0LL, 14LL, 14LL + 2000 - 1}) {
        SetAtomicWriteFailureAfterBytesForTesting(failAfter);
        EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("00001.bmp"))) << "fail after " << failAfter;
        EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), original) << "fail after " << failAfter;
        EXPECT_EQ(scratch.EntryCount(), 1u) << "fail after " << failAfter;
    }
    SetAtomicWriteFailureAfterBytesForTesting(-1);
    SetAtomicRenameFailureForTesting(true);
    EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("00001.bmp")));
    EXPECT_FALSE(WriteBitmapFile(doc, 1, PathOf("00002.bmp")));
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), original);
    EXPECT_EQ(scratch.EntryCount(), 1u) << "a failed new file is not created";
}

TEST_F(CodecTest, FullDiskLeavesExistingFileIntact) {
    const Bytes original(3000, 0x5A);
    Spill(scratch.dir / "00001.bmp", original);
    doc.bitmaps[1] = MakeDib({}, 8000);

    // The file-size limit stands in for a full disk; root ignores permission
    // bits but not this. It is set in a child so the test runner keeps its own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        const bool written = WriteBitmapFile(doc, 1, PathOf("00001.bmp"));
        const bool created = WriteBitmapFile(doc, 1, PathOf("00002.bmp"));
        ::_exit(written || created ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: an export beyond the size limit reported success";
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), original);
    EXPECT_EQ(scratch.EntryCount(), 1u);
}

// --- Pixel bounds ------------------------------------------------------------

struct BoundsCase {
    const char* what;
    DibFields fields;
    std::size_t size;
    bool inBounds;
};

TEST(DibPixelsInBoundsTest, ExactFitAndOneByteShort) {
    const std::vector<BoundsCase> cases = {
        {"24-bit 1x1", {.width = 1, .height = 1, .bitCount = 24}, 44, true},
        {"24-bit 1x1", {.width = 1, .height = 1, .bitCount = 24}, 43, false},
        {"24-bit 3x2, padded rows", {.width = 3, .height = 2, .bitCount = 24}, 64, true},
        {"24-bit 3x2, padded rows", {.width = 3, .height = 2, .bitCount = 24}, 63, false},
        {"24-bit 3x2 top-down", {.width = 3, .height = -2, .bitCount = 24}, 64, true},
        {"24-bit 3x2 top-down", {.width = 3, .height = -2, .bitCount = 24}, 63, false},
        {"1-bit 33x1", {.width = 33, .height = 1, .bitCount = 1}, 40 + 8 + 8, true},
        {"1-bit 33x1", {.width = 33, .height = 1, .bitCount = 1}, 40 + 8 + 7, false},
        {"4-bit 9x2", {.width = 9, .height = 2, .bitCount = 4}, 40 + 64 + 16, true},
        {"4-bit 9x2", {.width = 9, .height = 2, .bitCount = 4}, 40 + 64 + 15, false},
        {"8-bit 2x2", {.width = 2, .height = 2, .bitCount = 8}, 1064 + 8, true},
        {"8-bit 2x2", {.width = 2, .height = 2, .bitCount = 8}, 1064 + 7, false},
        {"8-bit 5x1, 3 colours", {.width = 5, .bitCount = 8, .clrUsed = 3}, 52 + 8, true},
        {"8-bit 5x1, 3 colours", {.width = 5, .bitCount = 8, .clrUsed = 3}, 52 + 7, false},
        {"16-bit bit fields", {.width = 1, .bitCount = 16, .compression = 3}, 56, true},
        {"16-bit bit fields", {.width = 1, .bitCount = 16, .compression = 3}, 55, false},
        {"32-bit bit fields, 124-byte header",
         {.biSize = 124, .bitCount = 32, .compression = 3},
         124 + 4,
         true},
        {"32-bit bit fields, 124-byte header",
         {.biSize = 124, .bitCount = 32, .compression = 3},
         124 + 3,
         false},
        // The masks follow a 40-byte header even when a colour count is set,
        // and the drawing code reads them there.
        {"bit fields and 1 colour",
         {.width = 1, .bitCount = 32, .compression = 3, .clrUsed = 1},
         56,
         true},
        {"bit fields and 1 colour",
         {.width = 1, .bitCount = 32, .compression = 3, .clrUsed = 1},
         55,
         false},
        {"RLE8",
         {.width = 4, .height = 4, .bitCount = 8, .compression = 1, .sizeImage = 10},
         1064 + 10,
         true},
        {"RLE8",
         {.width = 4, .height = 4, .bitCount = 8, .compression = 1, .sizeImage = 10},
         1064 + 9,
         false},
        {"RLE4",
         {.width = 4, .height = 4, .bitCount = 4, .compression = 2, .sizeImage = 6},
         104 + 6,
         true},
        {"RLE4",
         {.width = 4, .height = 4, .bitCount = 4, .compression = 2, .sizeImage = 6},
         104 + 5,
         false},
    };
    for (const BoundsCase& c : cases) {
        EXPECT_EQ(DibPixelsInBounds(MakeDib(c.fields, c.size)), c.inBounds)
            << c.what << ", " << c.size << " bytes";
    }
}

TEST(DibPixelsInBoundsTest, RefusesWhatCannotBeBounded) {
    const std::vector<BoundsCase> cases = {
        {"width 0", {.width = 0}, 4096, false},
        {"negative width", {.width = -1}, 4096, false},
        {"height 0", {.height = 0}, 4096, false},
        {"BITMAPCOREHEADER", {.biSize = 12}, 4096, false},
        {"39-byte header", {.biSize = 39}, 4096, false},
        {"header longer than the payload", {.biSize = 4097}, 4096, false},
        {"header length near 4 GiB", {.biSize = 0xFFFFFFF0u}, 4096, false},
        {"colour count wraps 32 bits", {.bitCount = 24, .clrUsed = 0x40000000u}, 4096, false},
        {"2-bit", {.bitCount = 2}, 4096, false},
        {"bit count 0", {.bitCount = 0}, 4096, false},
        {"24-bit bit fields", {.bitCount = 24, .compression = 3}, 4096, false},
        {"RLE8 without a size", {.bitCount = 8, .compression = 1}, 4096, false},
        {"RLE8 top-down",
         {.height = -1, .bitCount = 8, .compression = 1, .sizeImage = 4},
         4096,
         false},
        {"RLE8 at 4 bits", {.bitCount = 4, .compression = 1, .sizeImage = 4}, 4096, false},
        {"JPEG", {.bitCount = 0, .compression = 4, .sizeImage = 4}, 4096, false},
        {"PNG", {.bitCount = 0, .compression = 5, .sizeImage = 4}, 4096, false},
        {"height INT32_MIN", {.height = kMin}, 4096, false},
        {"widest 32-bit row", {.width = kMax, .bitCount = 32}, 4096, false},
        {"widest row, tallest top-down",
         {.width = kMax, .height = kMin, .bitCount = 32},
         4096,
         false},
        {"widest row, tallest", {.width = kMax, .height = kMax, .bitCount = 32}, 4096, false},
    };
    for (const BoundsCase& c : cases) {
        EXPECT_EQ(DibPixelsInBounds(MakeDib(c.fields, c.size)), c.inBounds) << c.what;
    }
    EXPECT_FALSE(DibPixelsInBounds(DibPayload(39, 0)));
    EXPECT_FALSE(DibPixelsInBounds(DibPayload{}));
    EXPECT_EQ(DibHeaderLength(DibPayload(39, 0xFF)), 0u) << "too short to read a header from";
}

}  // namespace
