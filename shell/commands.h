// Command routing and the list's context menu.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "document/win32/app_state.h"

// Runs the command of a menu item or shortcut to completion.
void DispatchCommand(AppState& app, WORD commandId);

// Shows the Bitmap context menu at a screen point, with the items that need
// a file or a selection grayed as the document stands.
void ShowBitmapContextMenu(AppState& app, POINT screenPoint, HWND target);

// Files dropped on the window from the file manager: opened, added, put in
// place of the bitmap of row (nullptr off the rows) or imported, as
// PlanDrop decides; what is not taken is listed in one message.
void DropFiles(AppState& app, const std::vector<std::wstring>& paths, const ResourceId* row);
