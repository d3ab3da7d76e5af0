// Importing a folder of five-digit-numbered bitmaps into the open container.
#pragma once

#include "document/win32/app_state.h"

// Asks for a folder and a numbering, then stores each numbered bitmap of the
// folder, asking before it replaces one the store already holds.
void ImportBitmapFolder(AppState& app);
