// Open, Save, Save As, Close and Delete as the user drives them: through
// menu commands and keys, answering the real pickers and message boxes.
#include <optional>

#include "document/container_io.h"
#include "fileio/atomic_file.h"
#include "gui_test_support.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

namespace {

const wchar_t kUnsaved[] = L"The current OBK has unsaved changes. Save now?";

// Makes the next saves fail as a full disk would, for the life of the object.
struct FailingDisk {
    FailingDisk() { SetAtomicWriteFailureAfterBytesForTesting(0); }
    ~FailingDisk() { SetAtomicWriteFailureAfterBytesForTesting(-1); }
};

BitmapStore StoreOf(std::initializer_list<ResourceId> ids) {
    BitmapStore store;
    for (ResourceId id : ids)
        store[id] = TinyBitmap(id);
    return store;
}

BitmapStore StoreOnDisk(const std::wstring& path) {
    ContainerDoc doc;
    LoadContainer(doc, path);
    return doc.bitmaps;
}

}  // namespace

TEST_F(MainWindowTest, OpenShowsTheFilesBitmapsOrSaysItCannot) {
    const std::wstring folder = MakeTempFolder(L"open");
    const std::wstring art = folder + L"art.obk";
    const std::wstring bare = folder + L"bare.obk";
    const std::wstring notes = folder + L"notes.obk";
    ASSERT_TRUE(WriteContainerFile(art, {12345, 7, 101}));
    ASSERT_TRUE(WriteContainerFile(bare, {}));
    ASSERT_TRUE(WriteFileBytes(notes, {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}));
    struct Case {
        std::wstring path;
        bool opens;
        std::vector<std::wstring> rows;
        std::vector<ResourceId> ids;
    } cases[] = {
        {art, true, {L"00007", L"00101", L"12345"}, {7, 101, 12345}},
        {bare, true, {}, {}},
        {notes, false, {}, {}},
    };
    for (const Case& c : cases) {
        const std::string what = Narrow(c.path);
        robot.shown.clear();
        std::vector<RobotStep> script = {ChooseFile(L"Open", c.path)};
        if (!c.opens) script.push_back(Press(L"Error", IDOK));
        Expect(script);
        PressKeys(running, {VK_CONTROL, 'O'});
        FinishRobot();
        EXPECT_EQ(app().doc.loaded, c.opens) << what;
        EXPECT_FALSE(app().doc.dirty) << what;
        EXPECT_EQ(ListTexts(), c.rows) << what;
        EXPECT_EQ(ListIds(), c.ids) << what;
        EXPECT_EQ(SelectedRow(), -1) << what;
        EXPECT_EQ(app().previewId, 0) << what;
        EXPECT_EQ(WindowText(app().mainWindow), c.opens ? L"Orvix - " + c.path : L"Orvix") << what;
        if (c.opens) {
            EXPECT_EQ(app().doc.bitmaps, StoreOnDisk(c.path)) << what;
        } else {
            ASSERT_EQ(robot.shown.size(), 2u) << Describe(robot);
            EXPECT_EQ(robot.shown[1].text, L"Failed to open file.");
            EXPECT_EQ(robot.shown[1].icon, ShownIcon::Error);
        }
    }
    // Nothing is open after the failure: Save says so.
    robot.shown.clear();
    Expect({Press(L"Info", IDOK)});
    SendCommand(running, CMD_SAVE);
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    EXPECT_EQ(robot.shown[0].text, L"No file loaded.");
}

