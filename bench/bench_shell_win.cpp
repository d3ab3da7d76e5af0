// The main window with a full container, as a user meets it: File > Open
// answered in the system's dialog until the list holds every row (into the
// fresh window, then again over the open document), the parts of that on
// their own (LoadContainer, RefreshBitmapList), then selecting a 4096 x 4096
// 32-bit bitmap and painting its preview. Figures are printed beside their
// targets as ratios (below 1 meets the target); nothing is asserted.
// Needs a display:
//   xvfb-run scripts/wine-run.sh <build>/bench/orvix_bench_shell.exe [count]
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "resources/resource_ids.h"
#include "shell/bitmap_list.h"
#include "shell/main_window.h"

namespace {

constexpr double kListTarget = 0.2;
constexpr double kSelectTarget = 0.05;
constexpr double kPaintTarget = 0.05;
constexpr int kBigSide = 4096;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::wstring TempPath(const wchar_t* leaf) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + leaf;
}

// A bottom-up 32-bit BI_RGB payload, side x side, with varied pixels.
DibPayload Dib(std::int32_t side, std::uint8_t seed) {
    const std::size_t pixels = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    std::vector<std::uint8_t> p(sizeof(BITMAPINFOHEADER) + 4 * pixels);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = side;
    header.biHeight = side;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, p.begin());
    for (std::size_t i = sizeof header; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return p;
}

void Report(const char* what, double seconds, double target) {
    std::printf("%-54s %8.1f ms  (%.2f of the %.0f ms target)\n", what, seconds * 1e3,
                seconds / target, target * 1e3);
}

void Figure(const char* what, double seconds) {
    std::printf("%-54s %8.1f ms\n", what, seconds * 1e3);
}

bool IsTopLevelDialog(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770" && !(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
}

// When the Open dialog came and went, seen from a hook on the GUI thread, so
// that the time it was on screen can be left out.
double gDialogShown = 0;
double gDialogGone = 0;

LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && gDialogShown == 0) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        wchar_t name[16] = L"";
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770" && !(create->lpcs->style & WS_CHILD))
            gDialogShown = Now();
    } else if (code == HCBT_DESTROYWND && IsTopLevelDialog(window)) {
        gDialogGone = Now();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK FindOpenDialog(HWND window, LPARAM found) {
    wchar_t caption[64] = L"";
    GetWindowTextW(window, caption, 64);
    if (!IsWindowVisible(window) || !IsTopLevelDialog(window) || std::wstring(caption) != L"Open")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The file-name field is an edit control, alone or inside a combo box.
HWND FirstEdit(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (_wcsicmp(name, L"Edit") == 0) return window;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND edit = FirstEdit(child)) return edit;
    }
    return nullptr;
}

std::wstring gAnswer;  // the path to type into the Open dialog
double gAnswerAt = 0;  // when to type it: the dialog must settle first

// A timer that runs inside the dialog's own message loop: types the path
// into the file-name field and presses OK, as the GUI tests' robot does,
// again a second later should the dialog still be there.
void CALLBACK AnswerOpen(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOpenDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    if (gAnswerAt == 0) gAnswerAt = Now() + 0.3;
    if (Now() < gAnswerAt) return;
    gAnswerAt = Now() + 1;
    HWND field = GetDlgItem(dialog, 1152);  // edt1; newer dialogs have the combo box cmb13
    field = FirstEdit(field ? field : GetDlgItem(dialog, 1148));
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, WM_CHAR, VK_BACK, 1);
    for (wchar_t ch : gAnswer)
        SendMessageW(field, WM_CHAR, ch, 1);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

