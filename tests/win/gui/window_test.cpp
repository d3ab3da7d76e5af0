// The main window as a user meets it: its panes, its menus and keys, what
// each command does when the document lacks what it needs, the context
// menu.
#include <algorithm>
#include <map>

#include "gui_test.h"

namespace {

using Ids = std::vector<ResourceId>;
constexpr int kContextMenu = 3;  // after the main menu's File, Options and Help
constexpr int kKeysOnly = -1;
const wchar_t kOpenFirst[] = L"   Open or create an OBK first.";
const wchar_t kNoFile[] = L"No file loaded.";
const wchar_t kExportWhich[] = L"Select a bitmap to export.";

// Every command: where the user finds it, its keys, what it says when there
// is no file or no selected row (nullptr: it does not need one; L"": it does
// nothing at all), and the first window it opens when it can go ahead.
struct Command {
    WORD id;
    int menu;
    const wchar_t* text;
    std::vector<WORD> keys;
    const wchar_t* noFile;
    const wchar_t* noRow;
    const wchar_t* opens;
};

// clang-format off
const Command kCommands[] = {
    {CMD_NEW_CONTAINER_32, 0, L"&New OBK (32-bit)", {VK_CONTROL, 'N'}, nullptr, nullptr,
     L"Save As"},
    {CMD_OPEN, 0, L"&Open...", {VK_CONTROL, 'O'}, nullptr, nullptr, L"Open"},
    {CMD_CLOSE, 0, L"&Close", {VK_CONTROL, 'W'}, L"", nullptr, nullptr},
    {CMD_SAVE, 0, L"&Save", {VK_CONTROL, 'S'}, kNoFile, nullptr, nullptr},
    {CMD_SAVE_AS, 0, L"Save &As", {VK_CONTROL, VK_SHIFT, 'S'}, kNoFile, nullptr, L"Save As"},
    {CMD_EXIT, 0, L"E&xit", {}, nullptr, nullptr, nullptr},  // driven with the close prompt
    {CMD_ADD_BITMAP, 1, L"Add &Bitmap", {VK_INSERT}, kOpenFirst, nullptr, L"Open"},
    {CMD_IMPORT_FOLDER, 1, L"Import Bitmap &Folder", {}, L"Open or create an OBK first.", nullptr,
     L"Select Folder"},
    {CMD_EXPORT_BITMAP, 1, L"&Export Bitmap", {}, kOpenFirst, kExportWhich, nullptr},
    {CMD_EXPORT_RANGE, 1, L"Export Bitmap &Range", {}, kOpenFirst, nullptr, L"Select Folder"},
    {CMD_EXPORT_ALL, 1, L"Export A&ll Bitmaps", {}, kOpenFirst, nullptr, L"Select Folder"},
    {CMD_SHORTCUTS, 2, L"Shortcu&ts", {}, nullptr, nullptr, L"Keyboard Shortcuts"},
    {CMD_ABOUT, 2, L"&About", {}, nullptr, nullptr, L"About"},
    {CMD_CTX_ADD_BITMAP, kContextMenu, L"&Add Bitmap", {}, kOpenFirst, nullptr, L"Open"},
    {CMD_CTX_REPLACE_BITMAP, kContextMenu, L"&Replace Bitmap", {VK_CONTROL, 'R'}, L"",
     L"Select a bitmap to replace.", nullptr},
    {CMD_CTX_DELETE_BITMAP, kContextMenu, L"&Delete Bitmap", {VK_DELETE}, L"",
     L"Select a bitmap to delete.", nullptr},
    {CMD_CTX_CHANGE_ID, kContextMenu, L"Change &ID", {VK_F2}, L"", L"Select a resource to rename.",
     nullptr},
    {CMD_CTX_EXPORT_BITMAP, kContextMenu, L"&Export Bitmap", {}, kOpenFirst, kExportWhich, nullptr},
    {CMD_CTX_COPY, kContextMenu, L"&Copy", {VK_CONTROL, 'C'}, kOpenFirst, L"Select a bitmap to copy.",
     nullptr},
    // With nothing on the clipboard, as every test starts.
    {CMD_CTX_PASTE, kContextMenu, L"&Paste", {VK_CONTROL, 'V'}, kOpenFirst, nullptr, nullptr},
    {CMD_PASTE_OVER, kKeysOnly, L"", {VK_CONTROL, VK_SHIFT, 'V'}, L"",
     L"Select a bitmap to replace.", nullptr},
    {CMD_ZOOM_IN, kKeysOnly, L"", {VK_CONTROL, VK_OEM_PLUS}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_IN, kKeysOnly, L"", {VK_CONTROL, VK_SHIFT, VK_OEM_PLUS}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_IN, kKeysOnly, L"", {VK_CONTROL, VK_ADD}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_OUT, kKeysOnly, L"", {VK_CONTROL, VK_OEM_MINUS}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_OUT, kKeysOnly, L"", {VK_CONTROL, VK_SUBTRACT}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_ONE_TO_ONE, kKeysOnly, L"", {VK_CONTROL, '0'}, nullptr, nullptr, nullptr},
    {CMD_ZOOM_FIT, kKeysOnly, L"", {'F'}, nullptr, nullptr, nullptr},
};
// clang-format on

using MenuItems = std::map<WORD, std::pair<int, std::wstring>>;

void AddMenuItems(HMENU popup, int menu, MenuItems& items) {
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        if (GetMenuItemID(popup, i) != 0)
            items[static_cast<WORD>(GetMenuItemID(popup, i))] = {menu, MenuItemText(popup, i)};
    }
}

