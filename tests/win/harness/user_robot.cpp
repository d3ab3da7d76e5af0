#include "user_robot.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

constexpr int kFileNameField = 1152;
constexpr int kFileNameCombo = 1148;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kMessageBoxIcon = 20;        // as Windows numbers it
constexpr int kMessageBoxIconWine = 1088;  // stc1, as Wine numbers it
constexpr UINT kGetMenuHandle = 0x01E1;    // MN_GETHMENU
constexpr DWORD kPollMs = 25;
constexpr DWORD kSettleMs = 120;         // let a window finish initialising before reading it
constexpr DWORD kRetryAfterMs = 3000;    // a window still there after this gets the answer again
constexpr DWORD kFollowUpAfterMs = 400;  // a window still there after this is open for good

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

ShownIcon IconOf(HWND dialog) {
    HWND iconControl = GetDlgItem(dialog, kMessageBoxIcon);
    if (!iconControl) iconControl = GetDlgItem(dialog, kMessageBoxIconWine);
    if (!iconControl) return ShownIcon::None;
    auto icon = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
    if (!icon) return ShownIcon::None;
    struct Known {
        LPCWSTR id;
        ShownIcon kind;
    };
    const Known known[] = {{IDI_INFORMATION, ShownIcon::Information},
                           {IDI_WARNING, ShownIcon::Warning},
                           {IDI_ERROR, ShownIcon::Error},
                           {IDI_QUESTION, ShownIcon::Question}};
    for (const auto& k : known) {
        if (LoadIconW(nullptr, k.id) == icon) return k.kind;
    }
    return ShownIcon::None;
}

struct ChildScan {
    std::vector<std::wstring> buttons;
    std::vector<std::wstring> fields;
    std::vector<std::wstring> statics;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
    auto* scan = reinterpret_cast<ChildScan*>(context);

    if (!IsWindowVisible(child)) return TRUE;
    std::wstring cls = ClassOf(child);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        scan->buttons.push_back(TextOf(child));
    } else if (_wcsicmp(cls.c_str(), L"Edit") == 0) {
        scan->fields.push_back(TextOf(child));
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        std::wstring text = TextOf(child);
        if (!text.empty()) scan->statics.push_back(text);
    }
    return TRUE;
}

ShownWindow ReadDialog(HWND dialog) {
    ShownWindow shown;
    shown.caption = TextOf(dialog);
    GetWindowRect(dialog, &shown.rect);
    ChildScan scan;
    EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&scan));
    shown.buttons = scan.buttons;
    shown.fields = scan.fields;
    if (HWND messageText = GetDlgItem(dialog, kMessageBoxText)) {
        shown.text = TextOf(messageText);
    } else {
        for (size_t i = 0; i < scan.statics.size(); ++i) {
            if (i) shown.text += L"\n";
            shown.text += scan.statics[i];
        }
    }
    shown.icon = IconOf(dialog);
    return shown;
}

ShownWindow ReadMenu(HWND menuWindow) {
    ShownWindow shown;
    shown.isMenu = true;
    GetWindowRect(menuWindow, &shown.rect);
    auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, kGetMenuHandle, 0, 0));
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 256;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        ShownMenuItem item;
        item.text = (info.fType & MFT_SEPARATOR) ? L"" : text;
        item.id = info.wID;
        item.enabled = (info.fState & (MFS_GRAYED | MFS_DISABLED)) == 0;
        shown.menuItems.push_back(item);
    }
    return shown;
}

void TypeText(HWND field, const std::wstring& text) {
    // Select what is there, then type over it key by key.
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, WM_CHAR, VK_BACK, 1);
    for (wchar_t ch : text)
        SendMessageW(field, WM_CHAR, ch, 1);
}

HWND FirstEditWithin(HWND window) {
    if (_wcsicmp(ClassOf(window).c_str(), L"Edit") == 0) return window;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND edit = FirstEditWithin(child)) return edit;
    }
    return nullptr;
}

