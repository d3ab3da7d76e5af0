#include "shell/main_window.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "document/command_line.h"
#include "document/display_text.h"
#include "document/win32/file_commands.h"
#include "resources/resource_ids.h"
#include "shell/bitmap_list.h"
#include "shell/commands.h"
#include "shell/preview_pane.h"

namespace {

LRESULT OnCreate(AppState& app) {
    RegisterPreviewClass(app.instance);
    RECT client{};
    GetClientRect(app.mainWindow, &client);
    app.listView = CreateBitmapList(app, client);
    app.previewWindow = CreatePreviewPane(app, client);
    app.mainMenu = LoadMenuW(app.instance, MAKEINTRESOURCEW(IDM_MAIN_MENU));
    SetMenu(app.mainWindow, app.mainMenu);
    app.contextMenu = LoadMenuW(app.instance, MAKEINTRESOURCEW(IDM_CONTEXT_MENU));
    app.views = {RefreshBitmapList, ShowSelectedBitmap, UpdateWindowTitle, SelectBitmapById};
    UpdateWindowTitle(app);
    DragAcceptFiles(app.mainWindow, TRUE);
    return 0;
}

// The attached main menu goes with the window; the context menu is ours.
LRESULT OnDestroy(AppState& app, HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (app.contextMenu) DestroyMenu(app.contextMenu);
    app.contextMenu = nullptr;
    app.views = {};
    return DefWindowProcW(hwnd, WM_DESTROY, wParam, lParam);
}

LRESULT OnSize(AppState& app, LPARAM lParam) {
    if (!app.listView || !app.previewWindow) return 0;
    int width = LOWORD(lParam);
    int height = HIWORD(lParam);
    MoveWindow(app.listView, 0, 0, kListWidth, height, TRUE);
    // A client narrower than the list leaves the preview no room; a zero
    // width keeps it from reaching outside the client area.
    MoveWindow(app.previewWindow, kListWidth, 0, width > kListWidth ? width - kListWidth : 0,
               height, TRUE);
    SendMessageW(app.listView, LVM_SETCOLUMNWIDTH, 0, kListColumnWidth);
    RedrawWindow(app.previewWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return 0;
}

LRESULT OnClose(AppState& app) {
    if (app.doc.loaded && app.doc.dirty) {
        int answer = MessageBoxW(app.mainWindow, L"The current OBK has unsaved changes. Save now?",
                                 L"Save Changes", MB_YESNOCANCEL | MB_ICONQUESTION);
        switch (answer) {
            case IDNO:
                break;
            case IDCANCEL:
                return 0;
            case IDYES:
                SaveCommand(app);
                if (app.doc.dirty) return 0;
                break;
            default:
                if (app.doc.dirty) return 0;
                break;
        }
    }
    DestroyWindow(app.mainWindow);
    PostQuitMessage(0);
    return 0;
}

LRESULT OnNotify(AppState& app, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return 0;
    LRESULT result = 0;
    if (OnBitmapListNotify(app, *header, result)) return result;
    if (IsSelectionChange(*header, app.listView)) ShowSelectedBitmap(app);
    return 0;
}

LRESULT OnContextMenu(AppState& app, WPARAM wParam, LPARAM lParam) {
    ShowBitmapContextMenu(app, ContextMenuPoint(lParam, app.listView),
                          reinterpret_cast<HWND>(wParam));
    return 0;
}

// The list is the only child that takes keys: whenever the window gets the
// focus (at start-up, when a dialog or a picker ends, on a click on the
// title bar), the arrow keys must move through the rows at once.
LRESULT OnSetFocus(AppState& app) {
    if (app.listView) SetFocus(app.listView);
    return 0;
}

// The drop is read and let go of before anything is asked: the file
// manager waits on it no longer than it must.
LRESULT OnDropFiles(AppState& app, HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(std::move(path));
    }
    POINT at{};
    const bool inClient = DragQueryPoint(drop, &at) != FALSE;
    DragFinish(drop);
    ResourceId row = 0;
    const bool onRow = inClient && BitmapIdAt(app, at, row);
    DropFiles(app, paths, onRow ? &row : nullptr);
    return 0;
}

LRESULT OnCommand(AppState& app, WPARAM wParam) {
    DispatchCommand(app, LOWORD(wParam));
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState* app = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        app = static_cast<AppState*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
        if (app) app->mainWindow = hwnd;
    } else {
        app = reinterpret_cast<AppState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!app) return DefWindowProcW(hwnd, message, wParam, lParam);

