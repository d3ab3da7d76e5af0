#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fileio/atomic_file.h"

namespace {

std::wstring TempDir(const wchar_t* leaf) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + leaf + L"\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::vector<std::uint8_t> Slurp(const std::wstring& path) {
    std::vector<std::uint8_t> out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    out.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(h);
    out.resize(got);
    return out;
}

int CountEntries(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L".."))
            ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

}  // namespace

TEST(AtomicFileWin, ReplacesExistingFileAndCleansUpOnFailure) {
    std::wstring dir = TempDir(L"orvix-atomic-win");
    std::wstring target = dir + L"t\u00e9st.obk";  // a non-ASCII name must survive
    DeleteFileW(target.c_str());
    std::vector<std::uint8_t> first(3000, 0x5A), second{9, 8, 7};
    ASSERT_TRUE(WriteFileAtomically(target, first));
    ASSERT_TRUE(WriteFileAtomically(target, second));
    EXPECT_EQ(Slurp(target), second);

    SetAtomicWriteFailureAfterBytesForTesting(1);
    EXPECT_FALSE(WriteFileAtomically(target, first));
    SetAtomicWriteFailureAfterBytesForTesting(-1);
    EXPECT_EQ(Slurp(target), second);
    EXPECT_EQ(CountEntries(dir), 1);
    DeleteFileW(target.c_str());
    RemoveDirectoryW(dir.c_str());
}