HWND FindField(HWND dialog, int controlId) {
    HWND field = GetDlgItem(dialog, controlId);
    // The explorer-style file dialog names its file-name field 1152 (edt1) on
    // some systems and 1148 (cmb13, a combo box around an edit) on others.
    if (!field && controlId == kFileNameField) field = GetDlgItem(dialog, kFileNameCombo);
    return field ? FirstEditWithin(field) : nullptr;
}

void PressButton(HWND dialog, int buttonId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

void Act(HWND window, bool isMenu, const RobotStep& step) {
    if (isMenu) {
        if (step.keyIsCharacter) {
            PostMessageW(window, WM_CHAR, step.key, 1);
        } else {
            PostMessageW(window, WM_KEYDOWN, step.key, 1);
            PostMessageW(window, WM_KEYUP, step.key, 0xC0000001);
        }
        return;
    }
    if (step.kind == RobotStep::Kind::PressKey) {
        // Keys go where the user's keys go: the control that has the focus,
        // through the dialog's own message loop.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        HWND target = window;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
            (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
            target = info.hwndFocus;
        }
        PostMessageW(target, WM_KEYDOWN, step.key, 1);
        PostMessageW(target, WM_KEYUP, step.key, 0xC0000001);
        return;
    }
    if (step.kind == RobotStep::Kind::CloseBox) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    if (step.kind == RobotStep::Kind::TypeThenPress) {
        if (HWND field = FindField(window, step.controlId)) TypeText(field, step.text);
    }
    PressButton(window, step.buttonId);
}

struct Candidates {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    if (!IsWindowVisible(window)) return TRUE;
    std::wstring cls = ClassOf(window);
    if (cls == L"#32770" || cls == L"#32768") {
        reinterpret_cast<Candidates*>(context)->windows.push_back(window);
    }
    return TRUE;
}

struct Tracked {
    DWORD firstSeen = 0;
    DWORD answeredAt = 0;
    bool answered = false;
    RobotStep answer;
    bool isMenu = false;
};

void RobotLoop(UserRobot* robot) {
    std::map<HWND, Tracked> tracked;
    while (!robot->stopping) {
        Candidates found;
        EnumThreadWindows(robot->guiThread, CollectTopLevel, reinterpret_cast<LPARAM>(&found));
        // Popup menus are top-level windows of the system, not of the thread.
        HWND menu = nullptr;
        while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
            if (IsWindowVisible(menu) &&
                GetWindowThreadProcessId(menu, nullptr) == robot->guiThread &&
                std::find(found.windows.begin(), found.windows.end(), menu) ==
                    found.windows.end()) {
                found.windows.push_back(menu);
            }
        }
        for (auto it = tracked.begin(); it != tracked.end();) {
            bool alive = std::find(found.windows.begin(), found.windows.end(), it->first) !=
                         found.windows.end();
            it = alive ? std::next(it) : tracked.erase(it);
        }
        DWORD now = GetTickCount();
        for (HWND window : found.windows) {
            auto [entry, isNew] = tracked.try_emplace(window);
            Tracked& t = entry->second;
            if (isNew) {
                t.firstSeen = now;
                t.isMenu = ClassOf(window) == L"#32768";
                continue;
            }
            if (t.answered) {
                bool followUp = false;
                if (!t.isMenu && now - t.answeredAt > kFollowUpAfterMs) {
                    std::lock_guard<std::mutex> guard(robot->lock);
                    if (!robot->steps.empty() && robot->steps.front().followUp &&
                        robot->steps.front().caption == TextOf(window)) {
                        robot->shown.push_back(ReadDialog(window));
                        t.answer = robot->steps.front();
                        robot->steps.pop_front();
                        followUp = true;
                    }
                }
                if (followUp || now - t.answeredAt > kRetryAfterMs) {
                    Act(window, t.isMenu, t.answer);
                    t.answeredAt = now;
                }
                continue;
            }
            if (now - t.firstSeen < kSettleMs) continue;

            ShownWindow shown = t.isMenu ? ReadMenu(window) : ReadDialog(window);
            if (GetEnvironmentVariableW(L"ORVIX_ROBOT_TRACE", nullptr, 0) > 0) {
                fwprintf(stderr, L"robot: %ls [%ls] \"%ls\"\n", t.isMenu ? L"menu" : L"dialog",
                         shown.caption.c_str(), shown.text.c_str());
            }
            RobotStep answer;
            {
                std::lock_guard<std::mutex> guard(robot->lock);
                robot->shown.push_back(shown);
                bool fits =
                    !robot->steps.empty() && !robot->steps.front().followUp &&
                    (t.isMenu == (robot->steps.front().kind == RobotStep::Kind::PressKeyInMenu)) &&
                    (t.isMenu || robot->steps.front().caption == shown.caption);
                if (fits) {
                    answer = robot->steps.front();
                    robot->steps.pop_front();
                } else {
                    robot->problems.push_back(
                        (t.isMenu
                             ? std::wstring(L"unexpected menu")
                             : L"unexpected window \"" + shown.caption + L"\": " + shown.text) +
                        (robot->steps.empty()
                             ? L" (script finished)"
                             : L" (waiting for \"" + robot->steps.front().caption + L"\")"));
                    // Close it so that the test does not hang.
                    answer = t.isMenu ? DismissMenu() : Press(shown.caption, IDCANCEL);
                }
            }
            Act(window, t.isMenu, answer);
            t.answered = true;
            t.answer = answer;
            t.answeredAt = now;
        }
        Sleep(kPollMs);
    }
}

}  // namespace

