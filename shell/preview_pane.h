// The preview pane on the right of the list.
#pragma once

#include <windows.h>

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
