// LoadContainer and SaveContainer as a user sees them: what the document
// holds afterwards and what is on disk, above all after a failure.
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

}  // namespace

TEST_F(ContainerIo, LoadFailureClosesTheDocumentAndKeepsThePath) {
    WriteBytes(scratch / "notes.txt", {'h', 'i', '\n'});
    for (const std::wstring& path :
         {Path("notes.txt"), Path("missing.obk"), scratch.dir.wstring()}) {
        ContainerDoc doc;
        doc.loaded = doc.dirty = true;
        doc.bitmaps[1] = {1};
        EXPECT_FALSE(LoadContainer(doc, path));
        EXPECT_FALSE(doc.loaded);
        EXPECT_TRUE(doc.dirty) << "a failed load leaves the dirty flag alone";
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
        const char* shell;  // run on the file after the load; empty: nothing
        bool sameName;      // else a save to another name
        bool overwrites;
    } cases[] = {
        {"untouched", "", true, false},
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
        if (*c.shell) {
            const std::string line = "cd '" + scratch.dir.string() + "' && " + c.shell + " a.obk";
            ASSERT_EQ(std::system(line.c_str()), 0) << line;
        }
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
