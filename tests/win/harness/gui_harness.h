// Runs the real main window inside a test: created as wWinMain creates it,
// with messages pumped through the same shortcut translation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "document/win32/app_state.h"

struct RunningApp {
    AppState app;
    HACCEL shortcuts = nullptr;
    bool quit = false;  // WM_QUIT arrived
    int exitCode = -1;  // its wParam
};

// Registers the class, creates and shows the main window, loads shortcuts.
bool StartApp(RunningApp& running);
// Destroys the window if it is still there (no prompts) and unregisters the
// classes, so the next test starts as a fresh process would.
void StopApp(RunningApp& running);

// Runs the message loop for about ms milliseconds, or until WM_QUIT.
void Pump(RunningApp& running, DWORD ms = 60);
// Runs the loop until done() holds, WM_QUIT arrives or timeoutMs passes.
bool PumpUntil(RunningApp& running, const std::function<bool()>& done, DWORD timeoutMs = 5000);

// A menu item or shortcut as it reaches the window: WM_COMMAND, then pump.
void SendCommand(RunningApp& running, WORD commandId);
// Presses the keys together (modifiers first) like a person, through the
// system's input queue, then pumps.
void PressKeys(RunningApp& running, std::initializer_list<WORD> virtualKeys);

// The window's client area as 0x00RRGGBB pixels, row by row from the top.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};
Capture CaptureClient(HWND window);

std::wstring WindowText(HWND window);
// A fresh, empty folder under the temporary folder; ends with a backslash.
std::wstring MakeTempFolder(const wchar_t* name);
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
