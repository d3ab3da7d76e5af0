// Add, Replace, Change ID, Delete and Export of one bitmap as the user
// drives them, answering the real pickers, prompts and message boxes, and
// files dropped on the window from the file manager.
#include <shlobj.h>

#include <cstring>
#include <map>

#include "batch/drop_plan.h"
#include "bitmaps/png_convert.h"
#include "gui_test.h"

namespace {

const wchar_t kResourceId[] = L"Resource ID";
const wchar_t kExists[] = L"Resource Exists";
using Fields = std::vector<std::wstring>;

// As the file manager drops files: a DROPFILES block with the point in the
// window's client area and a double-NUL-terminated list of wide paths.
void DropOn(HWND window, const orvix_test::fs::path& folder,
            const std::vector<const wchar_t*>& names, POINT at) {
    std::wstring list;
    for (const wchar_t* name : names)
        list += (folder / name).wstring() + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    *header = {sizeof(DROPFILES), at, FALSE, TRUE};
    std::memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

}  // namespace

// The document holds 7, 9 and 101, and 9 is selected. Add proposes 101 and
// leaves no row selected; Replace and Change ID keep the row selected and
// previewed; Delete asks first. Copy puts the selected bitmap on the
// clipboard, and Paste stores it under the ID typed (101 offered), Ctrl+Shift+V
// over the selected one after a question: byte for byte what was copied, with
// alpha or without. A PNG image another program put there alone is stored as
// Add stores one.
TEST_F(MainWindowTest, EachBitmapCommandChangesTheStoreAsTheUserAnswers) {
    orvix_test::WriteBytes(scratch / "new.bmp", TinyBitmapFile(50));
    orvix_test::WriteBytes(scratch / "empty.bmp", {});
    orvix_test::WriteBytes(scratch / "xm.bmp", {'X', 'M'});
    const auto Open = [&](const wchar_t* name) { return ChooseFile(L"Open", Path(name)); };
    // ID -> TinyBitmap content; 50 is new.bmp, -1 a bitmap with alpha.
    using Store = std::map<ResourceId, int>;
    const DibPayload alpha = DibFromRgba({1, 1, {1, 2, 3, 128}});
    const Store same = {{7, 7}, {9, 9}, {101, 101}}, without9 = {{7, 7}, {101, 101}};
    const RobotStep ok = Press(kResourceId, IDOK), error = Press(L"Error", IDOK);
    const std::vector<WORD> add = {VK_INSERT}, replace = {VK_CONTROL, 'R'}, del = {VK_DELETE};
    // The context menu's key, then Export's mnemonic there.
    const std::vector<WORD> rename = {VK_F2}, menu = {VK_APPS}, paste = {VK_CONTROL, 'V'},
                            over = {VK_CONTROL, VK_SHIFT, 'V'};
    const RobotStep exportItem = ChooseMenuMnemonic(L'E');
    struct Case {
        const char* what;
        std::vector<WORD> keys;
        // 1: 9 left the store behind the list's back; 2: 9 is too short a bitmap;
        // 3: 7 copied; 4: 9 holds alpha and is copied; 5: another program put a
        // PNG image of TinyBitmap(50) on the clipboard.
        int tweak;
        std::vector<RobotStep> script;
        const wchar_t* error;
        Store after;
        int row;  // selected afterwards
        ResourceId previewed;
    } cases[] = {
        // clang-format off
        {"add as the proposed 101", add, false, {Open(L"new.bmp"), ok}, nullptr,
         {{7, 7}, {9, 9}, {101, 50}}, -1, 0},
        {"add as 12", add, false, {Open(L"new.bmp"), TypeId(L"12")}, nullptr,
         {{7, 7}, {9, 9}, {12, 50}, {101, 101}}, -1, 0},
        {"add an empty file", add, false, {Open(L"empty.bmp"), ok}, nullptr, same, 1, 9},
        {"add a file not beginning with BM", add, false, {Open(L"xm.bmp"), ok, error},
         L"Failed to add bitmap.", same, -1, 0},
        {"add, ID prompt cancelled", add, false, {Open(L"new.bmp"), PressKey(kResourceId,
         VK_ESCAPE)}, nullptr, same, 1, 9},
        {"add, picker cancelled", add, false, {Press(L"Open", IDCANCEL)}, nullptr, same, 1, 9},
        {"replace", replace, false, {Open(L"new.bmp")}, nullptr, {{7, 7}, {9, 50}, {101, 101}},
         1, 9},
        {"replace with a file not beginning with BM", replace, false, {Open(L"xm.bmp"), error},
         L"Failed to replace bitmap.", same, 1, 9},
        {"replace with an empty file", replace, false, {Open(L"empty.bmp")}, nullptr, same, 1, 9},
        {"replace, picker cancelled", replace, false, {Press(L"Open", IDCANCEL)}, nullptr, same,
         1, 9},
        {"rename to a free ID", rename, false, {TypeId(L"13")}, nullptr,
         {{7, 7}, {13, 9}, {101, 101}}, 1, 13},
        {"rename onto a taken ID, Yes", rename, false, {TypeId(L"101"), Press(kExists, IDYES)},
         nullptr, {{7, 7}, {101, 9}}, 1, 101},
        {"rename onto a taken ID, No", rename, false, {TypeId(L"101"), Press(kExists, IDNO)},
         nullptr, same, 1, 9},
        {"rename a row no longer in the store", rename, true, {TypeId(L"13"), error},
         L"Unable to change the resource ID.", without9, 1, 9},
        {"export, picker cancelled", menu, 0, {exportItem, Press(L"Save As", IDCANCEL)}, nullptr,
         same, 1, 9},
        {"export a payload shorter than 40 bytes", menu, 2, {exportItem, ChooseFile(L"Save As",
         Path(L"short")), error}, L"Failed to export bitmap.", same, 1, 9},
        {"export with a name without extension", menu, 0, {exportItem, ChooseFile(L"Save As",
         Path(L"nine"))}, nullptr, same, 1, 9},
        {"export as a PNG image", menu, 0, {exportItem, ChooseFile(L"Save As", Path(L"nine.png"))},
         nullptr, same, 1, 9},
        {"delete, No", del, false, {Press(L"Confirm", IDNO)}, nullptr, same, 1, 9},
        {"delete, Yes", del, false, {Press(L"Confirm", IDYES)}, nullptr, without9, -1, 0},
        {"delete a row no longer in the store", del, true, {Press(L"Confirm", IDYES), error},
         L"Delete failed.", without9, -1, 0},
        {"paste a copy of 7 as 12", paste, 3, {TypeId(L"12")}, nullptr,
         {{7, 7}, {9, 9}, {12, 7}, {101, 101}}, -1, 0},
        {"paste a copy with alpha as the offered 101", paste, 4, {ok}, nullptr,
         {{7, 7}, {9, -1}, {101, -1}}, -1, 0},
        {"paste over the selected, Yes", over, 3, {Press(L"Replace Bitmap", IDYES)}, nullptr,
         {{7, 7}, {9, 7}, {101, 101}}, 1, 9},
        {"paste over the selected, No", over, 4, {Press(L"Replace Bitmap", IDNO)}, nullptr,
         {{7, 7}, {9, -1}, {101, 101}}, 1, 9},
        {"paste a PNG image from elsewhere as 12", paste, 5, {TypeId(L"12")}, nullptr,
         {{7, 7}, {9, 9}, {12, 50}, {101, 101}}, -1, 0},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Load({7, 9, 101});
        if (c.tweak == 2) app().doc.bitmaps[9] = DibPayload(39, 9);
        if (c.tweak == 4) app().doc.bitmaps[9] = alpha;
        SelectRow(c.tweak == 3 ? 0 : 1);
        if (c.tweak == 3 || c.tweak == 4) PressKeys({VK_CONTROL, 'C'});
        if (c.tweak == 5)
            PutOnClipboard(app().mainWindow, RegisterClipboardFormatW(L"PNG"), TinyPngFile(50));
        SelectRow(1);
        const DibPayload shown9 = app().previewBytes;
        EXPECT_TRUE(shown9.SharesBytesWith(app().doc.bitmaps[9])) << "the preview copied";
        if (c.tweak == 1) app().doc.bitmaps.erase(9);
        const BitmapStore before = app().doc.bitmaps;
        Answer(c.script, [&] { PressKeys(c.keys); });
        for (const ShownWindow& window : robot.shown) {
            if (window.caption == kResourceId)
                EXPECT_EQ(window.fields, Fields{c.keys == rename ? L"9" : L"101"});
            if (window.caption == L"Replace Bitmap")
                EXPECT_EQ(window.text,
                          L"question: Replace bitmap 00009 with the image on the clipboard?");
            if (window.caption == kExists)
                EXPECT_EQ(window.text, L"Resource ID 101 already exists. Overwrite?");
            if (window.caption == L"Confirm") {
                EXPECT_EQ(window.text, L"question: Delete selected bitmap?");
                EXPECT_EQ(window.buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
            }
        }
        if (c.error) EXPECT_EQ(robot.shown.back().text, L"error: " + std::wstring(c.error));
        BitmapStore expected;
        std::vector<ResourceId> rows;
        for (const auto& [id, content] : c.after) {
            expected[id] = content < 0 ? alpha : TinyBitmap(content);
            rows.push_back(id);
        }
        if (c.tweak == 2) expected[9] = DibPayload(39, 9);
        EXPECT_EQ(app().doc.bitmaps, expected);
        // Only a bitmap that fits a .bmp file is exported; a name gets ".bmp",
        // unless it ends in .png, which gets a PNG image of the same pixels.
        const std::wstring exported = c.keys == menu && !c.error ? c.script[1].text : L"";
        for (const wchar_t* name : {L"short.bmp", L"nine.bmp", L"nine.png"}) {
            EXPECT_EQ(orvix_test::ReadBytes(scratch / name),
                      Path(name) == exported + L".bmp" ? TinyBitmapFile(9)
                      : Path(name) == exported         ? TinyPngFile(9)
                                                       : orvix_test::Bytes{});
            std::filesystem::remove(scratch / name);
        }
        // A rename that failed leaves the list as it was.
        EXPECT_EQ(ListIds(),
                  (c.tweak == 1 && c.keys == rename ? std::vector<ResourceId>{7, 9, 101} : rows));
        EXPECT_EQ(WindowText(app().mainWindow), std::wstring(L"Orvix - ") + kDocPath +
                                                    (app().doc.bitmaps != before ? L" *" : L""));
        EXPECT_EQ(app().doc.dirty, app().doc.bitmaps != before);
        EXPECT_EQ(SelectedRow(), c.row);
        EXPECT_EQ(app().previewId, c.previewed);
        EXPECT_EQ(app().previewBytes, !c.previewed                  ? DibPayload{}
                                      : expected.count(c.previewed) ? expected[c.previewed]
                                                                    : shown9);
        // Down goes on from the selected row, or from the top, with no click
        // on the list first.
        PressKeys({VK_DOWN});
        EXPECT_EQ(SelectedRow(), std::min(c.row + 1, static_cast<int>(ListIds().size()) - 1));
    }
}

// The document holds 7, 9 and 101, with unsaved changes. One .obk opens
// after the unsaved-changes question; one bitmap is added as Add adds it, or
// replaces the row it lands on after a question; numbered files are imported
// under their numbers; what is not taken is listed.
TEST_F(MainWindowTest, DroppedFilesAreOpenedAddedReplacedImportedOrRefused) {
    ASSERT_TRUE(WriteContainerFile(Path(L"other.obk"), {3, 4}));
    for (auto [name, content] : {std::pair{L"new.bmp", 50}, {L"00009.bmp", 90}, {L"00012.bmp", 12}})
        orvix_test::WriteBytes(scratch / name, TinyBitmapFile(content));
    orvix_test::WriteBytes(scratch / "new.png", TinyPngFile(50));
    orvix_test::WriteBytes(scratch / "notes.txt", {'h', 'i'});
    using Store = std::map<ResourceId, int>;  // ID -> TinyBitmap content
    const Store same = {{7, 7}, {9, 9}, {101, 101}};
    const std::wstring notTaken = L"information: " + DropRefusalMessage({L"notes.txt"});
    const struct {
        const char* what;
        std::vector<const wchar_t*> names;
        bool onRow;  // on 9's row, else on the preview
        std::vector<RobotStep> script;
        Store after;
        const wchar_t* says;  // the last window's text
    } cases[] = {
        // clang-format off
        {"an .obk", {L"other.obk"}, false, {Press(L"Save Changes", IDNO)}, {{3, 3}, {4, 4}},
         L"question: The current OBK has unsaved changes. Save now?"},
        {"a bitmap", {L"new.bmp"}, false, {TypeId(L"12")}, {{7, 7}, {9, 9}, {12, 50}, {101, 101}},
         nullptr},
        {"a PNG image", {L"new.png"}, false, {TypeId(L"12")}, {{7, 7}, {9, 9}, {12, 50},
         {101, 101}}, nullptr},
        {"a bitmap on a row, Yes", {L"new.bmp"}, true, {Press(L"Replace Bitmap", IDYES)},
         {{7, 7}, {9, 50}, {101, 101}}, L"question: Replace bitmap 00009 with new.bmp?"},
        {"a bitmap on a row, No", {L"new.bmp"}, true, {Press(L"Replace Bitmap", IDNO)}, same,
         L"question: Replace bitmap 00009 with new.bmp?"},
        {"numbered files and a note", {L"00012.bmp", L"notes.txt", L"00009.bmp"}, true,
         {Press(kExists, IDNO), Press(L"Info", IDOK)}, {{7, 7}, {9, 9}, {12, 12}, {101, 101}},
         notTaken.c_str()},
        {"a note", {L"notes.txt"}, false, {Press(L"Info", IDOK)}, same, notTaken.c_str()},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load({7, 9, 101});
        app().doc.dirty = true;
        RefreshTitle(app());
        RECT row{};
        ListView_GetItemRect(app().listView, 1, &row, LVIR_BOUNDS);
        POINT at{row.left + 10, (row.top + row.bottom) / 2};
        MapWindowPoints(app().listView, app().mainWindow, &at, 1);
        if (!c.onRow) at = {500, 100};
        Answer(c.script, [&] { DropOn(app().mainWindow, scratch.dir, c.names, at); });
        if (c.script[0].caption == kResourceId) EXPECT_EQ(robot.shown[0].fields, Fields{L"101"});
        if (c.says) EXPECT_EQ(robot.shown.back().text, c.says);
        BitmapStore expected;
        for (const auto& [id, content] : c.after)
            expected[id] = TinyBitmap(content);
        EXPECT_EQ(app().doc.bitmaps, expected);
        EXPECT_EQ(WindowText(app().mainWindow), c.names[0] == std::wstring(L"other.obk")
                                                    ? L"Orvix - " + Path(L"other.obk")
                                                    : std::wstring(L"Orvix - ") + kDocPath + L" *");
    }
}
