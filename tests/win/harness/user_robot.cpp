#include "gui_test.h"

#include <algorithm>
#include <map>

namespace {

constexpr int kFileNameCombo = 1148;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kMessageBoxIcons[] = {20, 1088};  // as Windows numbers it, and as Wine does
constexpr UINT kGetMenuHandle = 0x01E1;         // MN_GETHMENU
constexpr DWORD kPollMs = 25;
constexpr DWORD kSettleMs = 120;         // let a window finish initialising before reading it
constexpr DWORD kRetryAfterMs = 3000;    // a window still there after this gets the answer again
constexpr DWORD kFollowUpAfterMs = 400;  // a window still there after this is open for good

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// The kind of icon a message box shows, as the word its text is read after.
std::wstring IconWordOf(HWND dialog) {
    HICON icon = nullptr;
    for (int control : kMessageBoxIcons) {
        if (HWND shown = GetDlgItem(dialog, control))
            icon = reinterpret_cast<HICON>(SendMessageW(shown, STM_GETICON, 0, 0));
    }
    const LPCWSTR icons[] = {IDI_INFORMATION, IDI_WARNING, IDI_ERROR, IDI_QUESTION};
    const wchar_t* words[] = {L"information: ", L"warning: ", L"error: ", L"question: "};
    for (int i = 0; icon && i < 4; ++i) {
        if (LoadIconW(nullptr, icons[i]) == icon) return words[i];
    }
    return L"";
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
    auto* shown = reinterpret_cast<ShownWindow*>(context);
    const std::wstring cls = ClassOf(child), text = WindowText(child);
    if (!IsWindowVisible(child)) return TRUE;
    if (_wcsicmp(cls.c_str(), L"Button") == 0) shown->buttons.push_back(text);
    if (_wcsicmp(cls.c_str(), L"Edit") == 0) shown->fields.push_back(text);
    if (_wcsicmp(cls.c_str(), L"Static") == 0 && !text.empty())
        shown->text += (shown->text.empty() ? L"" : L"\n") + text;
    return TRUE;
}

ShownWindow Read(HWND window, bool isMenu) {
    ShownWindow shown;
    RECT rect{};
    GetWindowRect(window, &rect);
    shown.corner = {rect.left, rect.top};
    if (!isMenu) {
        shown.caption = WindowText(window);
        EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&shown));
        if (HWND messageText = GetDlgItem(window, kMessageBoxText))
            shown.text = WindowText(messageText);
        shown.text = IconWordOf(window) + shown.text;
        return shown;
    }
    auto menu = reinterpret_cast<HMENU>(SendMessageW(window, kGetMenuHandle, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i)
        shown.menuItems.push_back(MenuItemText(menu, i));
    return shown;
}

void PostKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void Act(HWND window, const RobotStep& step) {
    using Kind = RobotStep::Kind;
    if (step.kind == Kind::Look) return;
    if (step.kind == Kind::MenuCharacter) {
        PostMessageW(window, WM_CHAR, step.key, 1);
    } else if (step.kind == Kind::CloseBox) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (step.kind == Kind::Key) {
        // Keys go where the user's keys go: the control that has the focus,
        // through the dialog's own message loop.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        const bool inside = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                            info.hwndFocus &&
                            (info.hwndFocus == window || IsChild(window, info.hwndFocus));
        PostKey(inside ? info.hwndFocus : window, step.key);
    } else {
        const int button = step.kind == Kind::TypeThenOk ? IDOK : step.id;
        // The explorer-style file dialog names its file-name field 1152 (edt1)
        // on some systems and 1148 (cmb13, a combo box around an edit) on others.
        HWND field = GetDlgItem(window, step.id);
        if (!field && step.id == kFileNameField) field = GetDlgItem(window, kFileNameCombo);
        while (field && _wcsicmp(ClassOf(field).c_str(), L"Edit") != 0)
            field = GetWindow(field, GW_CHILD);
        if (HWND edit = step.kind == Kind::TypeThenOk ? field : nullptr) {
            SendMessageW(edit, EM_SETSEL, 0, -1);
            SendMessageW(edit, WM_CHAR, VK_BACK, 1);
            for (wchar_t ch : step.text)
                SendMessageW(edit, WM_CHAR, ch, 1);
        }
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    }
}

struct Tracked {
    DWORD since = 0;  // first seen, then last answered
    bool answered = false, isMenu = false;
    RobotStep answer;
};

void RobotLoop(UserRobot* robot) {
    std::map<HWND, Tracked> tracked;
    // Only this thread changes the steps; the lock guards its writes against
    // the test thread's reads.
    const auto record = [robot](ShownWindow shown, std::wstring problem) {
        std::lock_guard<std::mutex> guard(robot->lock);
        robot->shown.push_back(std::move(shown));
        if (problem.empty()) robot->steps.pop_front();
        if (!problem.empty()) robot->problems.push_back(std::move(problem));
    };
    while (!robot->stopping) {
        std::vector<HWND> found;
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, nullptr));) {
            const std::wstring cls = ClassOf(w);
            if (IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == robot->guiThread &&
                (cls == L"#32770" || cls == L"#32768"))
                found.push_back(w);
        }
        std::erase_if(tracked, [&](const auto& entry) {
            return std::find(found.begin(), found.end(), entry.first) == found.end();
        });
        const DWORD now = GetTickCount();
        for (HWND window : found) {
            auto [entry, isNew] = tracked.try_emplace(window);
            Tracked& t = entry->second;
            if (isNew) {
                t.since = now;
                t.isMenu = ClassOf(window) == L"#32768";
                continue;
            }
            const RobotStep* next = robot->steps.empty() ? nullptr : &robot->steps.front();
            if (t.answered) {
                bool again = now - t.since > kRetryAfterMs;
                if (!t.isMenu && next && next->followUp && now - t.since > kFollowUpAfterMs &&
                    next->caption == WindowText(window)) {
                    t.answer = *next;
                    record(Read(window, false), {});
                    again = true;
                }
                if (again) Act(window, t.answer);
                if (again) t.since = now;
                continue;
            }
            if (now - t.since < kSettleMs) continue;
            ShownWindow shown = Read(window, t.isMenu);
            // One that closed while it was read (a progress window at the end
            // of its run) was never there to answer.
            if (!IsWindow(window) || !IsWindowVisible(window)) continue;
            // A menu has no caption, and nor has a step for one.
            std::wstring problem;
            if (next && !next->followUp && next->caption == shown.caption) {
                t.answer = *next;
            } else {
                problem = L"unexpected window \"" + shown.caption + L"\": " + shown.text +
                          (next ? L" (waiting for \"" + next->caption + L"\")" : L" (the end)");
                // Close it so that the test does not hang.
                t.answer = t.isMenu ? DismissMenu() : Press(shown.caption, IDCANCEL);
            }
            record(std::move(shown), std::move(problem));
            Act(window, t.answer);
            t.answered = true;
            t.since = now;
        }
        Sleep(kPollMs);
    }
}

}  // namespace

std::wstring MenuItemText(HMENU menu, int position) {
    wchar_t text[256] = L"";
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    if (state & MF_SEPARATOR) return L"";
    return text + std::wstring(state & MF_GRAYED ? L" (grayed)" : L"");
}

void StartRobot(UserRobot& robot, std::vector<RobotStep> script) {
    robot.guiThread = GetCurrentThreadId();
    robot.steps.assign(script.begin(), script.end());
    robot.stopping = false;
    robot.worker = std::thread(RobotLoop, &robot);
}

void StopRobot(UserRobot& robot) {
    robot.stopping = true;
    if (robot.worker.joinable()) robot.worker.join();
}