    switch (message) {
        case WM_CREATE:
            return OnCreate(*app);
        case WM_SIZE:
            return OnSize(*app, lParam);
        case WM_CLOSE:
            return OnClose(*app);
        case WM_NOTIFY:
            return OnNotify(*app, lParam);
        case WM_CONTEXTMENU:
            return OnContextMenu(*app, wParam, lParam);
        case WM_COMMAND:
            return OnCommand(*app, wParam);
        case WM_SETFOCUS:
            return OnSetFocus(*app);
        case WM_DROPFILES:
            return OnDropFiles(*app, reinterpret_cast<HDROP>(wParam));
        case WM_DESTROY:
            return OnDestroy(*app, hwnd, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void UpdateWindowTitle(AppState& app) {
    SetWindowTextW(app.mainWindow, WindowCaption(app.doc).c_str());
}

bool IsSelectionChange(const NMHDR& header, HWND listView) {
    if (header.hwndFrom != listView || header.code != LVN_ITEMCHANGED) return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    return (change.uChanged & LVIF_STATE) != 0 &&
           ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0;
}

POINT ContextMenuPoint(LPARAM lParam, HWND listView) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (point.x == -1 && point.y == -1) {
        RECT list{};
        GetWindowRect(listView, &list);
        point = {list.left + 16, list.top + 16};
    }
    return point;
}

bool RegisterOrvixWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVIX));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    return RegisterOrvixWindowClass(instance, kMainWindowClass, MainWindowProc);
}

HWND CreateMainWindow(AppState& app) {
    app.mainWindow = CreateWindowExW(0, kMainWindowClass, L"Orvix", WS_OVERLAPPEDWINDOW,
                                     CW_USEDEFAULT, CW_USEDEFAULT, kMainWindowWidth,
                                     kMainWindowHeight, nullptr, nullptr, app.instance, &app);
    return app.mainWindow;
}

HACCEL LoadShortcuts(HINSTANCE instance) {
    HACCEL shortcuts = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_SHORTCUTS));
    if (!shortcuts) MessageBoxW(nullptr, L"Accelerator resource not found!", L"Debug", MB_OK);
    return shortcuts;
}

namespace {

// Ctrl and the wheel anywhere in the window zoom the preview, and the wheel
// alone over the preview scrolls it: the list, which holds the focus, would
// otherwise take both.
bool PassWheelToPreview(HWND mainWindow, const MSG& msg) {
    if (msg.message != WM_MOUSEWHEEL) return false;
    if (msg.hwnd != mainWindow && !IsChild(mainWindow, msg.hwnd)) return false;
    auto* app = reinterpret_cast<AppState*>(GetWindowLongPtrW(mainWindow, GWLP_USERDATA));
    if (!app || !app->previewWindow) return false;
    const POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    const bool zoom = (GET_KEYSTATE_WPARAM(msg.wParam) & MK_CONTROL) != 0;
    if (!zoom && WindowFromPoint(at) != app->previewWindow) return false;
    PreviewWheel(*app, msg.wParam);
    return true;
}

}  // namespace

void DispatchLoopMessage(HWND mainWindow, HACCEL shortcuts, MSG& msg) {
    if (PassWheelToPreview(mainWindow, msg)) return;
    if (shortcuts && TranslateAcceleratorW(mainWindow, shortcuts, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

namespace {

std::vector<std::wstring> CommandLineWords(const wchar_t* commandLine) {
    std::vector<std::wstring> words;
    int count = 0;
    if (LPWSTR* split = CommandLineToArgvW(commandLine, &count)) {
        for (int i = 0; i < count; ++i)
            words.emplace_back(split[i]);
        LocalFree(split);
    }
    return words;
}

}  // namespace

int RunOrvix(HINSTANCE instance, int showCommand, const wchar_t* commandLine) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    int exitCode = 0;
    {
        AppState app;
        app.instance = instance;
        if (!RegisterMainWindowClass(instance) || !CreateMainWindow(app)) {
            CoUninitialize();
            return 0;
        }
        HACCEL shortcuts = LoadShortcuts(instance);
        ShowWindow(app.mainWindow, showCommand);
        UpdateWindow(app.mainWindow);
        // After the window is up, so that a file that cannot be opened is
        // reported over the window it would have filled.
        const std::wstring startFile = ContainerToOpenAtStart(CommandLineWords(commandLine));
        if (!startFile.empty()) OpenContainerFile(app, startFile);

        MSG msg{};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchLoopMessage(app.mainWindow, shortcuts, msg);
        exitCode = static_cast<int>(msg.wParam);

        if (shortcuts) DestroyAcceleratorTable(shortcuts);
        CoUninitialize();
    }
    return exitCode;
}
