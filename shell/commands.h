// Command routing and the list's context menu.
#pragma once

#include <windows.h>

#include "document/win32/app_state.h"

// Runs the command of a menu item or shortcut to completion.
void DispatchCommand(AppState& app, WORD commandId);

// Shows the Bitmap context menu at a screen point, with the items that need
// a file or a selection grayed as the document stands.
void ShowBitmapContextMenu(AppState& app, POINT screenPoint, HWND target);
