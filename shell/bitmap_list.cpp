#include "shell/bitmap_list.h"

#include <commctrl.h>

#include <cstdio>

namespace {

bool ReadRowId(HWND listView, int row, ResourceId& id) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return false;
    id = static_cast<ResourceId>(item.lParam);
    return true;
}

}  // namespace

void RefreshBitmapList(AppState& app) {
    SendMessageW(app.listView, LVM_DELETEALLITEMS, 0, 0);
    if (!app.doc.loaded)
        return;
    int row = 0;
    // The store iterates in ascending signed order already.
    for (const auto& entry : app.doc.bitmaps) {
        wchar_t text[32];
        std::swprintf(text, 32, L"%05d", entry.first);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row++;
        item.pszText = text;
        item.lParam = static_cast<LPARAM>(entry.first);
        SendMessageW(app.listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void ShowSelectedBitmap(AppState& app) {
    app.previewBytes.clear();
    app.previewId = 0;
    int row = static_cast<int>(
        SendMessageW(app.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ResourceId id = 0;
    if (row >= 0 && app.doc.loaded && ReadRowId(app.listView, row, id)) {
        auto found = app.doc.bitmaps.find(id);
        if (found != app.doc.bitmaps.end() && !found->second.empty()) {
            app.previewBytes = found->second;
            app.previewId = id;
        }
    }
    InvalidateRect(app.previewWindow, nullptr, TRUE);
}

void SelectBitmapById(AppState& app, ResourceId id) {
    if (!app.listView)
        return;
    int count = static_cast<int>(SendMessageW(app.listView, LVM_GETITEMCOUNT, 0, 0));
    int match = -1;
    for (int row = 0; row < count && match < 0; ++row) {
        ResourceId rowId = 0;
        if (ReadRowId(app.listView, row, rowId) && rowId == id)
            match = row;
    }
    if (match < 0)
        return;

    LVITEMW clear{};
    clear.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(app.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&clear));
    LVITEMW set{};
    set.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    set.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(app.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(match),
                 reinterpret_cast<LPARAM>(&set));
    SendMessageW(app.listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(match), FALSE);
    ShowSelectedBitmap(app);
}
