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

// What the file cannot hold, or a write that fails part-way, fails the whole
// save and leaves the file and the document as they were.
TEST_F(ContainerIo, WhatTheFileCannotHoldFailsTheWholeSave) {
    const struct {
        ResourceId id;
        std::size_t size;
        bool saves;
        long long failAfter = -1;
    } cases[] = {{1, 12, true},   {65535, 12, true},    {0, 12, true}, {65536, 12, false},
                 {-1, 12, false}, {INT_MAX, 12, false}, {4, 0, false}, {100, 5000, false, 4096}};
    const std::u32string name = U"t\u00e9st-\u6587.obk";
    const std::wstring path = WidePathOf(scratch.dir, name);
    for (const auto& c : cases) {
        MakeContainer(path);
        const Bytes before = ReadBytes(scratch / fs::path(name));
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, path));
        doc.bitmaps[c.id] = Payload(c.size, 1);
        doc.dirty = true;
        const std::string what =
            "ID " + std::to_string(c.id) + ", " + std::to_string(c.size) + " bytes";
        SetAtomicWriteFailureAfterBytesForTesting(c.failAfter);
        EXPECT_EQ(SaveContainer(doc, path), c.saves) << what;
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(doc.dirty, !c.saves) << what;
        ContainerDoc again;
        ASSERT_TRUE(LoadContainer(again, path));
        if (c.saves) {
            EXPECT_EQ(again.bitmaps, doc.bitmaps) << what;
        } else {
            EXPECT_EQ(ReadBytes(scratch / fs::path(name)), before) << what << " changed the file";
        }
        EXPECT_EQ(scratch.EntryCount(), 1u) << what << ": a temporary file was left";
    }
}

TEST_F(ContainerIo, SaveAsTakesTheDestinationsImageOrTheCurrentOne) {
    const struct {
        const char* what;
        int destination;  // 0: none, 1: a PE32 container, 2: a text file
        bool saves;
        bool currentGone = false;
    } cases[] = {{"new name", 0, true},
                 {"existing PE32 container", 1, true},
                 {"not an image", 2, false},
                 {"new name, the current file deleted", 0, false, true}};
    for (const auto& c : cases) {
        const std::wstring current = MakeContainer(Path("current.obk"), c.destination != 0);
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, current));
        if (c.currentGone) fs::remove(current);
        const Bytes currentBytes = ReadBytes(current);
        const std::wstring copy = Path("copy.obk");
        fs::remove(copy);
        if (c.destination == 1) {
            ASSERT_TRUE(WriteBlankContainer(copy, false));
        }
        if (c.destination == 2) WriteBytes(copy, {'n', 'o', '\n'});
        const Bytes copyBefore = ReadBytes(copy);
        doc.bitmaps[77] = Payload(33, 77);
        doc.dirty = true;
        EXPECT_EQ(SaveContainer(doc, copy), c.saves) << c.what;
        EXPECT_EQ(doc.path, c.saves ? copy : current) << c.what;
        EXPECT_EQ(doc.dirty, !c.saves) << c.what;
        EXPECT_EQ(ReadBytes(current), currentBytes) << c.what << ": the current file changed";
        if (!c.saves) {
            EXPECT_EQ(ReadBytes(copy), copyBefore) << c.what;
            EXPECT_EQ(fs::exists(copy), c.destination != 0) << c.what;
            continue;
        }
        ContainerDoc again;
        ASSERT_TRUE(LoadContainer(again, copy));
        EXPECT_EQ(again.bitmaps, doc.bitmaps) << c.what;
        EXPECT_EQ(le::Get16(ReadBytes(copy), 0x98), 0x10B)
            << c.what << ": not the expected PE32 image";
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
