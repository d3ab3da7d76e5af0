// The program's own loop, as wWinMain runs it: it shows the main window with
// the file its command line names open, or says it cannot, and returns 0
// when the user closes it.
#include "gui_test.h"
#include "shell/main_window.h"

TEST(RunOrvix, ShowsTheMainWindowWithItsFileAndReturnsZeroWhenItIsClosed) {
    orvix_test::ScratchFolder scratch;
    const std::wstring good = (scratch / "my art.obk").wstring(),
                       bad = (scratch / "notes.obk").wstring();
    ASSERT_TRUE(WriteContainerFile(good, {7, 12}));
    orvix_test::WriteBytes(bad, {'h', 'i'});
    const struct {
        std::wstring commandLine, caption;
        bool fails;
        LRESULT rows;
    } cases[] = {{L"Orvix.exe", L"Orvix", false, 0},
                 {L"Orvix.exe \"" + good + L"\"", L"Orvix - " + good, false, 2},
                 {L"Orvix.exe \"" + bad + L"\"", L"Orvix", true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        UserRobot robot;
        StartRobot(robot, c.fails ? std::vector<RobotStep>{Press(L"Error", IDOK)}
                                  : std::vector<RobotStep>{});
        const DWORD loop = GetCurrentThreadId();
        std::atomic<bool> shown{false};
        std::atomic<LRESULT> rows{-1};
        std::thread user([&] {
            for (int tries = 0; tries < 400 && !shown; ++tries, Sleep(50)) {
                HWND window = FindWindowExW(nullptr, nullptr, kMainWindowClass, nullptr);
                std::unique_lock<std::mutex> guard(robot.lock);
                const bool answered = robot.steps.empty();
                guard.unlock();
                if (!window || !IsWindowVisible(window) || !answered ||
                    WindowText(window) != c.caption)
                    continue;
                rows = SendMessageW(GetDlgItem(window, IDC_BITMAP_LIST), LVM_GETITEMCOUNT, 0, 0);
                shown = PostMessageW(window, WM_CLOSE, 0, 0);
            }
            // A window that never came must not leave the loop running for good.
            if (!shown) PostThreadMessageW(loop, WM_QUIT, 1, 0);
        });
        EXPECT_EQ(RunOrvix(GetModuleHandleW(nullptr), SW_SHOWNORMAL, c.commandLine.c_str()), 0);
        user.join();
        StopRobot(robot);
        EXPECT_TRUE(shown);
        EXPECT_EQ(rows, c.rows);
        ASSERT_EQ(robot.shown.size(), c.fails ? 1u : 0u);  // and no other window
        if (c.fails) EXPECT_EQ(robot.shown[0].text, L"error: Failed to open file.");
        UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
        UnregisterClassW(kPreviewWindowClass, GetModuleHandleW(nullptr));
    }
}
