#include "document/win32/app_state.h"

#include <commctrl.h>

void RefreshViews(AppState& app) {
    if (app.views.refreshList) app.views.refreshList(app);
    if (app.views.showSelected) app.views.showSelected(app);
    RefreshTitle(app);
}

void RefreshViewsAndSelect(AppState& app, ResourceId id) {
    RefreshViews(app);
    if (app.views.selectById) app.views.selectById(app, id);
}

void RefreshTitle(AppState& app) {
    if (app.views.updateTitle) app.views.updateTitle(app);
}

bool SelectedBitmapId(const AppState& app, ResourceId& id) {
    if (!app.listView) return false;
    const LRESULT row =
        SendMessageW(app.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0 || static_cast<std::size_t>(row) >= app.listIds.size()) return false;
    id = app.listIds[static_cast<std::size_t>(row)];
    return true;
}

bool RequireOpenDocument(AppState& app) {
    if (app.doc.loaded) return true;
    MessageBoxW(app.mainWindow, L"   Open or create an OBK first.", L"Info",
                MB_OK | MB_ICONINFORMATION);
    return false;
}

bool RequireSelection(AppState& app, const wchar_t* message, ResourceId& id) {
    if (SelectedBitmapId(app, id)) return true;
    MessageBoxW(app.mainWindow, message, L"Info", MB_OK | MB_ICONINFORMATION);
    return false;
}

void CloseDocument(AppState& app) {
    app.doc.bitmaps.clear();
    app.doc.loaded = false;
    app.doc.dirty = false;
    app.doc.path.clear();
    app.doc.stamp = {};
    app.listIds.clear();
    SendMessageW(app.listView, LVM_SETITEMCOUNT, 0, 0);
    app.previewBytes = {};
    app.previewId = 0;
    InvalidateRect(app.previewWindow, nullptr, TRUE);
    RefreshTitle(app);
}
