// Orvix.exe itself, started as a user starts it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

namespace {

std::wstring ProgramPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));  // ...\tests\win
    path.resize(path.find_last_of(L'\\'));  // ...\tests
    path.resize(path.find_last_of(L'\\'));  // the build folder
    return path + L"\\shell\\Orvix.exe";
}

HWND WaitForWindow(DWORD processId, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, L"PictorumWin32Class", nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window)) return window;
        }
        Sleep(50);
    }
    return nullptr;
}

}  // namespace

TEST(RealProgram, StartsWithItsWindowAndExitsWithZeroWhenClosed) {
    std::wstring program = ProgramPath();
    ASSERT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES)
        << "missing " << std::string(program.begin(), program.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program + L"\"";
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));

    HWND window = WaitForWindow(process.dwProcessId, 20000);
    ASSERT_NE(window, nullptr) << "no main window appeared";
    wchar_t caption[64] = L"";
    GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Orvix");
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 980);
    EXPECT_EQ(outer.bottom - outer.top, 640);
    HWND list = GetDlgItem(window, 1001);
    ASSERT_NE(list, nullptr);
    RECT listRect{};
    GetWindowRect(list, &listRect);
    EXPECT_EQ(listRect.right - listRect.left, 160);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 156);
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
