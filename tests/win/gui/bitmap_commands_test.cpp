// Add, Replace, Export and Change ID of one bitmap as the user drives them,
// answering the real pickers, prompts and message boxes.
#include "gui_test_support.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kPath[] = L"C:\\art\\b.obk";
const wchar_t kResourceId[] = L"Resource ID";
const wchar_t kExists[] = L"Resource Exists";

std::vector<ResourceId> IdsOf(const BitmapStore& store) {
    std::vector<ResourceId> ids;
    for (const auto& entry : store)
        ids.push_back(entry.first);
    return ids;
}

// A folder with new.bmp (TinyBitmap(50)), an empty empty.bmp and xm.bmp,
// which does not begin with "BM".
std::wstring ChoiceFolder(const wchar_t* name) {
    const std::wstring folder = MakeTempFolder(name);
    auto notBitmap = TinyBitmapFile(50);
    notBitmap[0] = 'X';
    WriteFileBytes(folder + L"new.bmp", TinyBitmapFile(50));
    WriteFileBytes(folder + L"empty.bmp", {});
    WriteFileBytes(folder + L"xm.bmp", notBitmap);
    return folder;
}

RobotStep TypeId(const wchar_t* text) {
    return TypeInto(kResourceId, IDC_RESOURCE_ID_FIELD, text);
}

void ExpectBox(const ShownWindow& box, const wchar_t* text, ShownIcon icon, const char* what) {
    EXPECT_EQ(box.text, text) << what;
    EXPECT_EQ(box.icon, icon) << what;
}

std::wstring Caption(bool dirty) {
    return std::wstring(L"Orvix - ") + kPath + (dirty ? L" *" : L"");
}

}  // namespace

TEST_F(MainWindowTest, BitmapCommandsWithoutADocumentOrARowSayWhatIsMissing) {
    struct Case {
        const char* what;
        bool file;
        WORD command;  // 0: the keys
        std::initializer_list<WORD> keys;
        const wchar_t* message;  // nullptr: nothing at all happens
    } cases[] = {
        {"Insert, no file", false, 0, {VK_INSERT}, L"   Open or create an OBK first."},
        {"Ctrl+R, no file", false, 0, {VK_CONTROL, 'R'}, nullptr},
        {"Export, no file", false, CMD_EXPORT_BITMAP, {}, L"   Open or create an OBK first."},
        {"F2, no file", false, 0, {VK_F2}, nullptr},
        {"Ctrl+R, no row", true, 0, {VK_CONTROL, 'R'}, L"Select a bitmap to replace."},
        {"Export, no row", true, CMD_EXPORT_BITMAP, {}, L"Select a bitmap to export."},
        {"F2, no row", true, 0, {VK_F2}, L"Select a resource to rename."},
    };
    for (const Case& c : cases) {
        if (c.file) LoadFakeDocument({3, 9}, kPath);
        robot.shown.clear();
        Expect(c.message ? std::vector<RobotStep>{Press(L"Info", IDOK)} : std::vector<RobotStep>{});
        if (c.command) {
            SendCommand(running, c.command);
        } else {
            PressKeys(running, c.keys);
        }
        if (!c.message) Pump(running, 300);
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), c.message ? 1u : 0u) << c.what << Describe(robot);
        if (c.message) ExpectBox(robot.shown[0], c.message, ShownIcon::Information, c.what);
        EXPECT_EQ(ListIds().size(), c.file ? 2u : 0u) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), c.file ? Caption(false) : L"Orvix") << c.what;
        if (c.file) CloseDocument(app());
    }
}

