// Closing the document and deleting a bitmap from it.
#pragma once

#include "document/win32/app_state.h"

// Asks about unsaved changes, then empties the document and the views.
void CloseCommand(AppState& app);
// Deletes the selected bitmap from the store after a confirmation; the file
// loses it at the next save.
void DeleteBitmapCommand(AppState& app);
// Moves the selected bitmap to an ID the user types, asking before it
// replaces another bitmap; the file follows at the next save.
void ChangeResourceId(AppState& app);
