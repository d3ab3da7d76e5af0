#include "document/win32/file_commands.h"

#include <string>

#include "dialogs/pickers.h"
#include "dialogs/wait_cursor.h"
#include "document/container_io.h"
#include "document/display_text.h"
#include "document/dropped_resources.h"
#include "fileio/atomic_file.h"

namespace {

bool RequireLoaded(AppState& app) {
    if (app.doc.loaded) return true;
    MessageBoxW(app.mainWindow, L"No file loaded.", L"Info", MB_ICONINFORMATION);
    return false;
}

// What a failed save tells the user: a file they may not change, or one
// whose other names a replacement would leave with the old content, is named as such; any
// other failure carries the system's words when it gave them.
std::wstring SaveFailureText(const std::wstring& destination, const AtomicWriteError& error) {
    if (error.refusal == WriteRefusal::ReadOnly) {
        return destination + L" is read-only.\n\nThe file is as it was; Save As writes a copy.";
    }
    if (error.refusal == WriteRefusal::HardLinks) {
        return destination + L" has " + std::to_wstring(error.links) +
               L" hard links, which a replacement would split.\n\nThe file is as it was; Save As "
               L"writes a copy.";
    }
    std::wstring reason(error.reason.size(), L'\0');
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, error.reason.data(), static_cast<int>(error.reason.size()),
                            reason.data(), static_cast<int>(reason.size()));
    reason.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return L"Failed to save file." + (reason.empty() ? L"" : L"\n\n" + reason + L".");
}

void SaveTo(AppState& app, const std::wstring& destination) {
    if (OverwritesChangesOnDisk(app.doc, destination, ReadFileStamp(destination))) {
        const int answer = MessageBoxW(app.mainWindow, ChangedOnDiskQuestion(destination).c_str(),
                                       L"Save", MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES) return;
    }
    bool saved = false;
    {
        WaitCursor wait;
        saved = SaveContainer(app.doc, destination);
    }
    if (!saved) {
        MessageBoxW(app.mainWindow, SaveFailureText(destination, TakeAtomicWriteError()).c_str(),
                    L"Error", MB_ICONERROR);
    }
    RefreshTitle(app);
}

// Before another file takes the window: the open document is saved, dropped
// or kept as the user answers; true when it is gone.
bool LetGoOfDocument(AppState& app) {
    if (!app.doc.loaded) return true;
    if (!SaveOrDropChanges(app)) return false;
    CloseDocument(app);
    return true;
}

}  // namespace

void OpenContainerCommand(AppState& app) {
    if (!LetGoOfDocument(app)) return;
    std::wstring path;
    if (!PickOpenFile(app.mainWindow, kContainerFilter, path)) return;
    OpenContainerFile(app, path);
}

void OpenContainerFile(AppState& app, const std::wstring& path) {
    bool loaded = false;
    pe::ResourceSurvey survey;
    {
        WaitCursor wait;
        loaded = LoadContainer(app.doc, path, pe::PlatformLanguageOrder(), &survey);
    }
    if (!loaded) {
        MessageBoxW(app.mainWindow, L"Failed to open file.", L"Error", MB_ICONERROR);
        return;
    }
    RefreshViews(app);
    // Said once, now, rather than at every save: the user decides before
    // changing anything whether this file should be edited here at all.
    if (const std::wstring notice = DroppedResourcesNotice(survey); !notice.empty()) {
        MessageBoxW(app.mainWindow, notice.c_str(), L"Info", MB_OK | MB_ICONINFORMATION);
    }
}

void OpenNamedContainer(AppState& app, const std::wstring& path) {
    if (LetGoOfDocument(app)) OpenContainerFile(app, path);
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
