// Orvix.exe itself, started as a user starts it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "shell/main_window.h"

TEST(RealProgram, StartsWithItsWindowAndExitsWithZeroWhenClosed) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // This program is build\tests\win\*.exe; the real one is build\shell\Orvix.exe.
    std::filesystem::path program = std::filesystem::path(self).parent_path();
    program = program.parent_path().parent_path() / "shell" / "Orvix.exe";
    ASSERT_TRUE(std::filesystem::exists(program)) << program.string();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); !window && GetTickCount() - start < 20000; Sleep(50)) {
        while ((window = FindWindowExW(nullptr, window, kMainWindowClass, nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process.dwProcessId && IsWindowVisible(window)) break;
        }
    }
    ASSERT_NE(window, nullptr) << "no main window appeared";
    wchar_t caption[64] = L"";
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Orvix");
    RECT outer{}, list{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 980);
    EXPECT_EQ(outer.bottom - outer.top, 640);
    GetWindowRect(GetDlgItem(window, 1001), &list);
    EXPECT_EQ(list.right - list.left, 160);
    EXPECT_NE(GetDlgItem(window, 1002), nullptr);
    EXPECT_NE(GetMenu(window), nullptr);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