// What Open, Close and the close box do to a document with unsaved changes,
// for each answer to their question.
TEST_F(MainWindowTest, UnsavedChangesAreSavedDroppedOrKeptAsTheUserAnswers) {
    struct Case {
        const char* what;
        WORD command;  // 0: the window's close box
        int answer;
        bool saveFails;
        bool closed;  // the document is gone afterwards
        bool saved;   // the file holds the changes
    } cases[] = {
        {"Open, Cancel", CMD_OPEN, IDCANCEL, false, false, false},
        {"Open, No, picker cancelled", CMD_OPEN, IDNO, false, true, false},
        {"Open, Yes, picker cancelled", CMD_OPEN, IDYES, false, true, true},
        {"Open, Yes, save fails", CMD_OPEN, IDYES, true, false, false},
        {"Close, Cancel", CMD_CLOSE, IDCANCEL, false, false, false},
        {"Close, No", CMD_CLOSE, IDNO, false, true, false},
        {"Close, Yes", CMD_CLOSE, IDYES, false, true, true},
        {"Close, Yes, save fails", CMD_CLOSE, IDYES, true, false, false},
        {"close box, Yes, save fails", 0, IDYES, true, false, false},
    };
    const std::wstring folder = MakeTempFolder(L"unsaved");
    for (const Case& c : cases) {
        const std::wstring file = folder + L"work.obk";
        ASSERT_TRUE(WriteContainerFile(file, {1, 2}));
        const auto before = ReadFileBytes(file);
        ASSERT_TRUE(LoadContainer(app().doc, file));
        app().doc.bitmaps.erase(1);
        app().doc.dirty = true;
        RefreshViews(app());

        const bool close = c.command == CMD_CLOSE;
        std::vector<RobotStep> script = {Press(close ? L"Close File" : L"Save Changes", c.answer)};
        if (c.saveFails) script.push_back(Press(L"Error", IDOK));
        if (c.command == CMD_OPEN && c.closed) script.push_back(Press(L"Open", IDCANCEL));
        robot.shown.clear();
        Expect(script);
        {
            std::optional<FailingDisk> disk;
            if (c.saveFails) disk.emplace();
            if (c.command) {
                SendCommand(running, c.command);
            } else {
                PostMessageW(app().mainWindow, WM_CLOSE, 0, 0);
            }
            FinishRobot();
        }
        ASSERT_FALSE(robot.shown.empty()) << c.what;
        EXPECT_EQ(robot.shown[0].text, close ? L"Save changes before closing?" : kUnsaved);
        EXPECT_EQ(robot.shown[0].icon, ShownIcon::Question) << c.what;
        if (c.saveFails) {
            EXPECT_EQ(robot.shown[1].text, L"Failed to save file.") << c.what;
        }

        EXPECT_TRUE(IsWindow(app().mainWindow)) << c.what;
        EXPECT_EQ(app().doc.loaded, !c.closed) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), c.closed ? L"Orvix" : L"Orvix - " + file + L" *")
            << c.what;
        EXPECT_EQ(ListTexts().size(), c.closed ? 0u : 1u) << c.what;
        if (c.saved) {
            EXPECT_EQ(StoreOnDisk(file), StoreOf({2})) << c.what;
        } else {
            EXPECT_EQ(ReadFileBytes(file), before) << c.what;
        }
        if (app().doc.loaded) CloseDocument(app());
    }
}

TEST_F(MainWindowTest, CleanOrMissingDocumentsCloseAndOpenWithoutQuestions) {
    const std::wstring file = MakeTempFolder(L"clean") + L"clean.obk";
    ASSERT_TRUE(WriteContainerFile(file, {5}));
    // No file: Close and the Delete key do nothing at all.
    Expect({});
    PressKeys(running, {VK_CONTROL, 'W'});
    PressKeys(running, {VK_DELETE});
    Pump(running, 300);
    StopRobot(robot);
    EXPECT_TRUE(robot.shown.empty()) << Describe(robot);

    // A clean file closes at once, before the picker is even shown.
    ASSERT_TRUE(LoadContainer(app().doc, file));
    RefreshViews(app());
    Expect({Press(L"Open", IDCANCEL)});
    SendCommand(running, CMD_OPEN);
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u) << Describe(robot);
    EXPECT_FALSE(app().doc.loaded);
    EXPECT_EQ(WindowText(app().mainWindow), L"Orvix");

    ASSERT_TRUE(LoadContainer(app().doc, file));
    RefreshViews(app());
    SelectRow(0);
    ASSERT_EQ(app().previewId, 5);
    robot.shown.clear();
    Expect({});
    PressKeys(running, {VK_CONTROL, 'W'});
    Pump(running, 300);
    StopRobot(robot);
    EXPECT_TRUE(robot.shown.empty()) << Describe(robot);
    EXPECT_FALSE(app().doc.loaded);
    EXPECT_TRUE(ListTexts().empty());
    EXPECT_TRUE(app().previewBytes.empty());
    EXPECT_EQ(app().previewId, 0);
    EXPECT_EQ(WindowText(app().mainWindow), L"Orvix");
}

