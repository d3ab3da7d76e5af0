// Adding, replacing and exporting one bitmap at a time.
#pragma once

#include "document/win32/app_state.h"

// Puts a .bmp file into the store under an ID the user types; a bitmap
// already under that ID is replaced without a question.
void AddBitmap(AppState& app);
// Puts a .bmp file in place of the selected bitmap, keeping its ID.
void ReplaceBitmap(AppState& app);
// Writes the selected bitmap to a .bmp file the user names.
void ExportBitmap(AppState& app);
