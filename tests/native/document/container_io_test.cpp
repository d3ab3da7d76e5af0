// LoadContainer and SaveContainer as a user sees them: what the document
// holds afterwards and what is on disk, above all after a failure; and the
// blank container a new file starts from.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "fileio/atomic_file.h"
#include "support/pe_images.h"

using namespace orvix_test;

namespace {

struct ContainerIo : ::testing::Test {
    ScratchFolder scratch;
    std::wstring Path(const char* leaf) const { return (scratch / leaf).wstring(); }
    // A container holding 3 and 5.
    static std::wstring MakeContainer(const std::wstring& path, bool is64 = true) {
        ContainerDoc doc;
        EXPECT_TRUE(WriteBlankContainer(path, is64));
        doc.bitmaps = {{3, Payload(40, 3)}, {5, Payload(41, 5)}};
        EXPECT_TRUE(SaveContainer(doc, path));
        return path;
    }
    void TearDown() override { SetAtomicWriteFailureAfterBytesForTesting(-1); }
};

// {offset in PE32, in PE32+, width, value in PE32, in PE32+}, the rest zero:
// the DOS header, the signature and COFF header; the optional header's magic,
// linker version, ImageBase, alignments, versions, sizes, subsystem and
// NumberOfRvaAndSizes; the section header of an empty ".text".
struct Field {
    std::size_t at32, at64, width;
    std::uint64_t v32, v64;
};
constexpr Field kGolden[] = {
    {0x00, 0x00, 2, 0x5A4D, 0x5A4D},
    {0x02, 0x02, 2, 0x90, 0x90},
    {0x04, 0x04, 2, 3, 3},
    {0x08, 0x08, 2, 4, 4},
    {0x3C, 0x3C, 4, 0x80, 0x80},
    {0x80, 0x80, 4, 0x4550, 0x4550},
    {0x84, 0x84, 2, 0x014C, 0x8664},
    {0x86, 0x86, 2, 1, 1},
    {0x94, 0x94, 2, 0xE0, 0xF0},
    {0x96, 0x96, 2, 0x210E, 0x2022},
    {0x98, 0x98, 2, 0x010B, 0x020B},
    {0x9A, 0x9A, 1, 14, 14},
    {0xB4, 0xB0, 4, 0x10000000, 0x140000000},
    {0xB8, 0xB8, 4, 0x1000, 0x1000},
    {0xBC, 0xBC, 4, 0x200, 0x200},
    {0xC0, 0xC0, 2, 6, 6},
    {0xC8, 0xC8, 2, 6, 6},
    {0xD0, 0xD0, 4, 0x1000, 0x1000},
    {0xD4, 0xD4, 4, 0x200, 0x200},
    {0xDC, 0xDC, 2, 2, 2},
    {0xF4, 0x104, 4, 16, 16},
    {0x178, 0x188, 5, 0x747865742E, 0x747865742E},
    {0x184, 0x194, 4, 0x1000, 0x1000},
    {0x19C, 0x1AC, 4, 0x60000020, 0x60000020},
};

Bytes GoldenBlank(bool is64) {
    Bytes b(512, 0);
    for (const Field& f : kGolden)
        le::Put(b, is64 ? f.at64 : f.at32, is64 && f.width == 4 && f.v64 > 0xFFFFFFFF ? 8 : f.width,
                is64 ? f.v64 : f.v32);
    return b;
}

}  // namespace

// The blank image against a golden one composed here from the published
// layout, field by field at absolute file offsets; the file written is the
// image, replacing whatever was there. A load takes it, empty, or fails and
// closes the document, keeping the path and leaving the dirty flag alone.
TEST_F(ContainerIo, BlankContainersMatchTheGoldenImageAndLoadOrFailWhole) {
    for (bool is64 : {false, true}) {
        const auto made = pe::MakeBlankImage(is64);
        const Bytes golden = GoldenBlank(is64);
        for (std::size_t i = 0; i < 512; ++i) {
            ASSERT_EQ(made[i], golden[i])
                << (is64 ? "PE32+" : "PE32") << " differs at offset 0x" << std::hex << i;
        }
        const char* name = is64 ? "64.obk" : "32.obk";
        WriteBytes(scratch / name, Bytes(5000, 0xEE));
        ASSERT_TRUE(WriteBlankContainer(Path(name), is64));
        EXPECT_EQ(ReadBytes(scratch / name), golden);
    }
    EXPECT_FALSE(WriteBlankContainer(Path("missing/a.obk"), false));
    EXPECT_EQ(scratch.EntryCount(), 2u) << "a temporary file was left";
    WriteBytes(scratch / "notes.txt", {'h', 'i', '\n'});
    for (const auto& [path, loads] : {std::pair{Path("32.obk"), true},
                                      {Path("64.obk"), true},
                                      {Path("notes.txt"), false},
                                      {Path("missing.obk"), false},
                                      {scratch.dir.wstring(), false}}) {
        ContainerDoc doc;
        doc.loaded = doc.dirty = true;
        doc.bitmaps[1] = {1};
        EXPECT_EQ(LoadContainer(doc, path), loads);
        EXPECT_EQ(doc.loaded, loads);
        EXPECT_EQ(doc.dirty, !loads);
        EXPECT_EQ(doc.path, path);
        EXPECT_TRUE(doc.bitmaps.empty());
    }
}

