// Copy and Paste of one bitmap through the system clipboard.
#pragma once

#include "document/win32/app_state.h"

// Puts the selected bitmap on the clipboard (ClipboardCopyOf).
void CopyBitmap(AppState& app);
// Stores the clipboard's image under an ID the user types, 101 offered, as
// Add does; nothing happens when the clipboard holds no image.
void PasteBitmap(AppState& app);
// Puts the clipboard's image in place of the selected bitmap, once the user
// says Yes to a question naming it.
void PasteOverBitmap(AppState& app);
// True when the clipboard holds an image Paste takes.
bool ClipboardHoldsImage();
