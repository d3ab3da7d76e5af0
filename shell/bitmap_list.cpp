#include "shell/bitmap_list.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "bitmaps/preview_view.h"
#include "document/display_text.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/preview_pane.h"

HWND CreateBitmapList(AppState& app, const RECT& client) {
    HWND list =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA, 0, 0,
                        kListWidth, client.bottom, app.mainWindow,
                        reinterpret_cast<HMENU>(INT_PTR{IDC_BITMAP_LIST}), app.instance, nullptr);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // A tip breaks its lines only once it has a width to wrap at.
    if (HWND tips = ListView_GetToolTips(list)) SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, 600);
    wchar_t header[] = L"Resource ID";
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = kListColumnWidth;
    column.pszText = header;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    return list;
}

namespace {

// Only the rows that hold the selection or the focus lose them: asking the
// list to clear every row (item -1) visits all of them under some list
// implementations.
void ClearSelectionAndFocus(HWND list) {
    LVITEMW clear{};
    clear.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    for (UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
        const LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), which);
        if (row >= 0) {
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&clear));
        }
    }
}

}  // namespace

void RefreshBitmapList(AppState& app) {
    // The list holds no rows: it asks for the text of those it shows, so a
    // refill costs the same for ten bitmaps or 65,535.
    app.listIds.clear();
    if (app.doc.loaded) {
        app.listIds.reserve(app.doc.bitmaps.size());
        for (const auto& entry : app.doc.bitmaps)
            app.listIds.push_back(entry.first);
    }
    // A refill leaves no row selected or focused.
    ClearSelectionAndFocus(app.listView);
    SendMessageW(app.listView, LVM_SETITEMCOUNT, app.listIds.size(), 0);
    InvalidateRect(app.listView, nullptr, TRUE);
}

bool OnBitmapListNotify(AppState& app, const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != app.listView) return false;
    result = 0;
    if (header.code == LVN_GETDISPINFOW) {
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
        const auto row = static_cast<std::size_t>(info.item.iItem);
        if ((info.item.mask & LVIF_TEXT) && row < app.listIds.size() && info.item.cchTextMax > 0) {
            const std::wstring text = ResourceIdLabel(app.listIds[row]);
            lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
        }
        return true;
    }
    if (header.code == LVN_GETINFOTIPW) {
        // The whole tip is ours: labels are never cut short, so the list's
        // own text is not worth keeping in front of it.
        auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
        const auto row = static_cast<std::size_t>(tip.iItem);
        if (row >= app.listIds.size() || !tip.pszText || tip.cchTextMax <= 0) return true;
        const auto found = app.doc.bitmaps.find(app.listIds[row]);
        if (found == app.doc.bitmaps.end()) return true;
        lstrcpynW(tip.pszText, BitmapInfoTip(found->second).c_str(), tip.cchTextMax);
        return true;
    }
    if (header.code == LVN_ODFINDITEMW) {
        // Typing in the list: the next row from the start row on whose label
        // begins with what was typed, wrapping round once.
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        result = -1;
        if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return true;
        const std::wstring typed = find.lvfi.psz;
        const std::size_t count = app.listIds.size();
        const std::size_t start = find.iStart >= 0 ? static_cast<std::size_t>(find.iStart) : 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t row = (start + i) % count;
            const std::wstring label = ResourceIdLabel(app.listIds[row]);
            const bool match =
                (find.lvfi.flags & LVFI_PARTIAL) ? label.starts_with(typed) : label == typed;
            if (match) {
                result = static_cast<LRESULT>(row);
                break;
            }
        }
        return true;
    }
    return false;
}

void ShowSelectedBitmap(AppState& app) {
    const std::int32_t before = app.previewId;
    app.previewBytes = {};
    app.previewId = 0;
    ResourceId id = 0;
    if (app.doc.loaded && SelectedBitmapId(app, id)) {
        auto found = app.doc.bitmaps.find(id);
        if (found != app.doc.bitmaps.end() && !found->second.empty()) {
            app.previewBytes = found->second;
            app.previewId = id;
        }
    }
    PreviewBitmapChanged(app, app.previewId != before);
}

void SelectBitmapById(AppState& app, ResourceId id) {
    if (!app.listView) return;
    const auto found = std::lower_bound(app.listIds.begin(), app.listIds.end(), id);
    if (found == app.listIds.end() || *found != id) return;
    const auto match = static_cast<WPARAM>(found - app.listIds.begin());
    ClearSelectionAndFocus(app.listView);
    LVITEMW set{};
    set.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    set.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(app.listView, LVM_SETITEMSTATE, match, reinterpret_cast<LPARAM>(&set));
    SendMessageW(app.listView, LVM_ENSUREVISIBLE, match, FALSE);
    ShowSelectedBitmap(app);
}

bool BitmapIdAt(const AppState& app, POINT inMainWindow, ResourceId& id) {
    LVHITTESTINFO hit{};
    hit.pt = inMainWindow;
    MapWindowPoints(app.mainWindow, app.listView, &hit.pt, 1);
    const LRESULT row = SendMessageW(app.listView, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (row < 0 || static_cast<std::size_t>(row) >= app.listIds.size()) return false;
    id = app.listIds[static_cast<std::size_t>(row)];
    return true;
}
