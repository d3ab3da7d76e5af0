// Export Range and Export All as the user drives them: the folder picker,
// the two ID prompts, the boxes they end with and the files they leave.
#include <algorithm>

#include "gui_test_support.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kDocPath[] = L"C:\\art\\e.obk";
const wchar_t kPicker[] = L"Select Folder";
const wchar_t kPrompt[] = L"Resource ID";

// TinyBitmap as a .bmp file: its 24-bit pixels follow the 54 header bytes.
std::vector<std::uint8_t> BmpFileOf(ResourceId id) {
    const DibPayload dib = TinyBitmap(id);
    std::vector<std::uint8_t> file(14 + dib.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    file[2] = static_cast<std::uint8_t>(file.size());
    file[10] = 54;
    std::copy(dib.begin(), dib.end(), file.begin() + 14);
    return file;
}

std::vector<ResourceId> FilesIn(const std::wstring& folder) {
    std::vector<ResourceId> ids;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return ids;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ids.push_back(std::stoi(found.cFileName));
            EXPECT_EQ(ReadFileBytes(folder + found.cFileName), BmpFileOf(ids.back()))
                << Narrow(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(ids.begin(), ids.end());
    return ids;
}

class ExportCommandsTest : public MainWindowTest {
protected:
    // Bitmaps in tooShort get 39-byte payloads, which no .bmp file can hold.
    void Load(std::vector<ResourceId> ids, std::vector<ResourceId> tooShort = {}) {
        if (app().doc.loaded) CloseDocument(app());
        LoadFakeDocument({}, kDocPath);
        for (ResourceId id : ids)
            app().doc.bitmaps[id] = TinyBitmap(id);
        for (ResourceId id : tooShort)
            app().doc.bitmaps[id] = DibPayload(39, 0);
        RefreshViews(app());
        loadedIds = ListIds();
    }
    // Neither command changes the document or what the window shows.
    void ExpectUntouched(const char* what) {
        EXPECT_FALSE(app().doc.dirty) << what;
        EXPECT_EQ(ListIds(), loadedIds) << what;
        EXPECT_EQ(WindowText(app().mainWindow), std::wstring(L"Orvix - ") + kDocPath) << what;
    }
    std::vector<ResourceId> loadedIds;
};

}  // namespace

TEST_F(ExportCommandsTest, WithoutAFileBothAskForOne) {
    for (WORD command : {WORD{CMD_EXPORT_RANGE}, WORD{CMD_EXPORT_ALL}}) {
        robot.shown.clear();
        Expect({Press(L"Info", IDOK)});
        SendCommand(running, command);
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), 1u) << command << Describe(robot);
        EXPECT_EQ(robot.shown[0].text, L"   Open or create an OBK first.");
        EXPECT_EQ(robot.shown[0].icon, ShownIcon::Information);
        EXPECT_EQ(robot.shown[0].buttons, std::vector<std::wstring>{L"OK"});
    }
}

TEST_F(ExportCommandsTest, ExportRangeWritesTheStoredIdsAndCountsThem) {
    struct Case {
        const char* what;
        std::vector<ResourceId> ids, tooShort;
        const wchar_t* first;
        const wchar_t* second;  // nullptr: OK on the proposed first answer
        std::vector<ResourceId> files;
        const wchar_t* summary;
    } cases[] = {
        {"typed high first",
         {3, 4, 5, 9},
         {},
         L"5",
         L"3",
         {3, 4, 5},
         L"Exported: 3\nMissing: 0\nFailed: 0"},
        {"gaps", {1, 3}, {}, L"1", L"4", {1, 3}, L"Exported: 2\nMissing: 2\nFailed: 0"},
        {"short payload", {1, 3}, {2}, L"1", L"3", {1, 3}, L"Exported: 2\nMissing: 0\nFailed: 1"},
        {"one ID", {7, 8}, {}, L"7", nullptr, {7}, L"Exported: 1\nMissing: 0\nFailed: 0"},
        {"none stored", {1}, {}, L"2", L"4", {}, L"Exported: 0\nMissing: 3\nFailed: 0"},
    };
    for (const Case& c : cases) {
        Load(c.ids, c.tooShort);
        const std::wstring folder = MakeTempFolder(L"range");
        robot.shown.clear();
        Expect(
            {ChooseFile(kPicker, folder), TypeInto(kPrompt, IDC_RESOURCE_ID_FIELD, c.first),
             c.second ? TypeInto(kPrompt, IDC_RESOURCE_ID_FIELD, c.second) : Press(kPrompt, IDOK),
             Press(L"Export Range", IDOK)});
        SendCommand(running, CMD_EXPORT_RANGE);
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), 4u) << c.what << Describe(robot);
        EXPECT_EQ(robot.shown[1].fields, std::vector<std::wstring>{L"101"}) << c.what;
        EXPECT_EQ(robot.shown[2].fields, std::vector<std::wstring>{c.first}) << c.what;
        EXPECT_EQ(robot.shown[3].text, c.summary) << c.what;
        EXPECT_EQ(robot.shown[3].icon, ShownIcon::Information) << c.what;
        EXPECT_EQ(FilesIn(folder), c.files) << c.what;
        ExpectUntouched(c.what);
    }
}

