#include "bench/bench_window_win.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "bench/bench_common.h"
#include "shell/main_window.h"

namespace bench {

namespace {

// The hook and the timer have no context of their own: one robot's state.
DialogAnswers gAnswers;
DialogTimes gTimes;
std::map<HWND, double> gOpenDialogs;  // when each dialog still on screen came
std::map<HWND, double> gAnsweredAt;

LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND) {
        // The style is not the window's yet: it comes with the creation.
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        wchar_t name[16] = L"";
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770" && !(create->lpcs->style & WS_CHILD)) {
            gOpenDialogs[window] = Now();
            if (gTimes.firstShown == 0) gTimes.firstShown = gOpenDialogs[window];
        }
    } else if (code == HCBT_DESTROYWND) {
        const auto open = gOpenDialogs.find(window);
        if (open != gOpenDialogs.end()) {
            gTimes.lastGone = Now();
            gTimes.onScreen += gTimes.lastGone - open->second;
            gOpenDialogs.erase(open);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK AnswerDialog(HWND dialog, LPARAM) {
    if (!IsWindowVisible(dialog) || !IsTopLevelDialog(dialog)) return TRUE;
    wchar_t caption[64] = L"";
    GetWindowTextW(dialog, caption, 64);
    const auto answer = gAnswers.find(caption);
    const auto shown = gOpenDialogs.find(dialog);
    if (answer == gAnswers.end() || shown == gOpenDialogs.end()) return TRUE;
    // A dialog must settle before it takes input; one still there a second
    // after its answer is answered again.
    double& answeredAt = gAnsweredAt[dialog];
    if (Now() < std::max(shown->second + 0.3, answeredAt + 1)) return TRUE;
    answeredAt = Now();
    if (!answer->second.typed.empty()) {
        HWND field = GetDlgItem(dialog, 1152);  // edt1; newer dialogs have the combo box cmb13
        field = FirstEdit(field ? field : GetDlgItem(dialog, 1148));
        SendMessageW(field, EM_SETSEL, 0, -1);
        SendMessageW(field, WM_CHAR, VK_BACK, 1);
        for (wchar_t ch : answer->second.typed)
            SendMessageW(field, WM_CHAR, ch, 1);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer->second.button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer->second.button)));
    return TRUE;
}

// Runs inside whichever message loop is turning, a dialog's own included.
void CALLBACK AnswerDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerDialog, 0);
}

}  // namespace

GuiSession::GuiSession() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

GuiSession::~GuiSession() {
    CoUninitialize();
}

DialogRobot::DialogRobot(DialogAnswers answers) {
    gAnswers = std::move(answers);
    gTimes = {};
    gOpenDialogs.clear();
    gAnsweredAt.clear();
    hook_ = SetWindowsHookExW(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
    timer_ = SetTimer(nullptr, 0, 20, AnswerDialogs);
}

DialogRobot::~DialogRobot() {
    KillTimer(nullptr, timer_);
    UnhookWindowsHookEx(hook_);
}

const DialogTimes& DialogRobot::Times() const {
    return gTimes;
}

BenchWindow::~BenchWindow() {
    if (app.mainWindow) DestroyWindow(app.mainWindow);
    if (shortcuts) DestroyAcceleratorTable(shortcuts);
}

bool BenchWindow::Open() {
    app.instance = GetModuleHandleW(nullptr);
    if (!RegisterMainWindowClass(app.instance) || !CreateMainWindow(app)) return false;
    shortcuts = LoadShortcuts(app.instance);
    ShowWindow(app.mainWindow, SW_SHOWNORMAL);
    UpdateWindow(app.mainWindow);
    Pump(0.2);
    return true;
}

bool BenchWindow::PumpUntil(const std::function<bool()>& done, double timeout) {
    const double start = Now();
    while (!done()) {
        if (Now() - start > timeout) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchLoopMessage(app.mainWindow, shortcuts, msg);
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

void BenchWindow::Pump(double seconds) {
    PumpUntil([] { return false; }, seconds);
}

int BenchWindow::Rows() const {
    return static_cast<int>(SendMessageW(app.listView, LVM_GETITEMCOUNT, 0, 0));
}

CommandTiming BenchWindow::RunCommand(WORD command, DialogAnswers answers) {
    DialogRobot robot(std::move(answers));
    const double start = Now();
    SendMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    const double end = Now();
    const DialogTimes& times = robot.Times();
    CommandTiming timing;
    timing.total = end - start;
    timing.onScreen = times.onScreen;
    timing.afterLast = times.lastGone > 0 ? end - times.lastGone : timing.total;
    return timing;
}

bool IsTopLevelDialog(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770" && !(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
}

HWND FirstEdit(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (_wcsicmp(name, L"Edit") == 0) return window;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND edit = FirstEdit(child)) return edit;
    }
    return nullptr;
}

}  // namespace bench
