// Whole-file replacement and reading, natively and under Wine. Every other
// writer of files goes through WriteFileAtomically; its callers' tests show
// that they do with one failure each, and the guarantee itself is shown here.
#include <gtest/gtest.h>

#include "fileio/atomic_file.h"
#include "fileio/whole_file.h"
#include "support/test_files.h"

#include <atomic>

using namespace orvix_test;

#ifdef _WIN32
static void FailFlush(bool fail) {
    SetAtomicFlushFailureForTesting(fail);
}
#else
#include <fcntl.h>
#include <unistd.h>

// The system's own fsync (linked with --wrap=fsync) fails with EIO while set,
// so that a writer which stopped flushing fails the test, not just a hook.
static std::atomic<bool> fsyncFails{false};
static void FailFlush(bool fail) {
    fsyncFails = fail;
}
extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd) {
    if (fsyncFails) {
        errno = EIO;
        return -1;
    }
    return __real_fsync(fd);
}
#endif

namespace {

struct FileTest : ::testing::Test {
    ScratchFolder scratch;
    static void ClearFaults() {
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicRenameFailureForTesting(false);
        FailFlush(false);
    }
    void TearDown() override { ClearFaults(); }
};

}  // namespace

TEST_F(FileTest, WritesNewFilesAndReplacesOldOnesWhole) {
    // A character outside the BMP takes two UTF-16 units on Windows.
    const std::u32string name = U"t\u00e9st-\u6587-\U0001F600.bin";
    for (const Bytes& bytes : {Bytes(1000, 0xAA), Bytes{1, 2, 3}, Bytes{}}) {
        ASSERT_TRUE(WriteFileAtomically(WidePathOf(scratch.dir, name), bytes)) << bytes.size();
        EXPECT_EQ(ReadBytes(scratch / fs::path(name)), bytes);
        EXPECT_EQ(scratch.EntryCount(), 1u) << "a temporary file was left";
    }
}

TEST_F(FileTest, FailuresLeaveTheTargetAsItWasAndNoTemporary) {
    const Bytes original(4096, 0x11), replacement(8192, 0x22);
    const struct {
        const char* what;
        long long failAfter;
        bool rename, flush, abandon;
        bool writes = false;
    } faults[] = {
        {"write fails at once", 0, false, false, false},
        {"write fails at the last byte", 8191, false, false, false},
        {"exactly enough room", 8192, false, false, false, true},
        {"flush before the rename fails", -1, false, true, false},
        {"rename fails", -1, true, false, false},
        {"producer gives up", -1, false, false, true},
    };
    const auto abandon = [&](const AtomicWriteSink& sink) {
        sink(replacement);
        return false;
    };
    for (const auto& f : faults) {
        for (bool existing : {true, false}) {
            for (Flush flush : {Flush::ToDisk, Flush::AsCopy}) {
                // A copy waits for no flush, and so meets no failing one.
                const bool writes = f.writes || (f.flush && flush == Flush::AsCopy);
                const std::string what = std::string(f.what) +
                                         (existing ? ", replacing" : ", new") +
                                         (flush == Flush::AsCopy ? ", a copy" : "");
                const fs::path target = scratch / "a.bin";
                fs::remove(target);
                if (existing) WriteBytes(target, original);
                SetAtomicWriteFailureAfterBytesForTesting(f.failAfter);
                SetAtomicRenameFailureForTesting(f.rename);
                FailFlush(f.flush);
                const bool written =
                    f.abandon ? WriteFileAtomically(target.wstring(), abandon, flush)
                              : WriteFileAtomically(target.wstring(), replacement, flush);
                ClearFaults();
                EXPECT_EQ(written, writes) << what;
                EXPECT_EQ(TakeAtomicWriteError().refusal,
                          writes ? WriteRefusal::None : WriteRefusal::System)
                    << what;
                EXPECT_EQ(ReadBytes(target), writes     ? replacement
                                             : existing ? original
                                                        : Bytes{})
                    << what;
                EXPECT_EQ(scratch.EntryCount(), writes || existing ? 1u : 0u)
                    << what << ": a temporary file was left";
            }
        }
    }
}

TEST_F(FileTest, UnwritablePathsFailWithoutCreatingAnything) {
    for (const fs::path& target : {scratch / "no-such-folder" / "a.bin", scratch.dir}) {
        EXPECT_FALSE(WriteFileAtomically(target.wstring(), Bytes{1})) << target;
        EXPECT_NE(TakeAtomicWriteError().reason, "") << target << ": the system's words";
    }
    EXPECT_FALSE(WriteFileAtomically(scratch.dir.wstring() + L"/", Bytes{1})) << "a folder's name";
    EXPECT_EQ(scratch.EntryCount(), 0u);
}

TEST_F(FileTest, ReadWholeFileDeliversExactBytesOrLeavesOutAlone) {
    const Bytes content = {'B', 'M', 0, 0, '\r', '\n', 0x1A, 0xFF, '\n', 0};
    WriteBytes(scratch / fs::path(U"b\u00efld-\U0001F600.bmp"), content);
    WriteBytes(scratch / "empty.bmp", {});
    fs::create_directory(scratch / "folder.bmp");
    const struct {
        std::wstring path;
        bool reads;
    } cases[] = {{WidePathOf(scratch.dir, U"b\u00efld-\U0001F600.bmp"), true},
                 {(scratch / "empty.bmp").wstring(), false},
                 {(scratch / "missing.bmp").wstring(), false},
                 {(scratch / "folder.bmp").wstring(), false},
                 {L"", false}};
    for (const auto& c : cases) {
        Bytes out(100, 0x55);
        EXPECT_EQ(ReadWholeFile(c.path, out), c.reads) << fs::path(c.path);
        EXPECT_EQ(out, c.reads ? content : Bytes(100, 0x55)) << fs::path(c.path);
    }
}

#ifndef _WIN32
TEST_F(FileTest, ReadWholeFileRefusesShortRead) {
    // sysfs reports a length of a page but delivers only the text it holds.
    const char* file = "/sys/devices/system/cpu/online";
    const int fd = ::open(file, O_RDONLY);
    if (fd < 0) GTEST_SKIP() << file << " is not available";
    char buffer[8192];
    const off_t claimed = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    const ssize_t delivered = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (claimed <= delivered) GTEST_SKIP() << file << " reads in full on this kernel";
    Bytes out = {1};
    EXPECT_FALSE(ReadWholeFile(fs::path(file).wstring(), out))
        << "length " << claimed << ", " << delivered << " read";
    EXPECT_EQ(out, Bytes{1});
}
#endif
