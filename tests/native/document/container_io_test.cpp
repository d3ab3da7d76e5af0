// LoadContainer and SaveContainer as a user sees them: what the document
// holds afterwards and what is on disk, above all after a failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "fileio/atomic_file.h"
#include "pe_test_support.h"

using namespace testpe;

namespace {

struct ContainerIo : TempFolder {
    std::wstring Path(const char* leaf) const { return (dir / leaf).wstring(); }
    // A 64-bit container holding 3 and 5.
    std::wstring MakeContainer(const char* leaf, bool is64 = true) {
        ContainerDoc doc;
        const std::wstring path = Path(leaf);
        EXPECT_TRUE(WriteBlankContainer(path, is64));
        doc.bitmaps = {{3, Payload(40, 3)}, {5, Payload(41, 5)}};
        EXPECT_TRUE(SaveContainer(doc, path));
        return path;
    }
    void TearDown() override {
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicRenameFailureForTesting(false);
        TempFolder::TearDown();
    }
};

}  // namespace

TEST_F(ContainerIo, LoadFailureClosesTheDocumentAndKeepsThePath) {
    const std::wstring text = Path("notes.txt");
    Spit(text, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const std::wstring cases[] = {text, Path("missing.obk"), dir.wstring()};
    for (const std::wstring& path : cases) {
        ContainerDoc doc;
        doc.loaded = true;
        doc.dirty = true;
        doc.path = L"previous";
        doc.bitmaps[1] = {1};
        EXPECT_FALSE(LoadContainer(doc, path));
        EXPECT_FALSE(doc.loaded);
        EXPECT_TRUE(doc.dirty) << "a failed load leaves the dirty flag alone";
        EXPECT_EQ(doc.path, path);
        EXPECT_TRUE(doc.bitmaps.empty());
    }
}

TEST_F(ContainerIo, LoadFromTheDocumentsOwnPath) {
    ContainerDoc doc;
    doc.path = MakeContainer("a.obk");
    doc.dirty = true;
    ASSERT_TRUE(LoadContainer(doc, doc.path));
    EXPECT_EQ(doc.path, Path("a.obk"));
    EXPECT_TRUE(doc.loaded);
    EXPECT_FALSE(doc.dirty);
    EXPECT_EQ(doc.bitmaps.size(), 2u);
}

TEST_F(ContainerIo, NonAsciiNamesWorkWhateverTheLocale) {
    // Built by hand: the wide conversion of the C++ library depends on the
    // process locale, which is "C" here.
    const std::wstring path = dir.wstring() + L"/t\u00e9st-\u6587.obk";
    ASSERT_TRUE(WriteBlankContainer(path, false));
    ContainerDoc doc;
    doc.bitmaps = {{9, Payload(44, 9)}};
    ASSERT_TRUE(SaveContainer(doc, path));
    ContainerDoc reopened;
    ASSERT_TRUE(LoadContainer(reopened, path));
    EXPECT_EQ(reopened.bitmaps, doc.bitmaps);
}

TEST_F(ContainerIo, SaveWritesTheStoreInAscendingOrderAndReloadsIt) {
    const std::wstring path = Path("a.obk");
    ASSERT_TRUE(WriteBlankContainer(path, false));
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, path));
    doc.bitmaps[100] = Payload(7, 100);
    doc.bitmaps[9] = Payload(9, 9);
    doc.bitmaps[10] = Payload(1, 10);
    doc.dirty = true;
    ASSERT_TRUE(SaveContainer(doc, path));
    EXPECT_FALSE(doc.dirty);
    EXPECT_EQ(doc.path, path);

    ContainerDoc again;
    ASSERT_TRUE(LoadContainer(again, path));
    EXPECT_EQ(again.bitmaps, doc.bitmaps);

    // Emptying the store and saving gives a file with no bitmaps.
    doc.bitmaps.clear();
    ASSERT_TRUE(SaveContainer(doc, path));
    ASSERT_TRUE(LoadContainer(again, path));
    EXPECT_TRUE(again.loaded);
    EXPECT_TRUE(again.bitmaps.empty());
}

TEST_F(ContainerIo, IdsAtTheEdgesOfTheFileRange) {
    struct Case {
        ResourceId id;
        bool saves;
    };
    const Case cases[] = {{1, true},      {65535, true}, {0, false},
                          {65536, false}, {-1, false},   {INT_MAX, false}};
    for (const Case& c : cases) {
        const std::wstring path = MakeContainer("a.obk");
        const Bytes before = Slurp(path);
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, path));
        doc.bitmaps[c.id] = Payload(12, 1);
        doc.dirty = true;
        EXPECT_EQ(SaveContainer(doc, path), c.saves) << "ID " << c.id;
        EXPECT_EQ(doc.dirty, !c.saves) << "ID " << c.id;
        if (!c.saves) {
            EXPECT_EQ(Slurp(path), before) << "ID " << c.id << " changed the file";
        } else {
            ContainerDoc again;
            ASSERT_TRUE(LoadContainer(again, path));
            EXPECT_EQ(again.bitmaps.count(c.id), 1u) << "ID " << c.id;
        }
        EXPECT_EQ(EntryCount(), 1u);
    }
}

TEST_F(ContainerIo, EmptyPayloadFailsTheWholeSave) {
    const std::wstring path = MakeContainer("a.obk");
    const Bytes before = Slurp(path);
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, path));
    doc.bitmaps[4] = {};
    doc.dirty = true;
    EXPECT_FALSE(SaveContainer(doc, path));
    EXPECT_TRUE(doc.dirty);
    EXPECT_EQ(Slurp(path), before);
}

