// Open, Save, Save As, Close, New and Exit as the user drives them: what they
// do to the document and its file, clean or with unsaved changes, for each
// answer to their questions.
#include <map>

#include "document/container_io.h"
#include "gui_test.h"
#include "support/pe_images.h"

TEST_F(MainWindowTest, UnsavedChangesAreSavedDroppedOrKeptAsTheUserAnswers) {
    enum Document { None, Clean, Dirty };
    struct Case {
        const char* what;
        WORD command;  // 0: the window's close box
        Document doc;
        int answer;  // 0: no question; for Save As, IDCANCEL cancels the picker
        bool saveFails, quits, closed, saved;
        // Another program rewrites the file after the load; the answer to
        // whether to overwrite it, or -1 when nothing is asked.
        int onDisk = 0;
    } cases[] = {
        {"Save", CMD_SAVE, Dirty, 0, false, false, false, true},
        {"Save, disk full", CMD_SAVE, Dirty, 0, true, false, false, false},
        {"Save As a new name", CMD_SAVE_AS, Dirty, 0, false, false, false, true},
        {"Save As cancelled", CMD_SAVE_AS, Dirty, IDCANCEL, false, false, false, false},
        {"close box, no file", 0, None, 0, false, true, true, false},
        {"close box, clean", 0, Clean, 0, false, true, true, false},
        {"close box, Cancel", 0, Dirty, IDCANCEL, false, false, false, false},
        {"Exit, No", CMD_EXIT, Dirty, IDNO, false, true, true, false},
        {"close box, Yes", 0, Dirty, IDYES, false, true, true, true},
        {"close box, Yes, save fails", 0, Dirty, IDYES, true, false, false, false},
        {"Open, clean", CMD_OPEN, Clean, 0, false, false, true, false},
        {"Open, Cancel", CMD_OPEN, Dirty, IDCANCEL, false, false, false, false},
        {"Open, No, picker cancelled", CMD_OPEN, Dirty, IDNO, false, false, true, false},
        {"Open, Yes, picker cancelled", CMD_OPEN, Dirty, IDYES, false, false, true, true},
        {"Open, Yes, save fails", CMD_OPEN, Dirty, IDYES, true, false, false, false},
        {"New, Yes, picker cancelled", CMD_NEW_CONTAINER_32, Dirty, IDYES, false, false, false,
         true},
        {"Close, clean", CMD_CLOSE, Clean, 0, false, false, true, false},
        {"Close, Cancel", CMD_CLOSE, Dirty, IDCANCEL, false, false, false, false},
        {"Close, No", CMD_CLOSE, Dirty, IDNO, false, false, true, false},
        {"Close, Yes", CMD_CLOSE, Dirty, IDYES, false, false, true, true},
        {"Close, Yes, save fails", CMD_CLOSE, Dirty, IDYES, true, false, false, false},
        {"Save, changed on disk, No", CMD_SAVE, Dirty, 0, false, false, false, false, IDNO},
        {"Save, changed on disk, Yes", CMD_SAVE, Dirty, 0, false, false, false, true, IDYES},
        {"Save As a new name, changed on disk", CMD_SAVE_AS, Dirty, 0, false, false, false, true,
         -1},
    };
    const std::wstring file = Path(L"work.obk"), copy = Path(L"copy.obk");
    // Caption -> text and buttons.
    const std::map<std::wstring, std::pair<std::wstring, Texts>> shows = {
        {L"Save Changes",
         {L"question: The current OBK has unsaved changes. Save now?",
          {L"&Yes", L"&No", L"Cancel"}}},
        {L"Close File", {L"question: Save changes before closing?", {L"&Yes", L"&No", L"Cancel"}}},
        {L"Save",
         {L"question: " + file + L" has changed on disk since it was opened. Overwrite it?",
          {L"&Yes", L"&No"}}},
        {L"Error", {L"error: Failed to save file.", {L"OK"}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (quit) Stop();
        if (quit) ASSERT_TRUE(Start());  // afresh, as the next run of the program
        ASSERT_TRUE(WriteContainerFile(file, {1, 2}));
        std::filesystem::remove(copy);
        if (c.doc != None) {
            ASSERT_TRUE(LoadContainer(app().doc, file));
            if (c.doc == Dirty) app().doc.bitmaps.erase(1);
            app().doc.dirty = c.doc == Dirty;
            RefreshViews(app());
            SelectRow(0);
        }
        if (c.onDisk) ASSERT_TRUE(WriteContainerFile(file, {1, 2, 3}));
        const auto before = orvix_test::ReadBytes(file);
        const bool close = c.command == CMD_CLOSE, saveAs = c.command == CMD_SAVE_AS;
        std::vector<RobotStep> script;
        if (c.answer && !saveAs)
            script.push_back(Press(close ? L"Close File" : L"Save Changes", c.answer));
        if (saveAs)
            script.push_back(c.answer ? Press(L"Save As", IDCANCEL)
                                      : ChooseFile(L"Save As", Path(L"copy")));
        if (c.onDisk > 0) script.push_back(Press(L"Save", c.onDisk));
        if (c.saveFails) script.push_back(Press(L"Error", IDOK));
        if (c.command == CMD_OPEN && c.closed) script.push_back(Press(L"Open", IDCANCEL));
        if (c.command == CMD_NEW_CONTAINER_32) script.push_back(Press(L"Save As", IDCANCEL));
        SetAtomicWriteFailureAfterBytesForTesting(c.saveFails ? 0 : -1);  // a full disk
        Answer(script, [&] {
            if (c.command) Send(c.command);
            if (!c.command) PostMessageW(app().mainWindow, WM_CLOSE, 0, 0);
        });
        SetAtomicWriteFailureAfterBytesForTesting(-1);
        for (const ShownWindow& shown : robot.shown) {
            if (shows.count(shown.caption))
                EXPECT_EQ(std::pair(shown.text, shown.buttons), shows.at(shown.caption));
        }
        EXPECT_EQ(quit, c.quits);
        EXPECT_EQ(exitCode, c.quits ? 0 : -1);
        EXPECT_EQ(IsWindow(app().mainWindow) != FALSE, !c.quits);
        // Save As leaves the old file as it was and names the document anew.
        const std::wstring now = saveAs && c.saved ? copy : file;
        EXPECT_EQ(std::filesystem::exists(copy), saveAs && c.saved);
        if (c.saved) EXPECT_EQ(StoreOnDisk(now), StoreOf({2}));
        if (!c.saved || saveAs) EXPECT_EQ(orvix_test::ReadBytes(file), before);
        if (c.quits) continue;
        EXPECT_EQ(app().doc.loaded, !c.closed);
        EXPECT_EQ(WindowText(app().mainWindow),
                  c.closed ? L"Orvix" : L"Orvix - " + now + (c.saved ? L"" : L" *"));
        EXPECT_EQ(app().doc.dirty, !c.closed && !c.saved);
        EXPECT_EQ(ListIds(), c.closed ? std::vector<ResourceId>{} : std::vector<ResourceId>{2});
        EXPECT_EQ(app().previewId, c.closed ? 0 : 2);
        if (app().doc.loaded) CloseDocument(app());
    }
}

// Down reaches the list with no click on it first, and typing the first
// digits of a row's label selects that row. A container dropped on the window
// opens as Open opens it, after the unsaved-changes question. A file that is
// no container is refused in the start-up rows, which open files the same way.
TEST_F(MainWindowTest, OpenShowsTheFilesBitmapsAndWhatASaveWouldDrop) {
    const std::wstring art = Path(L"art.obk"), bare = Path(L"bare.obk"), mixed = Path(L"mixed.dll");
    ASSERT_TRUE(WriteContainerFile(art, {12345, 7, 101}));
    orvix_test::WriteBytes(mixed,
                           orvix_test::MixedImage(TinyBitmap(0).ToBytes(), TinyBitmap(1).ToBytes(),
                                                  TinyBitmap(5).ToBytes()));
    ASSERT_TRUE(WriteContainerFile(bare, {}));
    ASSERT_TRUE(WriteContainerFile(Path(L"other.obk"), {3, 4}));
    struct Case {
        std::wstring path;
        Texts rows;
        const wchar_t* notice = nullptr;  // said once, after the list is shown
        bool dropped = false;             // with unsaved changes
    } cases[] = {
        {art, {L"00007", L"00101", L"12345"}},
        {bare, {}},
        {mixed,
         {L"00000", L"00005"},
         L"information: This file also holds 1 named bitmap, 1 bitmap in another language and 1 "
         L"icon, which a save does not keep."},
        {Path(L"other.obk"), {L"00003", L"00004"}, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        app().doc.dirty = c.dropped;
        std::vector<RobotStep> script = {c.dropped ? Press(L"Save Changes", IDNO)
                                                   : ChooseFile(L"Open", c.path)};
        if (c.notice) script.push_back(Press(L"Info", IDOK));
        Answer(script, [&] {
            if (!c.dropped) PressKeys({VK_CONTROL, 'O'});
            if (c.dropped) DropOn(app().mainWindow, scratch.dir, {L"other.obk"}, {500, 100});
        });
        if (c.notice) EXPECT_EQ(robot.shown[1].text, c.notice);
        EXPECT_FALSE(app().doc.dirty);
        EXPECT_EQ(ListTexts(), c.rows);
        EXPECT_EQ(SelectedRow(), -1);
        EXPECT_EQ(app().previewId, 0);
        EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - " + c.path);
        EXPECT_EQ(app().doc.bitmaps, StoreOnDisk(c.path));
        if (c.path != art) continue;
        PressKeys({VK_DOWN});
        EXPECT_EQ(app().previewId, 7);
        PressKeys({'0', '0', '1'});
        EXPECT_EQ(app().previewId, 101);
        CloseDocument(app());
    }
}