RobotStep Press(std::wstring caption, int buttonId) {
    RobotStep step;
    step.kind = RobotStep::Kind::PressButton;
    step.caption = std::move(caption);
    step.buttonId = buttonId;
    return step;
}

RobotStep TypeInto(std::wstring caption, int controlId, std::wstring text, int buttonId) {
    RobotStep step;
    step.kind = RobotStep::Kind::TypeThenPress;
    step.caption = std::move(caption);
    step.controlId = controlId;
    step.text = std::move(text);
    step.buttonId = buttonId;
    return step;
}

RobotStep ChooseFile(std::wstring caption, std::wstring path) {
    return TypeInto(std::move(caption), kFileNameField, std::move(path), IDOK);
}

RobotStep PressKey(std::wstring caption, WPARAM virtualKey) {
    RobotStep step;
    step.kind = RobotStep::Kind::PressKey;
    step.caption = std::move(caption);
    step.key = virtualKey;
    return step;
}

RobotStep CloseBox(std::wstring caption) {
    RobotStep step;
    step.kind = RobotStep::Kind::CloseBox;
    step.caption = std::move(caption);
    return step;
}

RobotStep Then(RobotStep step) {
    step.followUp = true;
    return step;
}

RobotStep DismissMenu() {
    RobotStep step;
    step.kind = RobotStep::Kind::PressKeyInMenu;
    step.key = VK_ESCAPE;
    return step;
}

RobotStep ChooseMenuMnemonic(wchar_t mnemonic) {
    RobotStep step;
    step.kind = RobotStep::Kind::PressKeyInMenu;
    step.key = mnemonic;
    step.keyIsCharacter = true;
    return step;
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

size_t ShownCount(UserRobot& robot) {
    std::lock_guard<std::mutex> guard(robot.lock);
    return robot.shown.size();
}

size_t StepsLeft(UserRobot& robot) {
    std::lock_guard<std::mutex> guard(robot.lock);
    return robot.steps.size();
}

const wchar_t* IconName(ShownIcon icon) {
    switch (icon) {
        case ShownIcon::Information:
            return L"information";
        case ShownIcon::Warning:
            return L"warning";
        case ShownIcon::Error:
            return L"error";
        case ShownIcon::Question:
            return L"question";
        default:
            return L"none";
    }
}