TEST_F(ContainerIo, SaveAsToANewNameLeavesTheCurrentFileAlone) {
    const std::wstring current = MakeContainer("current.obk", false);
    const Bytes before = Slurp(current);
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, current));
    doc.bitmaps[77] = Payload(33, 77);
    doc.dirty = true;

    const std::wstring copy = Path("copy.obk");
    ASSERT_TRUE(SaveContainer(doc, copy));
    EXPECT_EQ(doc.path, copy);
    EXPECT_FALSE(doc.dirty);
    EXPECT_EQ(Slurp(current), before);
    ContainerDoc again;
    ASSERT_TRUE(LoadContainer(again, copy));
    EXPECT_EQ(again.bitmaps, doc.bitmaps);
    const Bytes written = Slurp(copy);
    EXPECT_EQ(Get16(written, 0x98), 0x10B) << "the copy keeps the current file's PE32 image";
}

TEST_F(ContainerIo, SaveAsOntoAnExistingFileUsesThatFilesImage) {
    const std::wstring current = MakeContainer("current.obk", true);
    const std::wstring other = Path("other.obk");
    ASSERT_TRUE(WriteBlankContainer(other, false));
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, current));
    ASSERT_TRUE(SaveContainer(doc, other));
    EXPECT_EQ(Get16(Slurp(other), 0x98), 0x10B) << "the destination's own PE32 image";

    // A destination that is not an image stays as it is.
    const std::wstring text = Path("notes.txt");
    const Bytes notes{'n', 'o', '\n'};
    Spit(text, notes);
    doc.dirty = true;
    EXPECT_FALSE(SaveContainer(doc, text));
    EXPECT_EQ(Slurp(text), notes);
    EXPECT_EQ(doc.path, other);
    EXPECT_TRUE(doc.dirty);
}

TEST_F(ContainerIo, SaveWithNeitherFileOnDiskFailsAndCreatesNothing) {
    const std::wstring current = MakeContainer("current.obk");
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, current));
    std::filesystem::remove(dir / "current.obk");
    doc.dirty = true;
    EXPECT_FALSE(SaveContainer(doc, Path("new.obk")));
    EXPECT_FALSE(SaveContainer(doc, current));
    EXPECT_EQ(doc.path, current);
    EXPECT_TRUE(doc.dirty);
    EXPECT_EQ(EntryCount(), 0u);

    ContainerDoc never;  // no path at all
    EXPECT_FALSE(SaveContainer(never, Path("new.obk")));
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(ContainerIo, FailedWritesLeaveTheDestinationByteIdentical) {
    const std::wstring path = MakeContainer("a.obk");
    const Bytes before = Slurp(path);
    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, path));
    for (int id = 100; id < 400; ++id)
        doc.bitmaps[id] = Payload(1000 + id, id);
    doc.dirty = true;

    // Find the size of the new image, then fail the write at each edge.
    const std::wstring probe = Path("probe.obk");
    ContainerDoc probeDoc = doc;
    ASSERT_TRUE(SaveContainer(probeDoc, probe));
    const long long total = static_cast<long long>(Slurp(probe).size());
    std::filesystem::remove(dir / "probe.obk");

    for (long long failAfter : {0LL, 1LL, 511LL, 512LL, 4096LL, total / 2, total - 1}) {
        SetAtomicWriteFailureAfterBytesForTesting(failAfter);
        EXPECT_FALSE(SaveContainer(doc, path)) << "failing after " << failAfter << " bytes";
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(Slurp(path), before) << "failing after " << failAfter << " bytes";
        EXPECT_EQ(EntryCount(), 1u) << "a temporary file was left";
        EXPECT_TRUE(doc.dirty);
        EXPECT_EQ(doc.path, path);
    }
    SetAtomicWriteFailureAfterBytesForTesting(total);
    EXPECT_TRUE(SaveContainer(doc, path)) << "a limit of exactly the image size is enough";
    SetAtomicWriteFailureAfterBytesForTesting(-1);

    doc.bitmaps[5] = Payload(3, 3);
    const Bytes saved = Slurp(path);
    SetAtomicRenameFailureForTesting(true);
    EXPECT_FALSE(SaveContainer(doc, path));
    SetAtomicRenameFailureForTesting(false);
    EXPECT_EQ(Slurp(path), saved);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(ContainerIo, FullDiskLeavesTheDestinationByteIdentical) {
    // A child process whose file size limit is below the new image's size
    // plays the full disk; with SIGXFSZ ignored the write fails with EFBIG.
    const std::wstring path = MakeContainer("a.obk");
    const Bytes before = Slurp(path);
    for (rlim_t limit : {rlim_t{0}, rlim_t{before.size()}, rlim_t{300000}}) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit rl = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &rl);
            ContainerDoc doc;
            if (!LoadContainer(doc, path)) _exit(2);
            for (int id = 1; id < 300; ++id)
                doc.bitmaps[id] = Payload(2000, id);
            _exit(SaveContainer(doc, path) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "limit " << limit << ": save did not report failure";
        EXPECT_EQ(Slurp(path), before) << "limit " << limit;
        EXPECT_EQ(EntryCount(), 1u) << "limit " << limit << ": a temporary file was left";
    }
}
