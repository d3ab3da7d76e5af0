#include "shell/bitmap_list.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "document/display_text.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

HWND CreateBitmapList(AppState& app, const RECT& client) {
    HWND list = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0,
        0, kListWidth, client.bottom, app.mainWindow,
        reinterpret_cast<HMENU>(INT_PTR{IDC_BITMAP_LIST}), app.instance, nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    wchar_t header[] = L"Resource ID";
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = kListColumnWidth;
    column.pszText = header;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    return list;
}

void RefreshBitmapList(AppState& app) {
    SendMessageW(app.listView, LVM_DELETEALLITEMS, 0, 0);
    if (!app.doc.loaded) return;

    std::vector<ResourceId> ids;
    ids.reserve(app.doc.bitmaps.size());
    for (const auto& entry : app.doc.bitmaps)
        ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());

    // Tens of thousands of rows go in with drawing suspended and the room
    // reserved once, so the list neither repaints nor regrows per row.
    SendMessageW(app.listView, WM_SETREDRAW, FALSE, 0);
    SendMessageW(app.listView, LVM_SETITEMCOUNT, ids.size(), LVSICF_NOINVALIDATEALL);
    int row = 0;
    for (ResourceId id : ids) {
        std::wstring text = ResourceIdLabel(id);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row++;
        item.pszText = text.data();
        item.lParam = static_cast<LPARAM>(id);
        SendMessageW(app.listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(app.listView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(app.listView, nullptr, TRUE);
}

void ShowSelectedBitmap(AppState& app) {
    app.previewBytes.clear();
    app.previewId = 0;
    ResourceId id = 0;
    if (app.doc.loaded && SelectedBitmapId(app, id)) {
        auto found = app.doc.bitmaps.find(id);
        if (found != app.doc.bitmaps.end() && !found->second.empty()) {
            app.previewBytes = found->second;
            app.previewId = id;
        }
    }
    InvalidateRect(app.previewWindow, nullptr, TRUE);
}

void SelectBitmapById(AppState& app, ResourceId id) {
    if (!app.listView) return;
    if (SendMessageW(app.listView, LVM_GETITEMCOUNT, 0, 0) < 1) return;
    // The list looks the row up by its item data itself: reading the rows
    // one message at a time costs a tenth of a second in a full list.
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(id);
    const int match = static_cast<int>(SendMessageW(
        app.listView, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    if (match < 0) return;

    // Only the rows that hold the selection or the focus lose them: asking
    // the list to clear every row visits all of them.
    LVITEMW clear{};
    clear.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    for (UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
        const LRESULT row =
            SendMessageW(app.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), which);
        if (row >= 0) {
            SendMessageW(app.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&clear));
        }
    }
    LVITEMW set{};
    set.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    set.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(app.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(match),
                 reinterpret_cast<LPARAM>(&set));
    SendMessageW(app.listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(match), FALSE);
    ShowSelectedBitmap(app);
}