TEST_F(ExportCommandsTest, ExportAllWritesEveryBitmapOrStopsAtTheFirstFailure) {
    struct Case {
        const char* what;
        std::vector<ResourceId> ids, tooShort;
        std::vector<ResourceId> files;  // besides 00002.bmp, there before
        bool fails;
    } cases[] = {
        {"empty store", {}, {}, {}, false},
        {"three, one replacing an old file", {1, 2, 3}, {}, {1, 3}, false},
        {"second cannot be written", {1, 3}, {2}, {1}, true},
    };
    for (const Case& c : cases) {
        Load(c.ids, c.tooShort);
        const std::wstring folder = MakeTempFolder(L"all");
        const std::wstring old = folder + L"00002.bmp";
        ASSERT_TRUE(WriteFileBytes(old, BmpFileOf(99))) << c.what;
        robot.shown.clear();
        std::vector<RobotStep> script = {ChooseFile(kPicker, folder)};
        if (c.fails) script.push_back(Press(L"Error", IDOK));
        Expect(script);
        SendCommand(running, CMD_EXPORT_ALL);
        FinishRobot();
        ASSERT_EQ(robot.shown.size(), script.size()) << c.what << Describe(robot);
        if (c.fails) {
            EXPECT_EQ(robot.shown[1].text, L"Failed to export one or more bitmaps.");
            EXPECT_EQ(robot.shown[1].icon, ShownIcon::Error);
        }
        const bool replaced = std::count(c.ids.begin(), c.ids.end(), 2) > 0;
        EXPECT_EQ(ReadFileBytes(old), BmpFileOf(replaced ? 2 : 99)) << c.what;
        DeleteFileW(old.c_str());
        EXPECT_EQ(FilesIn(folder), c.files) << c.what;
        ExpectUntouched(c.what);
    }
}

TEST_F(ExportCommandsTest, CancelAtAnyQuestionEndsSilently) {
    const std::wstring folder = MakeTempFolder(L"cancel");
    struct Case {
        const char* what;
        WORD command;
        std::vector<RobotStep> script;
    } cases[] = {
        {"range, picker", CMD_EXPORT_RANGE, {Press(kPicker, IDCANCEL)}},
        {"range, first ID",
         CMD_EXPORT_RANGE,
         {ChooseFile(kPicker, folder), Press(kPrompt, IDCANCEL)}},
        {"range, second ID",
         CMD_EXPORT_RANGE,
         {ChooseFile(kPicker, folder), TypeInto(kPrompt, IDC_RESOURCE_ID_FIELD, L"1"),
          PressKey(kPrompt, VK_ESCAPE)}},
        {"all, picker", CMD_EXPORT_ALL, {Press(kPicker, IDCANCEL)}},
    };
    Load({1, 2});
    for (const Case& c : cases) {
        robot.shown.clear();
        Expect(c.script);
        SendCommand(running, c.command);
        FinishRobot();
        EXPECT_EQ(robot.shown.size(), c.script.size()) << c.what << Describe(robot);
        EXPECT_EQ(FilesIn(folder), std::vector<ResourceId>{}) << c.what;
        ExpectUntouched(c.what);
    }
}