// A save takes the destination's own image when there is one, else the open
// file's. What the file cannot hold, a write that fails part-way, a
// destination that is not an image and an open file gone from the disk fail
// the whole save and leave every file and the document as they were.
TEST_F(ContainerIo, SaveTakesTheDestinationsImageOrTheOpenOneOrFailsWhole) {
    enum Destination { kSame, kNew, kPe32, kText };
    const struct {
        const char* what;
        Destination destination;
        ResourceId id;
        std::size_t size;
        bool saves;
        long long failAfter = -1;
        bool openGone = false;
    } cases[] = {
        {"ID 1", kSame, 1, 12, true},
        {"ID 65535", kSame, 65535, 12, true},
        {"ID 0", kSame, 0, 12, true},
        {"ID 65536", kSame, 65536, 12, false},
        {"ID -1", kSame, -1, 12, false},
        {"ID INT_MAX", kSame, INT_MAX, 12, false},
        {"an empty bitmap", kSame, 4, 0, false},
        {"a write failing part-way", kSame, 100, 5000, false, 4096},
        {"a new name", kNew, 77, 33, true},
        {"an existing PE32 container", kPe32, 77, 33, true},
        {"not an image", kText, 77, 33, false},
        {"a new name, the open file deleted", kNew, 77, 33, false, -1, true},
    };
    // The open file is PE32 where its image is the one saved into a new name.
    const std::u32string name = U"t\u00e9st-\u6587.obk";
    const std::wstring open = WidePathOf(scratch.dir, name), copy = Path("copy.obk");
    const fs::path openFile = scratch / fs::path(name), copyFile = scratch / "copy.obk";
    for (const auto& c : cases) {
        fs::remove(copyFile);
        MakeContainer(open, c.destination != kNew);
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, open));
        if (c.openGone) fs::remove(openFile);
        if (c.destination == kPe32) {
            ASSERT_TRUE(WriteBlankContainer(copy, false));
        }
        if (c.destination == kText) WriteBytes(copyFile, {'n', 'o', '\n'});
        const std::wstring destination = c.destination == kSame ? open : copy;
        const fs::path file = c.destination == kSame ? openFile : copyFile;
        const Bytes openBefore = ReadBytes(openFile), before = ReadBytes(file);
        doc.bitmaps[c.id] = Payload(c.size, 1);
        doc.dirty = true;
        SetAtomicWriteFailureAfterBytesForTesting(c.failAfter);
        EXPECT_EQ(SaveContainer(doc, destination), c.saves) << c.what;
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(doc.dirty, !c.saves) << c.what;
        EXPECT_EQ(doc.path, c.saves ? destination : open) << c.what;
        if (c.saves) {
            ContainerDoc again;
            ASSERT_TRUE(LoadContainer(again, destination)) << c.what;
            EXPECT_EQ(again.bitmaps, doc.bitmaps) << c.what;
            EXPECT_EQ(le::Get16(ReadBytes(file), 0x98), c.destination == kSame ? 0x20B : 0x10B)
                << c.what << ": not the image expected";
        } else {
            EXPECT_EQ(ReadBytes(file), before) << c.what << ": the destination changed";
        }
        EXPECT_TRUE(c.destination == kSame || ReadBytes(openFile) == openBefore)
            << c.what << ": the open file changed";
        // The open file, and a destination beside it that was there or was saved.
        const bool second = c.destination != kSame && (c.saves || c.destination != kNew);
        EXPECT_EQ(scratch.EntryCount(), (c.openGone ? 0u : 1u) + second)
            << c.what << ": a file was made or left";
    }
}

// Save asks before it overwrites what another program wrote since the load.
TEST_F(ContainerIo, ChangesOnDiskSinceTheLoadAreToldApart) {
    const struct {
        const char* what;
        const char* shell;  // run on the file after the load
        bool sameName;      // else a save to another name
        bool overwrites;
    } cases[] = {
        {"untouched", "true", true, false},
        {"rewritten, another size", "echo more >>", true, true},
        {"written, the same size", "touch -d '2001-01-01'", true, true},
        {"replaced by another file", "cp -p a.obk b.obk && mv b.obk", true, true},
        {"deleted: the save fails anyway", "rm", true, false},
        {"saved as another name", "echo more >>", false, false},
    };
    for (const auto& c : cases) {
        const std::wstring path = MakeContainer(Path("a.obk"));
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, path));
        const std::string line = "cd '" + scratch.dir.string() + "' && " + c.shell + " a.obk";
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
        const std::wstring destination = c.sameName ? path : Path("other.obk");
        EXPECT_EQ(OverwritesChangesOnDisk(doc, destination, ReadFileStamp(destination)),
                  c.overwrites)
            << c.what;
        if (!c.overwrites || !c.sameName) continue;
        ASSERT_TRUE(SaveContainer(doc, path));
        EXPECT_FALSE(OverwritesChangesOnDisk(doc, path, ReadFileStamp(path)))
            << c.what << ": the save is the file's last change";
    }
}
