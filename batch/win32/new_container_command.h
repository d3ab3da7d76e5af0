// Creating a new container from one bitmap file or a numbered folder.
#pragma once

#include "document/win32/app_state.h"

// Asks for the new file's name and its first bitmaps, writes the blank image
// (PE32+ when is64Bit, else PE32), fills it and opens it.
void NewContainer(AppState& app, bool is64Bit);
