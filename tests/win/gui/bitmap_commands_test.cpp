// Add, Replace, Change ID, Delete and Export of one bitmap as the user
// drives them, answering the real pickers, prompts and message boxes, and
// files dropped on the window from the file manager.
#include <map>

#include "batch/drop_plan.h"
#include "bitmaps/png_convert.h"
#include "gui_test.h"

namespace {

const wchar_t kResourceId[] = L"Resource ID";
const wchar_t kExists[] = L"Resource Exists";
const wchar_t kReplace[] = L"Replace Bitmap";
const wchar_t kReplaceWithCopy[] =
    L"question: Replace bitmap 00009 with the image on the clipboard?";
const wchar_t kReplaceWithFile[] = L"question: Replace bitmap 00009 with new.bmp?";

}  // namespace

// The document holds 7, 9 and 101, and 9 is selected. Add, Paste and a
// dropped image offer 101 and leave no row selected; Replace, Change ID and
// a paste or drop over the selected row keep it selected and previewed. A
// paste stores what was copied byte for byte, with alpha or without.
TEST_F(MainWindowTest, EachBitmapCommandChangesTheStoreAsTheUserAnswers) {
    for (auto [name, content] : {std::pair{L"new.bmp", 50}, {L"00101.bmp", 90}, {L"00012.bmp", 12}})
        orvix_test::WriteBytes(scratch / name, TinyBitmapFile(content));
    orvix_test::WriteBytes(scratch / "new.png", TinyPngFile(50));
    orvix_test::WriteBytes(scratch / "notes.txt", {'h', 'i'});
    const std::wstring notTaken = L"information: " + DropRefusalMessage({L"notes.txt"});
    orvix_test::WriteBytes(scratch / "empty.bmp", {});
    orvix_test::WriteBytes(scratch / "xm.bmp", {'X', 'M'});
    const auto Open = [&](const wchar_t* name) { return ChooseFile(L"Open", Path(name)); };
    // ID -> TinyBitmap content; 50 is new.bmp, -1 a bitmap with alpha.
    using Store = std::map<ResourceId, int>;
    const DibPayload alpha = DibFromRgba({1, 1, {1, 2, 3, 128}});
    const Store same = {{7, 7}, {9, 9}, {101, 101}}, without9 = {{7, 7}, {101, 101}},
                with12 = {{7, 7}, {9, 9}, {12, 50}, {101, 101}};
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
        Store after;
        int row;  // selected afterwards
        ResourceId previewed;
        const wchar_t* says = nullptr;             // the last window's text, if it matters
        std::vector<const wchar_t*> dropped = {};  // instead of keys
        bool onRow = false;                        // on 9's row, else on the preview
    } cases[] = {
        // clang-format off
        {"add as the offered 101", add, 0, {Open(L"new.bmp"), ok}, {{7, 7}, {9, 9}, {101, 50}}, -1,
         0},
        {"add as 12", add, 0, {Open(L"new.bmp"), TypeId(L"12")}, with12, -1, 0},
        {"add an empty file", add, 0, {Open(L"empty.bmp"), ok}, same, 1, 9},
        {"add a file not beginning with BM", add, 0, {Open(L"xm.bmp"), ok, error}, same, -1, 0,
         L"error: Failed to add bitmap."},
        {"add, ID prompt cancelled", add, 0, {Open(L"new.bmp"), PressKey(kResourceId, VK_ESCAPE)},
         same, 1, 9},
        {"add, picker cancelled", add, 0, {Press(L"Open", IDCANCEL)}, same, 1, 9},
        {"replace", replace, 0, {Open(L"new.bmp")}, {{7, 7}, {9, 50}, {101, 101}}, 1, 9},
        {"replace with a file not beginning with BM", replace, 0, {Open(L"xm.bmp"), error}, same,
         1, 9, L"error: Failed to replace bitmap."},
        {"replace with an empty file", replace, 0, {Open(L"empty.bmp")}, same, 1, 9},
        {"replace, picker cancelled", replace, 0, {Press(L"Open", IDCANCEL)}, same, 1, 9},
        {"rename to a free ID", rename, 0, {TypeId(L"13")}, {{7, 7}, {13, 9}, {101, 101}}, 1, 13},
        {"rename onto a taken ID, Yes", rename, 0, {TypeId(L"101"), Press(kExists, IDYES)},
         {{7, 7}, {101, 9}}, 1, 101},
        {"rename onto a taken ID, No", rename, 0, {TypeId(L"101"), Press(kExists, IDNO)}, same, 1,
         9},
        {"rename a row no longer in the store", rename, 1, {TypeId(L"13"), error}, without9, 1, 9,
         L"error: Unable to change the resource ID."},
        {"export, picker cancelled", menu, 0, {exportItem, Press(L"Save As", IDCANCEL)}, same, 1,
         9},
        {"export a payload shorter than 40 bytes", menu, 2, {exportItem, ChooseFile(L"Save As",
         Path(L"short")), error}, same, 1, 9, L"error: Failed to export bitmap."},
        {"export with a name without extension", menu, 0, {exportItem, ChooseFile(L"Save As",
         Path(L"nine"))}, same, 1, 9},
        {"export as a PNG image", menu, 0, {exportItem, ChooseFile(L"Save As", Path(L"nine.png"))},
         same, 1, 9},
        {"delete, No", del, 0, {Press(L"Confirm", IDNO)}, same, 1, 9},
        {"delete, Yes", del, 0, {Press(L"Confirm", IDYES)}, without9, -1, 0},
        {"delete a row no longer in the store", del, 1, {Press(L"Confirm", IDYES), error}, without9,
         -1, 0, L"error: Delete failed."},
        {"paste a copy with alpha as the offered 101", paste, 4, {ok}, {{7, 7}, {9, -1}, {101, -1}},
         -1, 0},
        {"paste over the selected, Yes", over, 3, {Press(kReplace, IDYES)}, {{7, 7}, {9, 7},
         {101, 101}}, 1, 9},
        {"paste over the selected, No", over, 4, {Press(kReplace, IDNO)}, {{7, 7}, {9, -1},
         {101, 101}}, 1, 9},
        {"paste a PNG image from elsewhere as 12", paste, 5, {TypeId(L"12")}, with12, -1, 0},
        {"drop a PNG image", {}, 0, {TypeId(L"12")}, with12, -1, 0, nullptr, {L"new.png"}},
        {"drop a bitmap on a row, Yes", {}, 0, {Press(kReplace, IDYES)}, {{7, 7}, {9, 50},
         {101, 101}}, 1, 9, nullptr, {L"new.bmp"}, true},
        {"drop a bitmap on a row, No", {}, 0, {Press(kReplace, IDNO)}, same, 1, 9, nullptr,
         {L"new.bmp"}, true},
        {"drop numbered files and a note", {}, 0, {Press(kExists, IDNO), Press(L"Info", IDOK)},
         {{7, 7}, {9, 9}, {12, 12}, {101, 101}}, -1, 0, notTaken.c_str(), {L"00012.bmp",
         L"notes.txt", L"00101.bmp"}, true},
        {"drop a note", {}, 0, {Press(L"Info", IDOK)}, same, 1, 9, notTaken.c_str(),
         {L"notes.txt"}},
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
        RECT row{};
        ListView_GetItemRect(app().listView, 1, &row, LVIR_BOUNDS);
        POINT at{row.left + 10, (row.top + row.bottom) / 2};
        MapWindowPoints(app().listView, app().mainWindow, &at, 1);
        if (!c.onRow) at = {500, 100};
        Answer(c.script, [&] {
            PressKeys(c.keys);
            if (!c.dropped.empty()) DropOn(app().mainWindow, scratch.dir, c.dropped, at);
        });
        for (const ShownWindow& window : robot.shown) {
            if (window.caption == kResourceId)
                EXPECT_EQ(window.fields, Texts{c.keys == rename ? L"9" : L"101"});
            if (window.caption == kReplace)
                EXPECT_EQ(window.text, c.dropped.empty() ? kReplaceWithCopy : kReplaceWithFile);
            if (window.caption == kExists)
                EXPECT_EQ(window.text, L"Resource ID 101 already exists. Overwrite?");
            if (window.caption == L"Confirm") {
                EXPECT_EQ(window.text, L"question: Delete selected bitmap?");
                EXPECT_EQ(window.buttons, (Texts{L"&Yes", L"&No"}));
            }
        }
        if (c.says) EXPECT_EQ(robot.shown.back().text, c.says);
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
        const std::wstring exported = c.keys == menu && !c.says ? c.script[1].text : L"";
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
        // Down goes on from the selected row, or the top, with no click first.
        PressKeys({VK_DOWN});
        EXPECT_EQ(SelectedRow(), std::min(c.row + 1, static_cast<int>(ListIds().size()) - 1));
    }
}
