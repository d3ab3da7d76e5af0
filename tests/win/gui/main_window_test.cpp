// The main window as a user sees it: caption, size, the two panes, menus,
// shortcuts, the context menu and the selection hand-off.
#include <vector>

#include "gui_test_support.h"
#include "resources/resource_ids.h"
#include "shell/bitmap_list.h"
#include "shell/main_window.h"

namespace {

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

int ColumnWidth(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = L"";
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

}  // namespace

TEST_F(MainWindowTest, OpensCaptionedOrvixAtItsSizeWithListAndPreview) {
    HWND main = app().mainWindow;
    EXPECT_EQ(WindowText(main), L"Orvix");
    RECT outer{};
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.right - outer.left, 980);
    EXPECT_EQ(outer.bottom - outer.top, 640);

    RECT client{};
    GetClientRect(main, &client);
    HWND list = GetDlgItem(main, IDC_BITMAP_LIST);
    HWND preview = GetDlgItem(main, IDC_PREVIEW);
    ASSERT_EQ(list, app().listView);
    ASSERT_EQ(preview, app().previewWindow);

    RECT listRect = ClientRectOf(list, main);
    EXPECT_EQ(listRect.left, 0);
    EXPECT_EQ(listRect.top, 0);
    EXPECT_EQ(listRect.right - listRect.left, 160);
    EXPECT_EQ(listRect.bottom, client.bottom);
    RECT previewRect = ClientRectOf(preview, main);
    EXPECT_EQ(previewRect.left, 160);
    EXPECT_EQ(previewRect.right, client.right);
    EXPECT_EQ(previewRect.bottom, client.bottom);

    EXPECT_EQ(ColumnCount(list), 1);
    EXPECT_EQ(ColumnWidth(list), 156);
    wchar_t header[64] = L"";
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = 64;
    SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(header, L"Resource ID");

    LONG style = GetWindowLongW(list, GWL_STYLE);
    EXPECT_EQ(style & (LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
              LVS_REPORT | LVS_SINGLESEL);
    EXPECT_TRUE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongW(preview, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    auto extended = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(extended & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(GetWindowLongPtrW(preview, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&app()));
}

TEST_F(MainWindowTest, ResizingKeepsTheListAt160AndTheColumnAt156) {
    HWND main = app().mainWindow;
    for (SIZE size : {SIZE{700, 500}, SIZE{1200, 800}, SIZE{150, 300}}) {
        SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        Pump(running);
        RECT client{};
        GetClientRect(main, &client);
        RECT listRect = ClientRectOf(app().listView, main);
        RECT previewRect = ClientRectOf(app().previewWindow, main);
        EXPECT_EQ(listRect.right - listRect.left, 160) << "outer width " << size.cx;
        EXPECT_EQ(listRect.bottom - listRect.top, client.bottom);
        EXPECT_EQ(ColumnWidth(app().listView), 156);
        EXPECT_EQ(previewRect.left, 160);
        // The preview never reaches past the client area, even when it has no room.
        EXPECT_EQ(previewRect.right, client.right > 160 ? client.right : 160)
            << "outer width " << size.cx;
    }
}

TEST_F(MainWindowTest, MessagesBeforeTheStateIsLinkedGetDefaultHandling) {
    // A window of the main class that never received WM_NCCREATE's state:
    // its procedure must behave as DefWindowProcW does.
    HWND bare = CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(bare, nullptr);
    SetWindowLongPtrW(bare, GWLP_USERDATA, 0);
    EXPECT_TRUE(MainWindowProc(bare, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"after")));
    EXPECT_EQ(WindowText(bare), L"after");
    MINMAXINFO limits{};
    MainWindowProc(bare, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    // The default WM_CLOSE destroys the window instead of asking anything.
    MainWindowProc(bare, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(bare));
    EXPECT_EQ(app().mainWindow, running.app.mainWindow);
}

TEST_F(MainWindowTest, MenusCarryTheirItems) {
    HMENU bar = GetMenu(app().mainWindow);
    ASSERT_EQ(bar, app().mainMenu);
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(MenuText(bar, 0), L"&File");
    EXPECT_EQ(MenuText(bar, 1), L"Options");
    EXPECT_EQ(MenuText(bar, 2), L"&Help");

    struct Item {
        int popup;
        UINT id;
        const wchar_t* text;
    } items[] = {
        {0, 30001, L"&New OBK (32-bit)"},
        {0, 30003, L"&Open..."},
        {0, 30012, L"&Close"},
        {0, 30005, L"&Save"},
        {0, 30006, L"Save &As"},
        {0, 30009, L"E&xit"},
        {1, 30011, L"Add &Bitmap"},
        {1, 30004, L"Import Bitmap &Folder"},
        {1, 30007, L"&Export Bitmap"},
        {1, 30010, L"Export Bitmap &Range"},
        {1, 30008, L"Export A&ll Bitmaps"},
        {2, 32002, L"Shortcu&ts"},
        {2, 32001, L"&About"},
    };
    for (const Item& item : items) {
        wchar_t text[128] = L"";
        GetMenuStringW(GetSubMenu(bar, item.popup), item.id, text, 128, MF_BYCOMMAND);
        EXPECT_STREQ(text, item.text) << "command " << item.id;
        EXPECT_EQ(GetMenuState(GetSubMenu(bar, item.popup), item.id, MF_BYCOMMAND) & MF_GRAYED, 0u);
    }
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 9);  // with its three separators
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 1)), 5);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 2)), 2);
}

