#include "document/win32/document_commands.h"

#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"
#include "document/container_io.h"
#include "document/renumber.h"
#include "document/win32/file_commands.h"

void CloseCommand(AppState& app) {
    if (!app.doc.loaded) return;
    if (app.doc.dirty) {
        const int answer = MessageBoxW(app.mainWindow, L"Save changes before closing?",
                                       L"Close File", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDYES) {
            SaveCommand(app);
            if (app.doc.dirty) return;
        } else if (answer != IDNO) {
            return;
        }
    }
    CloseDocument(app);
}

void DeleteBitmapCommand(AppState& app) {
    if (!app.doc.loaded) return;
    ResourceId id = 0;
    if (!RequireSelection(app, L"Select a bitmap to delete.", id)) return;
    if (MessageBoxW(app.mainWindow, L"Delete selected bitmap?", L"Confirm",
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    const auto entry = app.doc.bitmaps.find(id);
    if (entry == app.doc.bitmaps.end()) {
        MessageBoxW(app.mainWindow, L"Delete failed.", L"Error", MB_OK | MB_ICONERROR);
    } else {
        app.doc.bitmaps.erase(entry);
        app.doc.dirty = true;
    }
    WaitCursor wait;  // rebuilding a list of tens of thousands of rows takes a moment
    RefreshViews(app);
}

void ChangeResourceId(AppState& app) {
    if (!app.doc.loaded) return;
    ResourceId oldId = 0;
    if (!RequireSelection(app, L"Select a resource to rename.", oldId)) return;
    const ResourceId newId = PromptResourceId(app.mainWindow, oldId);
    OverwriteAnswer answer = OverwriteAnswer::NotShown;
    if (RenumberingAsks(app.doc, oldId, newId)) {
        answer = AskOverwriteAnswer(app.mainWindow, OverwriteQuestion(newId));
    }
    const Renumbering renumbering = DecideRenumbering(app.doc, oldId, newId, answer);
    if (renumbering == Renumbering::None) return;
    if (!MoveBitmapId(app.doc, oldId, newId, renumbering == Renumbering::Overwrite)) {
        MessageBoxW(app.mainWindow, L"Unable to change the resource ID.", L"Error",
                    MB_OK | MB_ICONERROR);
        return;
    }
    WaitCursor wait;
    RefreshViewsAndSelect(app, newId);
}
