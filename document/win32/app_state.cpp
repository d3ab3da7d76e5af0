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
    const int row = static_cast<int>(
        SendMessageW(app.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) return false;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(app.listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return false;
    }
    // The row carries the ID sign-extended; its low 32 bits are the ID.
    id = static_cast<ResourceId>(static_cast<std::uint32_t>(item.lParam));
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
    SendMessageW(app.listView, LVM_DELETEALLITEMS, 0, 0);
    app.previewBytes.clear();
    app.previewId = 0;
    InvalidateRect(app.previewWindow, nullptr, TRUE);
    RefreshTitle(app);
}
