// The preview pane on the right of the list: the selected bitmap at its own
// size, centred and framed, painted from the preview copy only.
#pragma once

#include <windows.h>

#include "document/win32/app_state.h"

// Registers the pane's class; registering it again is harmless.
void RegisterPreviewClass(HINSTANCE instance);
// Creates the pane right of the list, filling the rest of the client area.
HWND CreatePreviewPane(AppState& app, const RECT& client);

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
