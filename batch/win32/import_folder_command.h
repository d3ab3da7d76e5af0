// Importing a folder of five-digit-numbered bitmaps into the open container.
#pragma once

#include <vector>

#include "batch/numbered_scan.h"
#include "document/win32/app_state.h"

// Asks for a folder and a numbering, then stores each numbered bitmap of the
// folder, asking before it replaces one the store already holds.
void ImportBitmapFolder(AppState& app);

// Stores numbered files dropped on the window under their numbers, as a
// numeric import of a folder holding just them does. files is in a folder
// scan's order.
void ImportNumberedFiles(AppState& app, std::vector<NumberedBitmapFile> files);
