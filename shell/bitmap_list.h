// The list of resource IDs: keeping its rows, the selection and the preview
// copy in step with the store.
#pragma once

#include "document/win32/app_state.h"

// Creates the report-style list with its one "Resource ID" column along the
// left edge of the client rectangle.
HWND CreateBitmapList(AppState& app, const RECT& client);

void RefreshBitmapList(AppState& app);
// The list's questions about the rows it shows (their texts, a row whose label
// begins with what the user typed); false for a notification it does not
// answer.
bool OnBitmapListNotify(AppState& app, const NMHDR& header, LRESULT& result);
void ShowSelectedBitmap(AppState& app);
void SelectBitmapById(AppState& app, ResourceId id);
// The ID of the row under a point of the main window's client area; false
// off the rows.
bool BitmapIdAt(const AppState& app, POINT inMainWindow, ResourceId& id);
