// Adding, replacing and exporting one bitmap at a time.
#pragma once

#include <string>

#include "document/win32/app_state.h"

// Puts a .bmp file into the store under an ID the user types; a bitmap
// already under that ID is replaced without a question.
void AddBitmap(AppState& app);
// Add with the file already chosen (dropped on the window).
void AddBitmapFile(AppState& app, const std::wstring& path);
// Puts a .bmp file in place of the selected bitmap, keeping its ID.
void ReplaceBitmap(AppState& app);
// Puts a file dropped on the row of id in its place, once the user says Yes
// to a question naming both.
void ReplaceBitmapWithFile(AppState& app, ResourceId id, const std::wstring& path);
// Writes the selected bitmap to a .bmp file the user names.
void ExportBitmap(AppState& app);
