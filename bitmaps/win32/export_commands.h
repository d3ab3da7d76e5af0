// Exporting many bitmaps at once into a folder the user picks.
#pragma once

#include "document/win32/app_state.h"

// Writes every stored bitmap of an ID range the user types (in either order)
// and says how many were exported, missing and failed.
void ExportBitmapRange(AppState& app);
// Writes every bitmap of the store; says only that something failed, at the
// first failure.
void ExportAllCommand(AppState& app);
