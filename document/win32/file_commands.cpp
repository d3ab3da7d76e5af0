#include "document/win32/file_commands.h"

#include <string>

#include "dialogs/pickers.h"
#include "dialogs/wait_cursor.h"
#include "document/container_io.h"

namespace {

bool RequireLoaded(AppState& app) {
    if (app.doc.loaded) return true;
    MessageBoxW(app.mainWindow, L"No file loaded.", L"Info", MB_ICONINFORMATION);
    return false;
}

void SaveTo(AppState& app, const std::wstring& destination) {
    bool saved = false;
    {
        WaitCursor wait;
        saved = SaveContainer(app.doc, destination);
    }
    if (!saved) MessageBoxW(app.mainWindow, L"Failed to save file.", L"Error", MB_ICONERROR);
    RefreshTitle(app);
}

}  // namespace

void OpenContainerCommand(AppState& app) {
    if (app.doc.loaded) {
        if (!SaveOrDropChanges(app)) return;
        CloseDocument(app);
    }

    std::wstring path;
    if (!PickOpenFile(app.mainWindow, kContainerFilter, path)) return;
    bool loaded = false;
    {
        WaitCursor wait;
        loaded = LoadContainer(app.doc, path);
    }
    if (!loaded) {
        MessageBoxW(app.mainWindow, L"Failed to open file.", L"Error", MB_ICONERROR);
        return;
    }
    RefreshViews(app);
}

bool SaveOrDropChanges(AppState& app) {
    if (!app.doc.loaded || !app.doc.dirty) return true;
    const int answer =
        MessageBoxW(app.mainWindow, L"The current OBK has unsaved changes. Save now?",
                    L"Save Changes", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) SaveCommand(app);
    return !app.doc.dirty || answer == IDNO;
}

void SaveCommand(AppState& app) {
    if (!RequireLoaded(app)) return;
    // A copy: the save sets doc.path itself.
    const std::wstring destination = app.doc.path;
    if (destination.empty()) {
        SaveAsCommand(app);
        return;
    }
    SaveTo(app, destination);
}

void SaveAsCommand(AppState& app) {
    if (!RequireLoaded(app)) return;
    std::wstring destination;
    if (!PickSaveFile(app.mainWindow, kContainerFilter, L"obk", destination)) return;
    SaveTo(app, destination);
}
