#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bitmaps/export_range.h"
#include "fileio/atomic_file.h"
#include "native/bitmaps/bitmap_test_support.h"

using namespace orvix_test;

namespace {

constexpr ResourceId kTop = 2147483647;

DibPayload Payload(ResourceId id) {
    DibPayload p = MakeDib({}, 44);
    p[40] = static_cast<std::uint8_t>(id);
    return p;
}

BitmapStore StoreOf(std::initializer_list<ResourceId> ids) {
    BitmapStore store;
    for (ResourceId id : ids)
        store[id] = Payload(id);
    return store;
}

TEST(StoredIdsInRangeTest, EitherOrderBothEndsIncluded) {
    const BitmapStore store = StoreOf({-4, 1, 3, 5, 9, kTop});
    struct Case {
        ResourceId first, second;
        std::vector<ResourceId> ids;
    } cases[] = {
        {5, 3, {3, 5}},       {3, 5, {3, 5}}, {1, 4, {1, 3}},
        {4, 4, {}},           {5, 5, {5}},    {9, kTop, {9, kTop}},
        {kTop, kTop, {kTop}}, {-5, 0, {-4}},  {-2147483647 - 1, kTop, {-4, 1, 3, 5, 9, kTop}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StoredIdsInRange(store, c.first, c.second), c.ids) << c.first << ".." << c.second;
}

TEST(RangeExportSummaryTest, ThreeLinesInOrder) {
    EXPECT_EQ(RangeExportSummary({2, 2, 0}), L"Exported: 2\nMissing: 2\nFailed: 0");
    EXPECT_EQ(RangeExportSummary({0, 3, 0}), L"Exported: 0\nMissing: 3\nFailed: 0");
    EXPECT_EQ(RangeExportSummary({1, 2147483646, 7}),
              L"Exported: 1\nMissing: 2147483646\nFailed: 7");
}

TEST(ExportBitmapsInRangeTest, CountsExportedMissingAndFailed) {
    enum Fault { kNone, kDiskFull, kSyncFails };
    struct Case {
        const char* what;
        std::initializer_list<ResourceId> ids;
        std::initializer_list<ResourceId> tooShort;  // payloads of 39 bytes
        ResourceId first, second;
        Fault fault;
        RangeExportCounts counts;
        std::vector<std::string> files;  // the folder afterwards
    } cases[] = {
        {"typed high first", {3, 4, 5, 9}, {}, 5, 3, kNone, {3, 0, 0}, {"00003", "00004", "00005"}},
        {"gaps", {1, 3}, {}, 1, 4, kNone, {2, 2, 0}, {"00001", "00003"}},
        {"nothing stored", {1}, {}, 2, 4, kNone, {0, 3, 0}, {}},
        {"short payload", {1, 2, 3}, {2}, 1, 3, kNone, {2, 0, 1}, {"00001", "00003"}},
        {"disk full", {1, 2}, {}, 1, 2, kDiskFull, {0, 0, 2}, {}},
        // Written whole but not known to be on the disk: not reported as exported.
        {"final sync fails", {1, 2, 3}, {2}, 1, 3, kSyncFails, {0, 0, 3}, {"00001", "00003"}},
        {"up to the largest ID",
         {7, kTop},
         {},
         1,
         kTop,
         kNone,
         {2, kTop - 2, 0},
         {"00007", "2147483647"}},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        ContainerDoc doc;
        doc.bitmaps = StoreOf(c.ids);
        for (ResourceId id : c.tooShort)
            doc.bitmaps[id] = DibPayload(39, 0);
        SetAtomicWriteFailureAfterBytesForTesting(c.fault == kDiskFull ? 0 : -1);
        SetAtomicBatchSyncFailureForTesting(c.fault == kSyncFails);
        const RangeExportCounts counts =
            ExportBitmapsInRange(doc, scratch.dir.wstring(), c.first, c.second);
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicBatchSyncFailureForTesting(false);
        EXPECT_EQ(counts, c.counts) << c.what;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(scratch.dir))
            files.push_back(entry.path().stem().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.files) << c.what;
        for (const std::string& name : files)
            EXPECT_EQ(Slurp(scratch.dir / (name + ".bmp")),
                      MakeBmpFile(Payload(std::stoi(name)), 54))
                << c.what << " " << name;
    }
}

TEST(ExportBitmapsInRangeTest, FailedWriteKeepsTheOldFileAndOthersAreReplaced) {
    ScratchFolder scratch;
    ContainerDoc doc;
    doc.bitmaps = StoreOf({1, 2});
    doc.bitmaps[1] = DibPayload(39, 0);
    Spill(scratch.dir / "00001.bmp", {'o', 'l', 'd'});
    Spill(scratch.dir / "00002.bmp", {'o', 'l', 'd'});
    EXPECT_EQ(ExportBitmapsInRange(doc, scratch.dir.wstring() + L"/", 2, 1),
              (RangeExportCounts{1, 0, 1}));
    EXPECT_EQ(Slurp(scratch.dir / "00001.bmp"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Slurp(scratch.dir / "00002.bmp"), MakeBmpFile(Payload(2), 54));
}

TEST(ExportBitmapsInRangeTest, PathTooLongCountsAsFailedNotCut) {
    ScratchFolder scratch;
    // A real folder whose full path leaves room for five digits but not six.
    const std::size_t base = scratch.dir.native().size() + 1;
    const fs::path deep = scratch.dir / std::string(259 - 9 - 1 - base, 'd');
    fs::create_directory(deep);
    ContainerDoc doc;
    doc.bitmaps = StoreOf({1, 100000, 100001});
    EXPECT_EQ(ExportBitmapsInRange(doc, deep.wstring(), 1, 100001),
              (RangeExportCounts{1, 99998, 2}));
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(deep), {})), 1u);
    EXPECT_TRUE(fs::exists(deep / "00001.bmp"));
}

}  // namespace