RECT RectIn(HWND child, HWND parent) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

TEST_F(MainWindowTest, MenusAndKeysCarryEveryCommand) {
    HMENU bar = GetMenu(app().mainWindow);
    Texts titles;
    MenuItems shown, expected;
    for (int popup = 0; popup < GetMenuItemCount(bar); ++popup) {
        wchar_t text[64] = L"";
        GetMenuStringW(bar, static_cast<UINT>(popup), text, 64, MF_BYPOSITION);
        titles.push_back(text);
        AddMenuItems(GetSubMenu(bar, popup), popup, shown);
    }
    AddMenuItems(GetSubMenu(app().contextMenu, 0), kContextMenu, shown);
    for (const Command& c : kCommands) {
        if (c.menu != kKeysOnly) expected[c.id] = {c.menu, c.text};
    }
    EXPECT_EQ(titles, (Texts{L"&File", L"Options", L"&Help"}));
    EXPECT_EQ(shown, expected);
    // No key is in the table but the commands'.
    EXPECT_EQ(CopyAcceleratorTableW(shortcuts, nullptr, 0),
              std::count_if(std::begin(kCommands), std::end(kCommands),
                            [](const Command& c) { return !c.keys.empty(); }));
}

// Each command's key reaches the window as that command through the
// program's own loop.
TEST_F(MainWindowTest, EachCommandSaysWhatItLacksOrGoesAhead) {
    const std::wstring file = Path(L"d.obk");
    static std::vector<WORD> received;
    static WNDPROC original = nullptr;
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        app().mainWindow, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_COMMAND) received.push_back(LOWORD(wParam));
            return CallWindowProcW(original, hwnd, message, wParam, lParam);
        })));
    for (bool loaded : {false, true}) {
        for (const Command& c : kCommands) {
            if (c.id == CMD_EXIT) continue;
            if (loaded) ASSERT_TRUE(WriteContainerFile(file, {3, 9}));
            if (loaded) Load({3, 9}, file);
            const wchar_t* says = loaded ? c.noRow : c.noFile;
            std::vector<RobotStep> script;
            if (says && *says) script.push_back(Press(L"Info", IDOK));
            // The help dialogs close on OK alone.
            if (!says && c.opens) script.push_back(Press(c.opens, c.menu == 2 ? IDOK : IDCANCEL));
            SCOPED_TRACE(std::wstring(c.text) + (loaded ? L", a file and no row" : L", no file"));
            received.clear();
            Answer(script, [&] {
                if (c.keys.empty()) Send(c.id);
                if (!c.keys.empty()) PressKeys(c.keys);
            });
            EXPECT_EQ(received, std::vector<WORD>{c.id});
            if (says && *says)
                EXPECT_EQ(robot.shown[0].text, L"information: " + std::wstring(says));
            if (says) {
                EXPECT_EQ(ListIds(), (loaded ? Ids{3, 9} : Ids{}));
                EXPECT_EQ(WindowText(app().mainWindow), loaded ? L"Orvix - " + file : L"Orvix");
            }
            if (!app().doc.loaded) continue;
            // Down reaches the list with no click first, whatever the command showed.
            PressKeys({VK_DOWN});
            EXPECT_EQ(SelectedRow(), 0);
            CloseDocument(app());
        }
    }
}

