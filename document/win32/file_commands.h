// The Save and Save As commands.
#pragma once

#include "document/win32/app_state.h"

// Saves to doc.path (Save As when there is none). A caller that needs to
// know whether the save happened looks at doc.dirty afterwards.
void SaveCommand(AppState& app);
void SaveAsCommand(AppState& app);