TEST_F(MainWindowTest, AddStoresTheChosenFileUnderTheTypedIdAndSelectsNothing) {
    const std::wstring folder = ChoiceFolder(L"add");
    const auto open = [&](const wchar_t* name) { return ChooseFile(L"Open", folder + name); };
    const RobotStep ok = Press(kResourceId, IDOK);
    struct Case {
        const char* what;
        std::vector<RobotStep> script;
        const wchar_t* error;
        ResourceId added;  // 0: the store is as before
    } cases[] = {
        {"101 as proposed, already taken", {open(L"new.bmp"), ok}, nullptr, 101},
        {"typed 12", {open(L"new.bmp"), TypeId(L"12")}, nullptr, 12},
        {"empty file", {open(L"empty.bmp"), ok}, nullptr, 0},
        {"not beginning with BM",
         {open(L"xm.bmp"), ok, Press(L"Error", IDOK)},
         L"Failed to add bitmap.",
         0},
        {"ID prompt cancelled", {open(L"new.bmp"), PressKey(kResourceId, VK_ESCAPE)}, nullptr, 0},
        {"picker cancelled", {Press(L"Open", IDCANCEL)}, nullptr, 0},
    };
    for (const Case& c : cases) {
        LoadFakeDocument({7, 101}, kPath);
        SelectRow(0);
        BitmapStore expected = app().doc.bitmaps;
        robot.shown.clear();
        Expect(c.script);
        PressKeys(running, {VK_INSERT});
        FinishRobot();
        if (c.script.size() > 1) {
            EXPECT_EQ(robot.shown[1].fields, std::vector<std::wstring>{L"101"}) << c.what;
        }
        if (c.error) ExpectBox(robot.shown.back(), c.error, ShownIcon::Error, c.what);
        if (c.added) expected[c.added] = TinyBitmap(50);
        EXPECT_EQ(app().doc.bitmaps, expected) << c.what;
        EXPECT_EQ(ListIds(), IdsOf(expected)) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), Caption(c.added != 0)) << c.what;
        // A refilled list has no selection; an Add that stopped early left it alone.
        const bool refreshed = c.added != 0 || c.error;
        EXPECT_EQ(SelectedRow(), refreshed ? -1 : 0) << c.what;
        EXPECT_EQ(app().previewId, refreshed ? 0 : 7) << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, ReplaceKeepsTheRowSelectedAndPreviewsTheNewBitmap) {
    const std::wstring folder = ChoiceFolder(L"replace");
    const auto open = [&](const wchar_t* name) { return ChooseFile(L"Open", folder + name); };
    struct Case {
        const char* what;
        std::vector<RobotStep> script;
        const wchar_t* error;
        bool replaced;
    } cases[] = {
        {"a bitmap file", {open(L"new.bmp")}, nullptr, true},
        {"not beginning with BM",
         {open(L"xm.bmp"), Press(L"Error", IDOK)},
         L"Failed to replace bitmap.",
         false},
        {"empty file", {open(L"empty.bmp")}, nullptr, false},
        {"picker cancelled", {Press(L"Open", IDCANCEL)}, nullptr, false},
    };
    for (const Case& c : cases) {
        LoadFakeDocument({3, 9}, kPath);
        SelectRow(1);
        const DibPayload old = app().doc.bitmaps[9];
        robot.shown.clear();
        Expect(c.script);
        PressKeys(running, {VK_CONTROL, 'R'});
        FinishRobot();
        if (c.error) ExpectBox(robot.shown.back(), c.error, ShownIcon::Error, c.what);
        const DibPayload now = c.replaced ? TinyBitmap(50) : old;
        EXPECT_EQ(app().doc.bitmaps[9], now) << c.what;
        EXPECT_EQ(ListIds(), (std::vector<ResourceId>{3, 9})) << c.what;
        EXPECT_EQ(SelectedRow(), 1) << c.what;
        EXPECT_EQ(app().previewId, 9) << c.what;
        EXPECT_EQ(app().previewBytes, now) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), Caption(c.replaced)) << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, ExportFromTheContextMenuWritesTheSelectedBitmapAsABmpFile) {
    const std::wstring folder = MakeTempFolder(L"export");
    struct Case {
        const char* what;
        int row;
        const wchar_t* typed;    // nullptr: picker cancelled
        const wchar_t* written;  // nullptr: no file at all
        const wchar_t* error;
    } cases[] = {
        {"name without extension", 1, L"eight", L"eight.bmp", nullptr},
        {"payload shorter than 40 bytes", 0, L"four", nullptr, L"Failed to export bitmap."},
        {"picker cancelled", 1, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        LoadFakeDocument({4, 8}, kPath);
        app().doc.bitmaps[4] = DibPayload(39, 4);
        app().doc.bitmaps[8] = TinyBitmap(8);
        SelectRow(c.row);
        std::vector<RobotStep> script = {
            ChooseMenuMnemonic(L'E'),
            c.typed ? ChooseFile(L"Save As", folder + c.typed) : Press(L"Save As", IDCANCEL)};
        if (c.error) script.push_back(Press(L"Error", IDOK));
        robot.shown.clear();
        Expect(script);
        PostMessageW(app().mainWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app().listView),
                     MAKELPARAM(-1, -1));
        FinishRobot();
        if (c.error) ExpectBox(robot.shown.back(), c.error, ShownIcon::Error, c.what);
        if (c.written) {
            EXPECT_EQ(ReadFileBytes(folder + c.written), TinyBitmapFile(8)) << c.what;
        } else if (c.typed) {
            const std::wstring named = folder + c.typed + L".bmp";
            EXPECT_EQ(GetFileAttributesW(named.c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        }
        EXPECT_EQ(SelectedRow(), c.row) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), Caption(false)) << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, ChangeIdMovesTheSelectedBitmapOrLeavesItAsTheUserAnswers) {
    struct Case {
        const char* what;
        std::vector<RobotStep> script;  // after F2
        bool stale;                     // the row's bitmap left the store before F2
        ResourceId moved;               // 0: nothing changed
    } cases[] = {
        {"to a free ID", {TypeId(L"13")}, false, 13},
        {"onto a taken ID, Yes", {TypeId(L"15"), Press(kExists, IDYES)}, false, 15},
        {"onto a taken ID, Yes to All", {TypeId(L"15"), Press(kExists, IDC_YES_TO_ALL)}, false, 15},
        {"onto a taken ID, No", {TypeId(L"15"), Press(kExists, IDNO)}, false, 0},
        {"onto a taken ID, No to All", {TypeId(L"15"), Press(kExists, IDC_NO_TO_ALL)}, false, 0},
        {"onto a taken ID, Esc", {TypeId(L"15"), PressKey(kExists, VK_ESCAPE)}, false, 0},
        {"the same ID", {Press(kResourceId, IDOK)}, false, 0},
        {"prompt cancelled", {Press(kResourceId, IDCANCEL)}, false, 0},
        {"row no longer in the store", {TypeId(L"13"), Press(L"Error", IDOK)}, true, 0},
    };
    for (const Case& c : cases) {
        LoadFakeDocument({12, 15, 20}, kPath);
        SelectRow(0);
        const BitmapStore before = app().doc.bitmaps;
        if (c.stale) app().doc.bitmaps.erase(12);
        BitmapStore expected = app().doc.bitmaps;
        if (c.moved) {
            expected.erase(12);
            expected[c.moved] = before.at(12);
        }
        robot.shown.clear();
        Expect(c.script);
        PressKeys(running, {VK_F2});
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), c.script.size()) << c.what << Describe(robot);
        EXPECT_EQ(robot.shown[0].fields, std::vector<std::wstring>{L"12"}) << c.what;
        if (c.script.back().caption == kExists) {
            EXPECT_EQ(robot.shown[1].text, L"Resource ID 15 already exists. Overwrite?") << c.what;
        }
        if (c.stale) {
            ExpectBox(robot.shown[1], L"Unable to change the resource ID.", ShownIcon::Error,
                      c.what);
        }
        EXPECT_EQ(app().doc.bitmaps, expected) << c.what;
        EXPECT_EQ(ListIds(), IdsOf(c.moved ? expected : before)) << c.what;
        EXPECT_EQ(SelectedRow(), 0) << c.what;
        EXPECT_EQ(app().previewId, c.moved ? c.moved : 12) << c.what;
        EXPECT_EQ(app().previewBytes, before.at(12)) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), Caption(c.moved != 0)) << c.what;
        CloseDocument(app());
    }
}
