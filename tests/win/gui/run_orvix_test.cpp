// The program's own loop, as wWinMain runs it: it shows the main window and
// returns 0 when the user closes it.
#include "gui_test.h"
#include "shell/main_window.h"

TEST(RunOrvix, ShowsTheMainWindowAndReturnsZeroWhenItIsClosed) {
    const DWORD loop = GetCurrentThreadId();
    std::atomic<bool> shown{false};
    std::thread user([&] {
        for (int tries = 0; tries < 400 && !shown; ++tries, Sleep(50)) {
            HWND window = FindWindowExW(nullptr, nullptr, kMainWindowClass, L"Orvix");
            shown = window && IsWindowVisible(window) && PostMessageW(window, WM_CLOSE, 0, 0);
        }
        // A window that never came must not leave the loop running for good.
        if (!shown) PostThreadMessageW(loop, WM_QUIT, 1, 0);
    });
    EXPECT_EQ(RunOrvix(GetModuleHandleW(nullptr), SW_SHOWNORMAL), 0);
    user.join();
    EXPECT_TRUE(shown);
    UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
    UnregisterClassW(kPreviewWindowClass, GetModuleHandleW(nullptr));
}