TEST_F(MainWindowTest, SaveAndSaveAsWriteTheStoreOrKeepTheMark) {
    const std::wstring folder = MakeTempFolder(L"save");
    struct Case {
        const char* what;
        WORD command;
        bool cancel;
        bool fails;
    } cases[] = {
        {"Save", CMD_SAVE, false, false},
        {"Save, disk full", CMD_SAVE, false, true},
        {"Save As a new name", CMD_SAVE_AS, false, false},
        {"Save As cancelled", CMD_SAVE_AS, true, false},
        {"Save As, disk full", CMD_SAVE_AS, false, true},
    };
    for (const Case& c : cases) {
        const std::wstring file = folder + L"old.obk";
        const std::wstring copy = folder + L"new.obk";
        DeleteFileW(copy.c_str());
        ASSERT_TRUE(WriteContainerFile(file, {1, 2}));
        const auto before = ReadFileBytes(file);
        ASSERT_TRUE(LoadContainer(app().doc, file));
        app().doc.bitmaps[30] = TinyBitmap(30);
        app().doc.dirty = true;
        RefreshViews(app());

        const bool saveAs = c.command == CMD_SAVE_AS;
        std::vector<RobotStep> script;
        if (saveAs) {
            script.push_back(c.cancel ? Press(L"Save As", IDCANCEL)
                                      : ChooseFile(L"Save As", folder + L"new"));
        }
        if (c.fails) script.push_back(Press(L"Error", IDOK));
        robot.shown.clear();
        Expect(script);
        {
            std::optional<FailingDisk> disk;
            if (c.fails) disk.emplace();
            if (saveAs) {
                PressKeys(running, {VK_CONTROL, VK_SHIFT, 'S'});
            } else {
                PressKeys(running, {VK_CONTROL, 'S'});
            }
            FinishRobot();
        }
        const bool saved = !c.cancel && !c.fails;
        const std::wstring now = saved && saveAs ? copy : file;
        EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - " + now + (saved ? L"" : L" *"))
            << c.what;
        EXPECT_EQ(app().doc.dirty, !saved) << c.what;
        if (c.fails) {
            EXPECT_EQ(robot.shown.back().text, L"Failed to save file.") << c.what;
        }
        if (saveAs || !saved) {
            EXPECT_EQ(ReadFileBytes(file), before) << c.what;
        }
        if (saved) {
            EXPECT_EQ(StoreOnDisk(now), StoreOf({1, 2, 30})) << c.what;
        }
        EXPECT_EQ(GetFileAttributesW(copy.c_str()) != INVALID_FILE_ATTRIBUTES, saved && saveAs)
            << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, DeleteAsksThenRemovesTheSelectedBitmap) {
    struct Case {
        const char* what;
        int row;  // -1: none selected
        bool stale;
        int answer;
        const wchar_t* message;  // after the question, or instead of it
        std::vector<std::wstring> rowsAfter;
        bool dirty;
    } cases[] = {
        {"nothing selected",
         -1,
         false,
         0,
         L"Select a bitmap to delete.",
         {L"00003", L"00009"},
         false},
        {"No", 1, false, IDNO, nullptr, {L"00003", L"00009"}, false},
        {"Yes", 1, false, IDYES, nullptr, {L"00003"}, true},
        {"row no longer in the store", 0, true, IDYES, L"Delete failed.", {L"00009"}, false},
    };
    for (const Case& c : cases) {
        LoadFakeDocument({3, 9}, L"C:\\art\\d.obk");
        if (c.row >= 0) SelectRow(c.row);
        if (c.stale) app().doc.bitmaps.erase(3);
        std::vector<RobotStep> script;
        if (c.row >= 0) script.push_back(Press(L"Confirm", c.answer));
        if (c.message) script.push_back(Press(c.row < 0 ? L"Info" : L"Error", IDOK));
        robot.shown.clear();
        Expect(script);
        PressKeys(running, {VK_DELETE});
        FinishRobot();
        if (c.row >= 0) {
            ASSERT_FALSE(robot.shown.empty()) << c.what;
            EXPECT_EQ(robot.shown[0].text, L"Delete selected bitmap?") << c.what;
            EXPECT_EQ(robot.shown[0].icon, ShownIcon::Question) << c.what;
            EXPECT_EQ(robot.shown[0].buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
        }
        if (c.message) {
            EXPECT_EQ(robot.shown.back().text, c.message) << c.what;
            EXPECT_EQ(robot.shown.back().icon,
                      c.row < 0 ? ShownIcon::Information : ShownIcon::Error)
                << c.what;
        }
        EXPECT_EQ(ListTexts(), c.rowsAfter) << c.what;
        EXPECT_EQ(app().doc.dirty, c.dirty) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow),
                  std::wstring(L"Orvix - C:\\art\\d.obk") + (c.dirty ? L" *" : L""))
            << c.what;
        // No only leaves everything as it was, the selection included.
        const bool untouched = c.answer == IDNO;
        EXPECT_EQ(SelectedRow(), untouched ? c.row : -1) << c.what;
        EXPECT_EQ(app().previewId, untouched ? 9 : 0) << c.what;
        CloseDocument(app());
    }
}

// Every key of the shortcut table reaches the window as its command,
// through the same loop the program runs.
TEST_F(MainWindowTest, EveryShortcutArrivesAsItsCommand) {
    static std::vector<WORD> commands;
    static WNDPROC original = nullptr;
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        app().mainWindow, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_COMMAND) {
                commands.push_back(LOWORD(wParam));
                return LRESULT{0};  // recorded, not run
            }
            return CallWindowProcW(original, hwnd, message, wParam, lParam);
        })));
    struct Case {
        std::initializer_list<WORD> keys;
        WORD command;
    } cases[] = {
        {{VK_CONTROL, 'N'}, CMD_NEW_CONTAINER_32},
        {{VK_CONTROL, 'O'}, CMD_OPEN},
        {{VK_CONTROL, 'W'}, CMD_CLOSE},
        {{VK_CONTROL, 'S'}, CMD_SAVE},
        {{VK_CONTROL, VK_SHIFT, 'S'}, CMD_SAVE_AS},
        {{VK_INSERT}, CMD_ADD_BITMAP},
        {{VK_CONTROL, 'R'}, CMD_CTX_REPLACE_BITMAP},
        {{VK_DELETE}, CMD_CTX_DELETE_BITMAP},
        {{VK_F2}, CMD_CTX_CHANGE_ID},
    };
    for (const Case& c : cases) {
        commands.clear();
        PressKeys(running, c.keys);
        EXPECT_EQ(commands, std::vector<WORD>{c.command}) << "command " << c.command;
    }
    SetWindowLongPtrW(app().mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}
