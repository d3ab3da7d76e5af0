#include "document/win32/file_commands.h"

#include <string>

#include "dialogs/pickers.h"
#include "document/container_io.h"
#include "shell/main_window.h"

namespace {

bool RequireLoaded(AppState& app) {
    if (app.doc.loaded)
        return true;
    MessageBoxW(app.mainWindow, L"No file loaded.", L"Info", MB_ICONINFORMATION);
    return false;
}

}  // namespace

void SaveCommand(AppState& app) {
    if (!RequireLoaded(app))
        return;
    std::wstring destination = app.doc.path;
    if (destination.empty()) {
        SaveAsCommand(app);
        return;
    }
    if (!SaveContainer(app.doc, destination)) {
        MessageBoxW(app.mainWindow, L"Failed to save file.", L"Error", MB_ICONERROR);
    }
    UpdateWindowTitle(app);
}

void SaveAsCommand(AppState& app) {
    if (!RequireLoaded(app))
        return;
    std::wstring destination;
    if (!PickSaveFile(app, kContainerFilter, L"obk", destination))
        return;
    if (!SaveContainer(app.doc, destination)) {
        MessageBoxW(app.mainWindow, L"Failed to save file.", L"Error", MB_ICONERROR);
    }
    UpdateWindowTitle(app);
}
