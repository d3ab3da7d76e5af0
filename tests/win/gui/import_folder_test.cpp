// Import Bitmap Folder as the user drives it: the folder picker, the Import
// Mode question, the starting ID, and the Resource Exists question.
#include <map>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "resources/resource_ids.h"

TEST_F(MainWindowTest, ImportStoresNumberedFilesAsTheUserChooses) {
    constexpr int kKept = -1;  // the bitmap the store held before
    struct Case {
        const char* what;
        std::vector<ResourceId> held;
        std::map<std::wstring, int> files;  // name -> content (0: empty file)
        int mode;
        const wchar_t* start;  // typed starting ID in sequential mode
        std::vector<int> answers;
        std::map<ResourceId, int> after;  // ID -> content, or kKept
        const wchar_t* box;               // the closing information box, if any
    } cases[] = {
        {"numeric into an empty store",
         {},
         {{L"00005.bmp", 5}, {L"00012.bmp", 12}},
         IDYES,
         nullptr,
         {},
         {{5, 5}, {12, 12}},
         nullptr},
        {"sequential in number order",
         {},
         {{L"00007.bmp", 7}, {L"00003.bmp", 3}},
         IDNO,
         L"101",
         {},
         {{101, 3}, {102, 7}},
         nullptr},
        {"an empty file spends its ID",
         {},
         {{L"00001.bmp", 0}, {L"00002.bmp", 2}, {L"00003.bmp", 3}},
         IDNO,
         L"101",
         {},
         {{102, 2}, {103, 3}},
         nullptr},
        {"No to All asks once",
         {5, 12},
         {{L"00005.bmp", 5}, {L"00012.bmp", 12}},
         IDYES,
         nullptr,
         {IDC_NO_TO_ALL},
         {{5, kKept}, {12, kKept}},
         nullptr},
        {"Yes to All asks once",
         {5, 12},
         {{L"00005.bmp", 5}, {L"00012.bmp", 12}},
         IDYES,
         nullptr,
         {IDC_YES_TO_ALL},
         {{5, 5}, {12, 12}},
         nullptr},
        {"No, then Esc overwrites one and asks again",
         {5, 12, 20},
         {{L"00005.bmp", 5}, {L"00012.bmp", 12}, {L"00020.bmp", 20}},
         IDYES,
         nullptr,
         {IDNO, IDCANCEL, IDYES},
         {{5, kKept}, {12, 12}, {20, 20}},
         nullptr},
        {"IDs a container cannot hold are left out and counted",
         {},
         {{L"00000.bmp", 1}, {L"00009.bmp", 9}, {L"70000.bmp", 7}},
         IDYES,
         nullptr,
         {},
         {{9, 9}},
         L"2 files were left out: their resource IDs would lie outside 1 to 65535."},
        {"a run past 65535",
         {},
         {{L"00001.bmp", 1}, {L"00002.bmp", 2}},
         IDNO,
         L"65535",
         {},
         {{65535, 1}},
         L"1 file was left out: its resource ID would lie outside 1 to 65535."},
        {"no numbered files",
         {1},
         {{L"1234.bmp", 4}},
         IDYES,
         nullptr,
         {},
         {{1, kKept}},
         L"No 5-digit numeric *.bmp files found."},
        {"Import Mode cancelled",
         {1},
         {{L"00001.bmp", 1}},
         IDCANCEL,
         nullptr,
         {},
         {{1, kKept}},
         nullptr},
    };
    for (const Case& c : cases) {
        const std::wstring folder = MakeTempFolder(L"import");
        for (const auto& [name, content] : c.files)
            ASSERT_TRUE(WriteFileBytes(folder + name, TinyBitmapFile(content)));
        app().doc.bitmaps.clear();
        LoadFakeDocument({}, L"C:\\art\\i.obk");
        for (ResourceId id : c.held)
            app().doc.bitmaps[id] = DibPayload(44, static_cast<std::uint8_t>(id));
        const BitmapStore before = app().doc.bitmaps;

        std::vector<RobotStep> script = {
            ChooseFile(L"Select Folder", folder.substr(0, folder.size() - 1)),
            Press(L"Import Mode", c.mode)};
        if (c.start) script.push_back(TypeInto(L"Resource ID", IDC_RESOURCE_ID_FIELD, c.start));
        for (int answer : c.answers) {
            script.push_back(answer == IDCANCEL ? PressKey(L"Resource Exists", VK_ESCAPE)
                                                : Press(L"Resource Exists", answer));
        }
        if (c.box) script.push_back(Press(L"Import", IDOK));
        robot.shown.clear();
        Expect(script);
        SendCommand(running, CMD_IMPORT_FOLDER);
        FinishRobot();

        std::map<ResourceId, int> after;
        for (const auto& [id, payload] : app().doc.bitmaps) {
            after[id] = before.count(id) && before.at(id) == payload ? kKept : kKept - 1;
            for (const auto& [name, content] : c.files) {
                if (content != 0 && payload == TinyBitmap(content)) after[id] = content;
            }
        }
        EXPECT_EQ(after, c.after) << c.what;
        EXPECT_EQ(app().doc.dirty, app().doc.bitmaps != before) << c.what;
        if (c.box) {
            EXPECT_EQ(robot.shown.back().text, c.box) << c.what;
            EXPECT_EQ(robot.shown.back().icon, ShownIcon::Information) << c.what;
        }
        size_t questions = 0;
        for (const auto& shown : robot.shown) {
            if (shown.caption == L"Resource Exists") ++questions;
        }
        EXPECT_EQ(questions, c.answers.size()) << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, ImportWithoutAnOpenFileSaysSo) {
    Expect({Press(L"Info", IDOK)});
    SendCommand(running, CMD_IMPORT_FOLDER);
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    EXPECT_EQ(robot.shown[0].text, L"Open or create an OBK first.");
}
