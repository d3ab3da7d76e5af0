#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fileio/atomic_file.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct AtomicFileTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("orvix-atomic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        SetAtomicRenameFailureForTesting(false);
        fs::remove_all(dir);
    }
    size_t EntryCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
};

}  // namespace

TEST_F(AtomicFileTest, CreatesAndReplacesWholeFile) {
    fs::path target = dir / "a.bin";
    std::vector<std::uint8_t> first(1000, 0xAA), second{1, 2, 3};
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), first));
    EXPECT_EQ(Slurp(target), first);
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), second));
    EXPECT_EQ(Slurp(target), second);
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file may be left behind";
}

TEST_F(AtomicFileTest, FailuresLeaveTargetIntactAndNoTemporary) {
    fs::path target = dir / "a.bin";
    std::vector<std::uint8_t> original(4096, 0x11), replacement(8192, 0x22);
    ASSERT_TRUE(WriteFileAtomically(target.wstring(), original));

    SetAtomicWriteFailureAfterBytesForTesting(100);
    EXPECT_FALSE(WriteFileAtomically(target.wstring(), replacement));
    SetAtomicWriteFailureAfterBytesForTesting(-1);
    EXPECT_EQ(Slurp(target), original);
    EXPECT_EQ(EntryCount(), 1u);

    SetAtomicRenameFailureForTesting(true);
    EXPECT_FALSE(WriteFileAtomically(target.wstring(), replacement));
    SetAtomicRenameFailureForTesting(false);
    EXPECT_EQ(Slurp(target), original);
    EXPECT_EQ(EntryCount(), 1u);

    auto abandon = [](const AtomicWriteSink& sink) {
        std::uint8_t b = 7;
        sink({&b, 1});
        return false;
    };
    EXPECT_FALSE(WriteFileAtomically(target.wstring(), abandon));
    EXPECT_EQ(Slurp(target), original);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, MissingFolderFailsWithoutCreatingAnything) {
    fs::path target = dir / "no-such-folder" / "a.bin";
    std::vector<std::uint8_t> bytes{1};
    EXPECT_FALSE(WriteFileAtomically(target.wstring(), bytes));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(EntryCount(), 0u);
}
