// Export All and the range export: which files appear, what they hold, and
// what the user is told.
#include <gtest/gtest.h>

#include <algorithm>

#include "bitmaps/export_all.h"
#include "bitmaps/export_range.h"
#include "fileio/atomic_file.h"
#include "support/dib_files.h"

using namespace orvix_test;

namespace {

constexpr ResourceId kTop = 2147483647;

DibPayload Payload(ResourceId id) {
    Bytes p = MakeDib({}, 44);
    p[40] = static_cast<std::uint8_t>(id);
    return p;
}

// The store: a 44-byte bitmap for each of ids, a 39-byte one (too short to
// export) for each of tooShort.
ContainerDoc DocOf(std::initializer_list<ResourceId> ids,
                   std::initializer_list<ResourceId> tooShort = {}) {
    ContainerDoc doc;
    for (ResourceId id : ids)
        doc.bitmaps[id] = Payload(id);
    for (ResourceId id : tooShort)
        doc.bitmaps[id] = DibPayload(39, 0);
    return doc;
}

// No step at all unless one stops the export before the file of stopAt.
ExportStep StopAt(std::size_t stopAt) {
    if (stopAt == SIZE_MAX) return {};
    return [stopAt](std::size_t done) { return done < stopAt; };
}

// How many bytes the writes may take before they fail: none, or the file
// header and 16 bytes of the bitmap.
enum Fault : long long { kNone = -1, kDiskFull = 0, kPartWay = 30 };

// The IDs exported into folder, ascending, each file checked to hold its
// ID's bitmap under its five-digit name.
std::vector<ResourceId> Exported(const fs::path& folder) {
    std::vector<ResourceId> ids;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ids.push_back(std::stoi(entry.path().stem().string()));
        char name[24];
        std::snprintf(name, sizeof name, "%05d.bmp", ids.back());
        EXPECT_EQ(entry.path().filename().string(), name);
        EXPECT_EQ(ReadBytes(entry.path()), MakeBmpFile(Payload(ids.back()), 54)) << name;
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

TEST(NumberedBitmapPath, JoinsWithOneSeparatorAndFiveDigitsOrRefusesPathsOf260Units) {
    // Padding + "/" + "00001.bmp": 259 units fit with the terminator.
    const std::wstring fits = std::wstring(249, L'a') + L"/";
    const std::wstring emoji = L"\U0001F600/";
    const struct {
        std::wstring folder;
        ResourceId id;
        std::wstring expected;  // empty: refused, the path left alone
    } cases[] = {
        {L"", 7, L"00007.bmp"},
        {L"pics/", 0, L"pics/00000.bmp"},
        {L"pics/", 99999, L"pics/99999.bmp"},
#ifdef _WIN32
        {L"C:\\pics", 7, L"C:\\pics\\00007.bmp"},
        {L"C:\\pics\\", 7, L"C:\\pics\\00007.bmp"},
        {L"C:/pics", 7, L"C:/pics\\00007.bmp"},
#else
        {L"/pics", 7, L"/pics/00007.bmp"},
        // A backslash is an ordinary character in a POSIX file name.
        {L"/pics\\", 1, L"/pics\\/00001.bmp"},
#endif
        {fits, 1, fits + L"00001.bmp"},
        {L"a" + fits, 1, L""},
        {fits, 100000, L""},  // a sixth digit
        // Outside the BMP a character takes two UTF-16 units.
        {std::wstring(247, L'a') + emoji, 1, std::wstring(247, L'a') + emoji + L"00001.bmp"},
        {std::wstring(248, L'a') + emoji, 1, L""},
    };
    for (const auto& c : cases) {
        std::wstring path = L"untouched";
        EXPECT_EQ(NumberedBitmapPath(c.folder, c.id, path), !c.expected.empty())
            << c.folder.size() << " units and " << c.id;
        EXPECT_EQ(path, c.expected.empty() ? L"untouched" : c.expected) << c.id;
    }
}

// A step that stops the export before the file of stopAt is written keeps
// the files written so far; a file replaced by a write that fails stays whole.
TEST(ExportAll, WritesEveryBitmapOrStopsAtTheFirstFailure) {
    const struct {
        const char* what;
        ContainerDoc doc;
        Fault fault;
        bool exports;
        std::vector<ResourceId> files;
        std::size_t stopAt = SIZE_MAX;
        bool oldFile = false;  // 00001.bmp there before, holding bitmap 1
    } cases[] = {
        {"three", DocOf({200000, 3, 1}), kNone, true, {1, 3, 200000}},
        {"a short one stops the rest", DocOf({1, 3}, {2}), kNone, false, {1}},
        {"disk full", DocOf({1, 2}), kDiskFull, false, {}},
        {"stopped after two", DocOf({1, 2, 3, 5}), kNone, true, {1, 2}, 2},
        {"failing part-way over an old file", DocOf({1}), kPartWay, false, {1}, SIZE_MAX, true},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        if (c.oldFile) WriteBytes(scratch / "00001.bmp", MakeBmpFile(Payload(1), 54));
        SetAtomicWriteFailureAfterBytesForTesting(c.fault);
        const bool exported = ExportAllBitmaps(c.doc, scratch.dir.wstring(), StopAt(c.stopAt));
        SetAtomicWriteFailureAfterBytesForTesting(kNone);
        EXPECT_EQ(exported, c.exports) << c.what;
        EXPECT_EQ(Exported(scratch.dir), c.files) << c.what;
    }
}

TEST(RangeExport, CountsExportedMissingAndFailed) {
    const struct {
        const char* what;
        ContainerDoc doc;
        ResourceId first, second;
        Fault fault;
        RangeExportCounts counts;
        std::vector<ResourceId> files;
        std::size_t stopAt = SIZE_MAX;
    } cases[] = {
        {"typed high first", DocOf({3, 4, 5, 9}), 5, 3, kNone, {3, 0, 0}, {3, 4, 5}},
        {"gaps", DocOf({1, 3}), 1, 4, kNone, {2, 2, 0}, {1, 3}},
        {"short payload", DocOf({1, 3}, {2}), 1, 3, kNone, {2, 0, 1}, {1, 3}},
        {"disk full", DocOf({1, 2}), 1, 2, kDiskFull, {0, 0, 2}, {}},
        {"all IDs", DocOf({-4, kTop}), -kTop - 1, kTop, kNone, {2, (1ll << 32) - 2, 0}, {-4, kTop}},
        {"stopped after one", DocOf({1, 2, 3, 5}), 1, 6, kNone, {1, 2, 0}, {1}, 1},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        SetAtomicWriteFailureAfterBytesForTesting(c.fault);
        const RangeExportCounts counts =
            ExportBitmapsInRange(c.doc, scratch.dir.wstring(), c.first, c.second, StopAt(c.stopAt));
        SetAtomicWriteFailureAfterBytesForTesting(kNone);
        EXPECT_EQ(counts, c.counts) << c.what;
        EXPECT_EQ(Exported(scratch.dir), c.files) << c.what;
    }
}

TEST(RangeExport, SummaryHasThreeLinesInOrder) {
    EXPECT_EQ(RangeExportSummary({2, 2, 0}), L"Exported: 2\nMissing: 2\nFailed: 0");
    EXPECT_EQ(RangeExportSummary({1, 2147483646, 7}),
              L"Exported: 1\nMissing: 2147483646\nFailed: 7");
}
