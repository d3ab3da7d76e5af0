// The preview pane on the right of the list: the selected bitmap at 1:1 or
// the zoom the user chose, centred and framed where it fits, with scroll bars
// where a zoomed picture outgrows the pane, painted from the preview copy only.
// A picture larger than the pane pans under the mouse (drag) and the wheel
// (Shift for across), at 1:1 too.
#pragma once

#include <windows.h>

#include "document/win32/app_state.h"

// Registers the pane's class; registering it again is harmless.
void RegisterPreviewClass(HINSTANCE instance);
// Creates the pane right of the list, filling the rest of the client area.
HWND CreatePreviewPane(AppState& app, const RECT& client);

// After the previewed bitmap changed: a different bitmap is shown at 1:1
// unless fit is on; the scroll bars and the picture follow.
void PreviewBitmapChanged(AppState& app, bool another);
// One zoom step in (+1) or out (-1), leaving fit.
void ZoomPreview(AppState& app, int direction);
void ShowPreviewOneToOne(AppState& app);
void TogglePreviewFit(AppState& app);
// A wheel turn the main window's loop passes on: with Ctrl it zooms, without
// it pans a picture larger than the pane down and up, with Shift across.
void PreviewWheel(AppState& app, WPARAM wParam);

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
