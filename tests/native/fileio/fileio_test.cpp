#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fileio/atomic_file.h"
#include "fileio/byte_order.h"
#include "fileio/whole_file.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Bytes = std::vector<std::uint8_t>;

struct FileTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("orvix-fileio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicRenameFailureForTesting(false);
        SetAtomicBatchSyncFailureForTesting(false);
        fs::remove_all(dir);
    }
    size_t EntryCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    std::wstring Spill(const char* name, const Bytes& bytes) const {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir / name).wstring();
    }
};

}  // namespace

TEST_F(FileTest, CreatesAndReplacesWholeFile) {
    fs::path target = dir / "a.bin";
    std::vector<std::uint8_t> first(1000, 0xAA), second{1, 2, 3};
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), first));
    EXPECT_EQ(Slurp(target), first);
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), second));
    EXPECT_EQ(Slurp(target), second);
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file may be left behind";
}

TEST_F(FileTest, FailuresLeaveTargetIntactAndNoTemporary) {
    fs::path target = dir / "a.bin";
    std::vector<std::uint8_t> original(4096, 0x11), replacement(8192, 0x22);
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), original));

    // A write within a batch skips the flush, never the temporary name.
    for (bool batched : {false, true}) {
        AtomicWriteBatch batch;
        AtomicWriteBatch* const in = batched ? &batch : nullptr;
        SetAtomicWriteFailureAfterBytesForTesting(100);
        EXPECT_FALSE(WriteFileAtomically(target.wstring(), replacement, in)) << batched;
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(Slurp(target), original);
        EXPECT_EQ(EntryCount(), 1u);

        SetAtomicRenameFailureForTesting(true);
        EXPECT_FALSE(WriteFileAtomically(target.wstring(), replacement, in)) << batched;
        SetAtomicRenameFailureForTesting(false);
        EXPECT_EQ(Slurp(target), original);
        EXPECT_EQ(EntryCount(), 1u);

        auto abandon = [](const AtomicWriteSink& sink) {
            std::uint8_t b = 7;
            sink({&b, 1});
            return false;
        };
        EXPECT_FALSE(WriteFileAtomically(target.wstring(), abandon, in)) << batched;
        EXPECT_EQ(Slurp(target), original);
        EXPECT_EQ(EntryCount(), 1u);
        EXPECT_TRUE(batch.Commit()) << "nothing written, nothing to fail";
    }
}

TEST_F(FileTest, BatchReportsItsFinalSync) {
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    for (bool syncFails : {false, true}) {
        AtomicWriteBatch batch;
        ASSERT_TRUE(WriteFileAtomically((dir / "a.bin").wstring(), bytes, &batch));
        ASSERT_TRUE(WriteFileAtomically((dir / "b.bin").wstring(), bytes, &batch));
        SetAtomicBatchSyncFailureForTesting(syncFails);
        EXPECT_EQ(batch.Commit(), !syncFails);
        SetAtomicBatchSyncFailureForTesting(false);
        EXPECT_EQ(Slurp(dir / "b.bin"), bytes);
        EXPECT_EQ(EntryCount(), 2u);
    }
}

TEST_F(FileTest, MissingFolderFailsWithoutCreatingAnything) {
    fs::path target = dir / "no-such-folder" / "a.bin";
    std::vector<std::uint8_t> bytes{1};
    EXPECT_FALSE(WriteFileAtomically(target.wstring(), bytes));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(FileTest, ReadWholeFileDeliversExactBytesAndReplacesOut) {
    const Bytes content = {'B', 'M', 0, 0, '\r', '\n', 0x1A, 0xFF, '\n', 0};
    Bytes out(100, 0x55);
    ASSERT_TRUE(ReadWholeFile(Spill("a.bmp", content), out));
    EXPECT_EQ(out, content);
}

TEST_F(FileTest, ReadWholeFileFailuresLeaveOutAsItWas) {
    Spill("empty.bmp", {});
    fs::create_directory(dir / "folder.bmp");
    const Bytes before = {9, 8, 7};
    for (const char* name : {"empty.bmp", "missing.bmp", "folder.bmp", ""}) {
        Bytes out = before;
        EXPECT_FALSE(ReadWholeFile(*name ? (dir / name).wstring() : L"", out)) << name;
        EXPECT_EQ(out, before) << name;
    }
}

TEST_F(FileTest, ReadWholeFileRefusesShortRead) {
    // sysfs reports a length of a page but delivers only the text it holds.
    const char* file = "/sys/devices/system/cpu/online";
    int fd = ::open(file, O_RDONLY);
    if (fd < 0) GTEST_SKIP() << file << " is not available";
    char buffer[8192];
    const off_t claimed = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    const ssize_t delivered = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (claimed <= delivered) GTEST_SKIP() << file << " reads in full on this kernel";

    Bytes out = {1};
    EXPECT_FALSE(ReadWholeFile(fs::path(file).wstring(), out))
        << "length " << claimed << " but only " << delivered << " bytes readable";
    EXPECT_EQ(out, Bytes{1});
}

TEST(ByteOrder, FieldsAreLittleEndianWithTheirHighBitsSet) {
    const Bytes file = {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8};
    EXPECT_EQ(LoadU16(file.data()), 0x9281u);
    EXPECT_EQ(LoadU32(file.data()), 0xB4A39281u);
    EXPECT_EQ(LoadI32(file.data()), -0x4B5C6D7F);
    EXPECT_EQ(LoadU64(file.data()), 0xF8E7D6C5B4A39281u);
    Bytes written(8, 0);
    PutU64(written.data(), 0xF8E7D6C5B4A39281u);
    EXPECT_EQ(written, file);
    PutU32(written.data() + 4, 0x04030201u);
    PutU16(written.data() + 2, 0x0A09);
    EXPECT_EQ(written, (Bytes{0x81, 0x92, 0x09, 0x0A, 0x01, 0x02, 0x03, 0x04}));
}
