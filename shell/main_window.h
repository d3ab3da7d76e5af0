// The main window: its class, its procedure, the entry-point steps that the
// tests share with wWinMain, and the caption rule.
#pragma once

#include <windows.h>

#include "document/win32/app_state.h"

inline constexpr wchar_t kMainWindowClass[] = L"PictorumWin32Class";
inline constexpr wchar_t kPreviewWindowClass[] = L"PictorumPreviewClass";
inline constexpr int kMainWindowWidth = 980;
inline constexpr int kMainWindowHeight = 640;
inline constexpr int kListWidth = 160;
inline constexpr int kListColumnWidth = 156;

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// "Orvix", then " - path" when a file is loaded, then " *" when it is dirty.
void UpdateWindowTitle(AppState& app);

// A class of the program's windows: its icon, the arrow cursor, the window
// colour as background.
bool RegisterOrvixWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

// Entry-point steps, in the order wWinMain runs them.
bool RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(AppState& app);      // also stores the handle in app.mainWindow
HACCEL LoadShortcuts(HINSTANCE instance);  // tells the user when the table is missing
// One turn of the message loop: shortcuts always go to the main window.
void DispatchLoopMessage(HWND mainWindow, HACCEL shortcuts, MSG& msg);

// Runs the whole program with the file the command line names open (the
// whole line, the program's name first, as GetCommandLineW gives it); the
// process exit code.
int RunOrvix(HINSTANCE instance, int showCommand, const wchar_t* commandLine = L"Orvix.exe");

// True for a list notification that changed a row's selected bit.
bool IsSelectionChange(const NMHDR& header, HWND listView);

// The screen point for a context menu request: the point the system gave,
// or just inside the list's top-left corner for a keyboard request (-1, -1).
POINT ContextMenuPoint(LPARAM lParam, HWND listView);
