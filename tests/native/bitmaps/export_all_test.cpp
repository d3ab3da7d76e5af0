#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "fileio/atomic_file.h"
#include "native/bitmaps/bitmap_test_support.h"

using namespace orvix_test;

namespace {

struct ExportAllTest : ::testing::Test {
    ScratchFolder scratch;
    ContainerDoc doc;
    std::wstring Folder() const { return scratch.dir.wstring() + L"/"; }
};

DibPayload Payload(std::uint8_t fill) {
    DibPayload p = MakeDib({}, 44);
    p[40] = fill;
    return p;
}

TEST_F(ExportAllTest, WritesEveryBitmapUnderItsNumber) {
    doc.bitmaps[200000] = Payload(3);
    doc.bitmaps[3] = Payload(2);
    doc.bitmaps[1] = Payload(1);
    ASSERT_TRUE(ExportAllBitmaps(doc, Folder()));
    EXPECT_EQ(scratch.EntryCount(), 3u);
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), MakeBmpFile(Payload(1), 54));
    EXPECT_EQ(Slurp(scratch.dir / "00003.bmp"), MakeBmpFile(Payload(2), 54));
    EXPECT_EQ(Slurp(scratch.dir / "200000.bmp"), MakeBmpFile(Payload(3), 54));
}

TEST_F(ExportAllTest, EmptyStoreSucceedsAndWritesNothing) {
    EXPECT_TRUE(ExportAllBitmaps(doc, Folder()));
    EXPECT_EQ(scratch.EntryCount(), 0u);
}

TEST_F(ExportAllTest, StopsAtFirstFailureKeepingEarlierFiles) {
    doc.bitmaps[1] = Payload(1);
    doc.bitmaps[2] = DibPayload(39, 0);  // too short to export
    doc.bitmaps[3] = Payload(3);
    EXPECT_FALSE(ExportAllBitmaps(doc, Folder()));
    EXPECT_TRUE(fs::exists(scratch.dir / "00001.bmp"));
    EXPECT_FALSE(fs::exists(scratch.dir / "00002.bmp"));
    EXPECT_FALSE(fs::exists(scratch.dir / "00003.bmp")) << "IDs after a failure are not tried";
}

TEST_F(ExportAllTest, FailedFinalSyncFailsTheExport) {
    doc.bitmaps[1] = Payload(1);
    SetAtomicBatchSyncFailureForTesting(true);
    const bool exported = ExportAllBitmaps(doc, Folder());
    SetAtomicBatchSyncFailureForTesting(false);
    EXPECT_FALSE(exported);
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), MakeBmpFile(Payload(1), 54)) << "renamed whole";
}

TEST_F(ExportAllTest, FolderWithOrWithoutSeparatorGetsExactlyOne) {
    doc.bitmaps[7] = Payload(7);
    ASSERT_TRUE(ExportAllBitmaps(doc, scratch.dir.wstring()));
    EXPECT_TRUE(fs::exists(scratch.dir / "00007.bmp"));
    fs::remove(scratch.dir / "00007.bmp");
    ASSERT_TRUE(ExportAllBitmaps(doc, Folder()));
    EXPECT_TRUE(fs::exists(scratch.dir / "00007.bmp"));
    EXPECT_EQ(scratch.EntryCount(), 1u);
}

TEST_F(ExportAllTest, EmptyFolderWritesIntoCurrentDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.dir);
    doc.bitmaps[5] = Payload(5);
    const bool exported = ExportAllBitmaps(doc, L"");
    fs::current_path(previous);
    EXPECT_TRUE(exported);
    EXPECT_TRUE(fs::exists(scratch.dir / "00005.bmp"));
}

struct PathCase {
    std::wstring folder;
    ResourceId id;
    std::wstring expected;
};

TEST(NumberedBitmapPathTest, JoinsWithOneSeparatorAndFiveDigits) {
    const std::vector<PathCase> cases = {
        {L"/pics", 7, L"/pics/00007.bmp"},
        {L"/pics/", 7, L"/pics/00007.bmp"},
        {L"", 7, L"00007.bmp"},
        {L"/", 0, L"/00000.bmp"},
        {L"/pics", 99999, L"/pics/99999.bmp"},
        {L"/pics", 123456, L"/pics/123456.bmp"},
        {L"/pics", 2147483647, L"/pics/2147483647.bmp"},
        {L"/pics", -5, L"/pics/-0005.bmp"},
        // A backslash is an ordinary character in a POSIX file name.
        {L"/pics\\", 1, L"/pics\\/00001.bmp"},
    };
    for (const PathCase& c : cases) {
        std::wstring path = L"untouched";
        ASSERT_TRUE(NumberedBitmapPath(c.folder, c.id, path)) << c.id;
        EXPECT_EQ(path, c.expected) << c.id;
    }
}

TEST(NumberedBitmapPathTest, PathsOf260UnitsAreRefusedNotCut) {
    // "/" + padding + "/" + "00001.bmp": 259 units fit with the terminator.
    const std::wstring fits = L"/" + std::wstring(248, L'a') + L"/";
    std::wstring path;
    ASSERT_TRUE(NumberedBitmapPath(fits, 1, path));
    EXPECT_EQ(path.size(), 259u);

    path = L"untouched";
    EXPECT_FALSE(NumberedBitmapPath(fits + L"a", 1, path)) << "260 units";
    EXPECT_FALSE(NumberedBitmapPath(fits, 100000, path)) << "a sixth digit makes 260";
    // Outside the BMP a character takes two UTF-16 units.
    EXPECT_FALSE(NumberedBitmapPath(L"/" + std::wstring(247, L'a') + L"\U0001F600/", 1, path));
    EXPECT_EQ(path, L"untouched");
    EXPECT_TRUE(NumberedBitmapPath(L"/" + std::wstring(246, L'a') + L"\U0001F600/", 1, path));
}

TEST_F(ExportAllTest, TooLongPathStopsAtThatId) {
    // A real folder whose full path leaves room for five digits but not six.
    const std::size_t base = scratch.dir.native().size() + 1;
    const fs::path deep = scratch.dir / std::string(259 - 9 - 1 - base, 'd');
    fs::create_directory(deep);
    doc.bitmaps[1] = Payload(1);
    doc.bitmaps[100000] = Payload(2);
    EXPECT_FALSE(ExportAllBitmaps(doc, deep.wstring()));
    EXPECT_TRUE(fs::exists(deep / "00001.bmp")) << (deep / "00001.bmp").native().size();
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(deep), {})), 1u);
}

}  // namespace
