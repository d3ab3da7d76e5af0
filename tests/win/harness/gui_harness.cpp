#include "gui_harness.h"

#include <commctrl.h>

#include "shell/main_window.h"

bool StartApp(RunningApp& running) {
    running.app.instance = GetModuleHandleW(nullptr);
    if (!RegisterMainWindowClass(running.app.instance)) return false;
    if (!CreateMainWindow(running.app)) return false;
    running.shortcuts = LoadShortcuts(running.app.instance);
    ShowWindow(running.app.mainWindow, SW_SHOWNORMAL);
    UpdateWindow(running.app.mainWindow);
    SetForegroundWindow(running.app.mainWindow);
    SetFocus(running.app.listView);
    Pump(running, 100);
    return true;
}

void StopApp(RunningApp& running) {
    if (running.app.mainWindow && IsWindow(running.app.mainWindow)) {
        DestroyWindow(running.app.mainWindow);
    }
    // Drain what the destruction posted, including a WM_QUIT of our own.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
    if (running.shortcuts) DestroyAcceleratorTable(running.shortcuts);
    if (running.app.contextMenu) DestroyMenu(running.app.contextMenu);
    running.shortcuts = nullptr;
    running.app.contextMenu = nullptr;
    UnregisterClassW(kMainWindowClass, running.app.instance);
    UnregisterClassW(kPreviewWindowClass, running.app.instance);
}

bool PumpUntil(RunningApp& running, const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!running.quit) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return done();
        MSG msg;
        while (!running.quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                running.quit = true;
                running.exitCode = static_cast<int>(msg.wParam);
                break;
            }
            DispatchLoopMessage(running.app.mainWindow, running.shortcuts, msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

void Pump(RunningApp& running, DWORD ms) {
    PumpUntil(
        running, [] { return false; }, ms);
}

void SendCommand(RunningApp& running, WORD commandId) {
    PostMessageW(running.app.mainWindow, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
    Pump(running);
}

void PressKeys(RunningApp& running, std::initializer_list<WORD> virtualKeys) {
    SetForegroundWindow(running.app.mainWindow);
    if (GetFocus() == nullptr) SetFocus(running.app.listView);
    std::vector<INPUT> inputs;
    for (WORD key : virtualKeys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = std::rbegin(virtualKeys); key != std::rend(virtualKeys); ++key) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Pump(running, 150);
}

Capture CaptureClient(HWND window) {
    Capture capture;
    RECT client{};
    GetClientRect(window, &client);
    capture.width = client.right;
    capture.height = client.bottom;
    if (capture.width <= 0 || capture.height <= 0) return capture;

    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memoryDc, section);
    BitBlt(memoryDc, 0, 0, capture.width, capture.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const std::uint32_t*>(bits);
    capture.pixels.assign(source, source + capture.width * capture.height);
    for (auto& pixel : capture.pixels)
        pixel &= 0x00FFFFFFu;
    SelectObject(memoryDc, old);
    DeleteObject(section);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return capture;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring MakeTempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"orvix-" + name + L"-" +
                          std::to_wstring(GetCurrentProcessId()) + L"\\";
    // Start empty: remove what an earlier run left.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}
