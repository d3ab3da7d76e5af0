// The Open, Save and Save As commands.
#pragma once

#include <string>

#include "document/win32/app_state.h"

// Asks about unsaved changes, closes the open document, lets the user pick a
// container and loads it.
void OpenContainerCommand(AppState& app);
// Open with the file already chosen (dropped on the window): the same
// question about unsaved changes, then the load.
void OpenNamedContainer(AppState& app, const std::wstring& path);
// Loads path into the empty document and shows it, or says it cannot; the
// caller has dealt with the document that was open.
void OpenContainerFile(AppState& app, const std::wstring& path);

// Saves to doc.path (Save As when there is none). A caller that needs to
// know whether the save happened looks at doc.dirty afterwards.
void SaveCommand(AppState& app);

// Before the open document is replaced: asks about unsaved changes, saving
// on Yes. True when the command may go on (no changes, No, or a save that
// went through); false on Cancel or when the save did not happen.
bool SaveOrDropChanges(AppState& app);
void SaveAsCommand(AppState& app);
