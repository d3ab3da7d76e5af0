#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/numbered_scan.h"

namespace fs = std::filesystem;

namespace {

struct ScanTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("orvix-scan-") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Touch(const fs::path& name) const { std::ofstream(dir / name) << "x"; }
    std::wstring Folder() const { return dir.wstring() + L"/"; }
};

std::vector<std::int32_t> Numbers(const std::vector<NumberedBitmapFile>& files) {
    std::vector<std::int32_t> numbers;
    for (const auto& f : files)
        numbers.push_back(f.number);
    return numbers;
}

using NumberList = std::vector<std::int32_t>;

TEST_F(ScanTest, KeepsOnlyFiveDigitLowerCaseBmpFiles) {
    for (const char* name : {"00010.bmp", "00002.bmp", "00300.bmp", "00000.bmp", "99999.bmp"}) {
        Touch(name);
    }
    for (const char* name : {"1234.bmp", "012345.bmp", "0123a.bmp", "01234.bmp.bak", "01234.BMP",
                             "01234.Bmp", "01234.bmpx", " 1234.bmp", "+1234.bmp", "-1234.bmp",
                             "01234_bmp", "01234.dib", ".0123.bmp"}) {
        Touch(name);
    }
    fs::create_directory(dir / "01235.bmp");
    // Digits of other scripts: full-width and Arabic-Indic.
    Touch(fs::path(U"\uFF10\uFF11\uFF12\uFF13\uFF14.bmp"));
    Touch(fs::path(U"\u0660\u0661\u0662\u0663\u0664.bmp"));
    // Not valid UTF-8: no wide name exists for it, so it can never qualify.
    Touch(
        fs::path(std::string("\xff\xfe"
                             "123.bmp")));

    std::vector<NumberedBitmapFile> found = {{77, L"stale"}};
    ScanNumberedBitmaps(Folder(), found);
    EXPECT_EQ(Numbers(found), (NumberList{0, 2, 10, 300, 99999}));
    for (const auto& f : found) {
        wchar_t name[16];
        std::swprintf(name, 16, L"%05d.bmp", f.number);
        EXPECT_EQ(f.path, Folder() + name);
    }
}

TEST_F(ScanTest, LinksCountByWhatTheyPointAt) {
    Touch("target");
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "target", dir / "00001.bmp");
    fs::create_directory_symlink(dir / "sub", dir / "00002.bmp");
    std::vector<NumberedBitmapFile> found;
    ScanNumberedBitmaps(Folder(), found);
    EXPECT_EQ(Numbers(found), (NumberList{1}));
}

TEST_F(ScanTest, OrderDoesNotDependOnCreationOrder) {
    const std::vector<std::vector<int>> orders = {
        {1, 3, 5, 12, 777, 40000, 99998},
        {99998, 40000, 777, 12, 5, 3, 1},
        {777, 1, 99998, 5, 40000, 3, 12},
    };
    for (const auto& order : orders) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (int n : order) {
            char name[16];
            std::snprintf(name, sizeof name, "%05d.bmp", n);
            Touch(name);
        }
        std::vector<NumberedBitmapFile> found;
        ScanNumberedBitmaps(Folder(), found);
        EXPECT_EQ(Numbers(found), (NumberList{1, 3, 5, 12, 777, 40000, 99998}))
            << "created starting with " << order[0];
    }
}

TEST_F(ScanTest, FolderMustEndWithSeparator) {
    Touch("00001.bmp");
    std::vector<NumberedBitmapFile> found = {{1, L"stale"}};
    ScanNumberedBitmaps(dir.wstring(), found);
    EXPECT_TRUE(found.empty()) << "no separator: folder and name would run together";
    ScanNumberedBitmaps(dir.wstring() + L"\\", found);
    EXPECT_TRUE(found.empty()) << "a backslash is part of a POSIX name";
    ScanNumberedBitmaps(dir.wstring() + L"//", found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, dir.wstring() + L"//00001.bmp")
        << "the folder string is kept as given";
}

TEST_F(ScanTest, EmptyFolderStringListsCurrentDirectoryAsBareNames) {
    Touch("00042.bmp");
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    std::vector<NumberedBitmapFile> found;
    ScanNumberedBitmaps(L"", found);
    fs::current_path(previous);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].number, 42);
    EXPECT_EQ(found[0].path, L"00042.bmp");
}

TEST_F(ScanTest, UnlistableFoldersGiveEmptyResult) {
    Touch("00001.bmp");
    std::vector<NumberedBitmapFile> found = {{1, L"stale"}};
    ScanNumberedBitmaps(Folder() + L"missing/", found);
    EXPECT_TRUE(found.empty());
    found = {{1, L"stale"}};
    ScanNumberedBitmaps(Folder() + L"00001.bmp/", found);
    EXPECT_TRUE(found.empty()) << "a file is not a folder";
    found = {{1, L"stale"}};
    ScanNumberedBitmaps(std::wstring(L"/\xD800/"), found);  // no UTF-8 form
    EXPECT_TRUE(found.empty());
}

TEST_F(ScanTest, NonAsciiFolderIsKeptVerbatim) {
    const std::u32string sub = U"b\u00efld\u00e9r-\U0001F600";
    fs::create_directory(dir / fs::path(sub));
    std::ofstream(dir / fs::path(sub) / "00009.bmp") << "x";
    const std::wstring folder = Folder() + std::wstring(sub.begin(), sub.end()) + L"/";
    std::vector<NumberedBitmapFile> found;
    ScanNumberedBitmaps(folder, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, folder + L"00009.bmp");
}

}  // namespace