TEST_F(MainWindowTest, ShortcutTableHasTheNineEntriesInOrder) {
    ASSERT_NE(running.shortcuts, nullptr);
    ACCEL table[16]{};
    int count = CopyAcceleratorTableW(running.shortcuts, table, 16);
    struct Entry {
        BYTE flags;
        WORD key;
        WORD command;
    } expected[] = {
        {0, 0x0E, 30001},
        {0, 0x0F, 30003},
        {0, 0x17, 30012},
        {0, 0x13, 30005},
        {FVIRTKEY | FSHIFT | FCONTROL, 'S', 30006},
        {FVIRTKEY, VK_INSERT, 30011},
        {0, 0x12, 31002},
        {FVIRTKEY, VK_DELETE, 31003},
        {FVIRTKEY, VK_F2, 31005},
    };
    ASSERT_EQ(count, 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(table[i].fVirt & ~FNOINVERT, expected[i].flags) << "entry " << i;
        EXPECT_EQ(table[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(table[i].cmd, expected[i].command) << "entry " << i;
    }
}

TEST_F(MainWindowTest, MissingShortcutTableIsReportedInADebugBox) {
    Expect({Press(L"Debug", IDOK)});
    HACCEL none = LoadShortcuts(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_EQ(none, nullptr);
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    EXPECT_EQ(robot.shown[0].text, L"Accelerator resource not found!");
}

TEST_F(MainWindowTest, KeyboardContextMenuOpensInsideTheListCornerGrayedAsTheDocumentStands) {
    // Enabled states of Add, Replace, Delete, Change ID and Export, in menu order.
    struct Case {
        const char* what;
        bool file;
        int row;
        std::vector<bool> enabled;
    } cases[] = {
        {"no file", false, -1, {false, false, false, true, false}},
        {"a file, no row", true, -1, {true, false, false, true, false}},
        {"a file and a row", true, 1, {true, true, true, true, true}},
    };
    for (const Case& c : cases) {
        if (c.file) LoadFakeDocument({4, 8}, L"C:\\art\\m.obk");
        if (c.row >= 0) SelectRow(c.row);
        robot.shown.clear();
        Expect({DismissMenu()});
        PostMessageW(app().mainWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app().listView),
                     MAKELPARAM(-1, -1));
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), 1u) << c.what;
        RECT list{};
        GetWindowRect(app().listView, &list);
        const ShownWindow& menu = robot.shown[0];
        ASSERT_TRUE(menu.isMenu);
        EXPECT_EQ(menu.rect.left, list.left + 16) << c.what;
        EXPECT_EQ(menu.rect.top, list.top + 16) << c.what;
        std::vector<std::wstring> texts;
        std::vector<bool> enabled;
        for (const auto& item : menu.menuItems) {
            texts.push_back(item.text);
            if (!item.text.empty()) enabled.push_back(item.enabled);
        }
        EXPECT_EQ(texts,
                  (std::vector<std::wstring>{L"&Add Bitmap", L"&Replace Bitmap", L"&Delete Bitmap",
                                             L"", L"Change &ID", L"", L"&Export Bitmap"}));
        EXPECT_EQ(enabled, c.enabled) << c.what;
        EXPECT_EQ(SelectedRow(), c.row) << c.what << ": a keyboard request selects nothing";
    }
}

TEST_F(MainWindowTest, RightClickOnARowSelectsItBeforeTheMenuOpens) {
    LoadFakeDocument({3, 9, 27}, L"C:\\art\\a.obk");
    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessageW(app().listView, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    POINT click{row.left + 10, (row.top + row.bottom) / 2};
    ClientToScreen(app().listView, &click);

    Expect({DismissMenu()});
    PostMessageW(app().mainWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app().listView),
                 MAKELPARAM(click.x, click.y));
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    EXPECT_EQ(robot.shown[0].rect.left, click.x);
    EXPECT_EQ(robot.shown[0].rect.top, click.y);
    for (const auto& item : robot.shown[0].menuItems) {
        if (!item.text.empty()) {
            EXPECT_TRUE(item.enabled) << Narrow(item.text);
        }
    }
    EXPECT_EQ(SendMessageW(app().listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
              1);
    EXPECT_EQ(app().previewId, 9) << "the selected row is previewed";
}

TEST_F(MainWindowTest, SelectionChangesReachThePreviewCopyButFocusMovesDoNot) {
    LoadFakeDocument({12, 7, 101}, L"C:\\art\\b.obk");
    ASSERT_EQ(SendMessageW(app().listView, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(app().previewId, 0);

    SetRowState(app().listView, 2, LVIS_SELECTED, LVIS_SELECTED);  // 00101
    EXPECT_EQ(app().previewId, 101);
    EXPECT_EQ(app().previewBytes, app().doc.bitmaps[101]);

    // Moving only the focus rectangle leaves the preview alone.
    app().previewId = 4242;
    SetRowState(app().listView, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    EXPECT_EQ(app().previewId, 4242);

    SetRowState(app().listView, 2, 0, LVIS_SELECTED);
    EXPECT_EQ(app().previewId, 0);
    EXPECT_TRUE(app().previewBytes.empty());

    // Selecting by ID: a listed ID is selected and previewed; any other
    // changes nothing, not even the preview.
    SelectBitmapById(app(), 12);
    EXPECT_EQ(SendMessageW(app().listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
              1);
    EXPECT_EQ(app().previewId, 12);
    SelectBitmapById(app(), 8);
    EXPECT_EQ(SendMessageW(app().listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
              1);
    EXPECT_EQ(app().previewId, 12);
}