template <typename Done>
bool PumpUntil(HWND mainWindow, HACCEL shortcuts, Done done, double timeout) {
    const double start = Now();
    while (!done()) {
        if (Now() - start > timeout) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchLoopMessage(mainWindow, shortcuts, msg);
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

int Rows(const AppState& app) {
    return static_cast<int>(SendMessageW(app.listView, LVM_GETITEMCOUNT, 0, 0));
}

// File > Open through the message loop, the dialog answered with path,
// until the list has count rows. False when it never gets there.
bool OpenThroughDialog(AppState& app, HACCEL shortcuts, const std::wstring& path, int count,
                       const char* label) {
    HHOOK hook = SetWindowsHookExW(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
    gDialogShown = gDialogGone = gAnswerAt = 0;
    gAnswer = path;
    const UINT_PTR answering = SetTimer(nullptr, 0, 20, AnswerOpen);
    const double commandAt = Now();
    PostMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(CMD_OPEN, 0), 0);
    // A list that is full before the command (a reopen) must first be emptied.
    const bool filled = PumpUntil(
        app.mainWindow, shortcuts, [&] { return gDialogGone != 0 && Rows(app) == count; }, 120);
    const double filledAt = Now();
    KillTimer(nullptr, answering);
    UnhookWindowsHookEx(hook);

    std::printf("%s: %s with %d rows\n", label, filled ? "list filled" : "list NOT filled",
                Rows(app));
    Figure("  command to a full list, dialog included", filledAt - commandAt);
    Figure("  command to the dialog (closes the open document)", gDialogShown - commandAt);
    Figure("  dialog on screen (answered after 0.3 s)", gDialogGone - gDialogShown);
    Report("  dialog closed to a full list", filledAt - gDialogGone, kListTarget);
    return filled;
}

void SetRowSelected(HWND list, int row, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

int main(int argc, char** argv) {
    // Figures appear as they are measured, even if a later step hangs.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 2, 65535) : 65535;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const std::wstring path = TempPath(L"orvix-bench-shell.obk");
    {
        ContainerDoc doc;
        for (int id = 1; id <= count; ++id)
            doc.bitmaps[id] = Dib(2, static_cast<std::uint8_t>(id));
        if (!WriteBlankContainer(path, true) || !SaveContainer(doc, path)) {
            std::printf("cannot write the container\n");
            return 1;
        }
    }

    AppState app;
    app.instance = GetModuleHandleW(nullptr);
    if (!RegisterMainWindowClass(app.instance) || !CreateMainWindow(app)) return 1;
    HACCEL shortcuts = LoadShortcuts(app.instance);
    ShowWindow(app.mainWindow, SW_SHOWNORMAL);
    UpdateWindow(app.mainWindow);
    PumpUntil(
        app.mainWindow, shortcuts, [] { return false; }, 0.2);

    std::printf("%d bitmaps of %zu bytes\n", count, Dib(2, 0).size());
    bool ok = OpenThroughDialog(app, shortcuts, path, count, "Open into the new window");
    ok = OpenThroughDialog(app, shortcuts, path, count, "Open over the open document") && ok;

    // The two halves of that on their own.
    ContainerDoc again;
    double t = Now();
    ok = LoadContainer(again, path) && ok;
    Figure("LoadContainer alone", Now() - t);
    t = Now();
    RefreshBitmapList(app);
    Report("RefreshBitmapList over a full list", Now() - t, kListTarget);

    // Selecting a big bitmap's row, then painting it.
    const ResourceId big = count / 2;
    app.doc.bitmaps[big] = Dib(kBigSide, 1);
    PumpUntil(
        app.mainWindow, shortcuts, [] { return false; }, 0.2);
    t = Now();
    SetRowSelected(app.listView, big - 1, true);
    Report("selecting the 4096 x 4096 row, first time", Now() - t, kSelectTarget);
    ok = app.previewId == big && ok;
    t = Now();
    ShowSelectedBitmap(app);
    Report("  ShowSelectedBitmap again", Now() - t, kSelectTarget);
    SetRowSelected(app.listView, big - 1, false);
    t = Now();
    const std::vector<std::uint8_t> fresh = app.doc.bitmaps[big].ToBytes();
    Figure("  for scale: copying the payload into fresh memory", Now() - t);
    t = Now();
    SelectBitmapById(app, big);
    Report("  SelectBitmapById (looks for the row among all)", Now() - t, kSelectTarget);

    std::vector<double> paints;
    for (int i = 0; i < 7; ++i) {
        t = Now();
        RedrawWindow(app.previewWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        paints.push_back(Now() - t);
    }
    Report("first paint of the 4096 x 4096 preview", paints.front(), kPaintTarget);
    std::sort(paints.begin(), paints.end());
    Report("  median of 7 paints", paints[paints.size() / 2], kPaintTarget);
    // The pane's top-left pixel is the image's: its top row is the last one stored.
    const DibPayload& shown = app.doc.bitmaps[big];
    const std::size_t corner = sizeof(BITMAPINFOHEADER) + std::size_t{kBigSide - 1} * kBigSide * 4;
    HDC paneDc = GetDC(app.previewWindow);
    const bool drawn =
        GetPixel(paneDc, 0, 0) == RGB(shown[corner + 2], shown[corner + 1], shown[corner]);
    ReleaseDC(app.previewWindow, paneDc);
    std::printf("the pane shows the image: %s\n", drawn ? "yes" : "NO");
    ok = drawn && ok;
    if (app.previewId != big) std::printf("the selection did NOT reach the preview\n");

    t = Now();
    CloseDocument(app);
    Report("Close of the full list", Now() - t, kListTarget);

    DestroyWindow(app.mainWindow);
    if (shortcuts) DestroyAcceleratorTable(shortcuts);
    DeleteFileW(path.c_str());
    CoUninitialize();
    return ok ? 0 : 1;
}
