// Orvix.exe itself, started as a user starts it.
#include <filesystem>

#include "gui_test.h"
#include "shell/main_window.h"

TEST(RealProgram, StartsWithItsWindowAndExitsWithZeroWhenClosed) {
    // This program is build\tests\win\*.exe; the real one is build\shell\Orvix.exe.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program = (std::filesystem::path(self).parent_path().parent_path().parent_path() /
                            "shell" / "Orvix.exe")
                               .wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), program.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << program;
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); !window && GetTickCount() - start < 20000; Sleep(50)) {
        HWND found = FindWindowExW(nullptr, nullptr, kMainWindowClass, L"Orvix");
        DWORD owner = 0;
        GetWindowThreadProcessId(found, &owner);
        if (owner == process.dwProcessId && IsWindowVisible(found)) window = found;
    }
    ASSERT_NE(window, nullptr) << "no main window appeared";
    RECT outer{}, list{};
    GetWindowRect(window, &outer);
    GetWindowRect(GetDlgItem(window, 1001), &list);
    EXPECT_EQ((std::vector<LONG>{outer.right - outer.left, outer.bottom - outer.top,
                                 list.right - list.left}),
              (std::vector<LONG>{980, 640, 160}));
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