TEST_F(MainWindowTest, OpensAt980By640AndKeepsTheListAt160WhateverTheSize) {
    HWND main = app().mainWindow;
    // 0 x 0: as it opens; the last is narrower than the list.
    for (SIZE size : {SIZE{0, 0}, SIZE{700, 500}, SIZE{1200, 800}, SIZE{150, 300}}) {
        if (size.cx) SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        Pump();
        RECT outer{}, client{};
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        const RECT list = RectIn(app().listView, main), preview = RectIn(app().previewWindow, main);
        SCOPED_TRACE("outer width " + std::to_string(outer.right - outer.left));
        if (!size.cx)
            EXPECT_EQ(std::pair(outer.right - outer.left, outer.bottom - outer.top),
                      std::pair(980L, 640L));
        // The list and its column keep their widths; the preview takes the
        // rest, never reaching past the client area, even with no room left.
        const LONG width = client.right, height = client.bottom;
        EXPECT_EQ(
            (std::vector<LONG>{list.left, list.top, list.right, list.bottom, preview.left,
                               preview.top, preview.right, preview.bottom,
                               ListView_GetColumnWidth(app().listView, 0)}),
            (std::vector<LONG>{0, 0, 160, height, 160, 0, std::max(width, 160L), height, 156}));
    }
}

TEST_F(MainWindowTest, ContextMenuGraysWhatTheDocumentAndTheRowCannotGive) {
    // The menu key opens the menu inside the list's corner and selects
    // nothing; a right click on a row selects it first. Paste takes a DIB or
    // a PNG image.
    const UINT dib = CF_DIB, png = RegisterClipboardFormatW(L"PNG");
    struct Case {
        const char* what;
        bool file;
        int row;      // selected before
        int clicked;  // -1: the menu key
        UINT clipboard = 0;
    } cases[] = {{"no file", false, -1, -1},
                 {"a file, no row", true, -1, -1},
                 {"a file and a row, a PNG image copied", true, 1, -1, png},
                 {"right click on a row, a DIB copied", true, -1, 1, dib}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutOnClipboard(app().mainWindow, c.clipboard,
                       c.clipboard == dib ? TinyBitmap(5).ToBytes() : TinyPngFile(5));
        if (c.file) Load({3, 9, 27});
        if (c.row >= 0) SelectRow(c.row);
        RECT list{}, row{};
        GetWindowRect(app().listView, &list);
        ListView_GetItemRect(app().listView, std::max(c.clicked, 0), &row, LVIR_BOUNDS);
        POINT at{row.left + 10, (row.top + row.bottom) / 2};
        ClientToScreen(app().listView, &at);
        if (c.clicked < 0) at = {list.left + 16, list.top + 16};
        Answer({DismissMenu()}, [&] {
            if (c.clicked < 0) PressKeys({VK_APPS});
            if (c.clicked >= 0)
                PostMessageW(app().mainWindow, WM_CONTEXTMENU,
                             reinterpret_cast<WPARAM>(app().listView), MAKELPARAM(at.x, at.y));
        });
        const ShownWindow& menu = robot.shown[0];
        EXPECT_EQ(std::pair(menu.corner.x, menu.corner.y), std::pair(at.x, at.y));
        const int selected = c.clicked >= 0 ? c.clicked : c.row;
        Texts expected;
        for (const Command& command : kCommands) {
            // Change ID is never grayed.
            const bool lacks = command.id != CMD_CTX_CHANGE_ID &&
                               ((command.noFile && !c.file) || (command.noRow && selected < 0) ||
                                (command.id == CMD_CTX_PASTE && !c.clipboard));
            if (command.menu != kContextMenu) continue;
            if (command.id == CMD_CTX_CHANGE_ID || command.id == CMD_CTX_EXPORT_BITMAP)
                expected.push_back(L"");  // separators before them
            expected.push_back(command.text + std::wstring(lacks ? L" (grayed)" : L""));
        }
        EXPECT_EQ(menu.menuItems, expected);
        EXPECT_EQ(SelectedRow(), selected);
        EXPECT_EQ(app().previewId, selected < 0 ? 0 : ListIds()[static_cast<size_t>(selected)]);
        if (app().doc.loaded) CloseDocument(app());
    }
}
