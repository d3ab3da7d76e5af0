// New OBK as the user drives it: the name, the source of its first bitmaps,
// the numbering, and the new file opened.
#include <map>
#include <string>
#include <vector>

#include "document/container_io.h"
#include "gui_test_support.h"
#include "resources/resource_ids.h"

namespace {

std::uint16_t OptionalHeaderMagic(const std::vector<std::uint8_t>& image) {
    if (image.size() < 0x40) return 0;
    const std::size_t nt = image[0x3C] | (image[0x3D] << 8);
    if (image.size() < nt + 26) return 0;
    return static_cast<std::uint16_t>(image[nt + 24] | (image[nt + 25] << 8));
}

}  // namespace

TEST_F(MainWindowTest, NewCreatesAFileFromOneBitmapOrAFolderAndOpensIt) {
    struct Case {
        const char* what;
        WORD command;
        int source;                         // IDC_NEW_FROM_FILE, IDC_NEW_FROM_FOLDER or IDCANCEL
        std::map<std::wstring, int> files;  // name -> content (0: empty file)
        int mode;                           // Import Mode answer, folder branch
        const wchar_t* id;                  // typed ID or starting ID
        std::map<ResourceId, int> held;     // what the new file holds: ID -> content
        const wchar_t* box;                 // an information box on the way
        std::uint16_t magic;                // 0: no file is made
    } cases[] = {
        {"one bitmap as 101",
         CMD_NEW_CONTAINER_32,
         IDC_NEW_FROM_FILE,
         {{L"a.bmp", 4}},
         0,
         L"101",
         {{101, 4}},
         nullptr,
         0x10B},
        {"a text file: an empty container",
         CMD_NEW_CONTAINER_32,
         IDC_NEW_FROM_FILE,
         {{L"a.bmp", -1}},
         0,
         L"7",
         {},
         nullptr,
         0x10B},
        {"folder by numbers, 64-bit",
         CMD_NEW_CONTAINER_64,
         IDC_NEW_FROM_FOLDER,
         {{L"00003.bmp", 3}, {L"00010.bmp", 10}},
         IDYES,
         nullptr,
         {{3, 3}, {10, 10}},
         nullptr,
         0x20B},
        {"folder from 101: only files read take IDs",
         CMD_NEW_CONTAINER_32,
         IDC_NEW_FROM_FOLDER,
         {{L"00001.bmp", 0}, {L"00002.bmp", 2}, {L"00003.bmp", 3}},
         IDNO,
         L"101",
         {{101, 2}, {102, 3}},
         nullptr,
         0x10B},
        {"folder without numbered files",
         CMD_NEW_CONTAINER_32,
         IDC_NEW_FROM_FOLDER,
         {{L"12.bmp", 2}},
         IDNO,
         nullptr,
         {},
         L"No 5-digit numeric *.bmp files found.",
         0x10B},
        {"00000 and 70000 left out",
         CMD_NEW_CONTAINER_32,
         IDC_NEW_FROM_FOLDER,
         {{L"00000.bmp", 1}, {L"00005.bmp", 5}, {L"70000.bmp", 7}},
         IDYES,
         nullptr,
         {{5, 5}},
         L"2 files were left out: their resource IDs would lie outside 1 to "
         L"65535.",
         0x10B},
        {"Create New OBK cancelled",
         CMD_NEW_CONTAINER_32,
         IDCANCEL,
         {},
         0,
         nullptr,
         {},
         nullptr,
         0},
    };
    for (const Case& c : cases) {
        const std::wstring folder = MakeTempFolder(L"new");
        for (const auto& [name, content] : c.files) {
            ASSERT_TRUE(WriteFileBytes(folder + name, content < 0
                                                          ? std::vector<std::uint8_t>{'h', 'i'}
                                                          : TinyBitmapFile(content)));
        }
        const std::wstring created = folder + L"fresh.obk";
        std::vector<RobotStep> script = {ChooseFile(L"Save As", folder + L"fresh")};
        script.push_back(Press(L"Create New OBK", c.source));
        if (c.source == IDC_NEW_FROM_FILE) {
            script.push_back(ChooseFile(L"Open", folder + L"a.bmp"));
            script.push_back(TypeInto(L"Resource ID", IDC_RESOURCE_ID_FIELD, c.id));
        } else if (c.source == IDC_NEW_FROM_FOLDER) {
            script.push_back(ChooseFile(L"Select Folder", folder.substr(0, folder.size() - 1)));
            script.push_back(Press(L"Import Mode", c.mode));
            if (c.id) script.push_back(TypeInto(L"Resource ID", IDC_RESOURCE_ID_FIELD, c.id));
        }
        if (c.box) script.push_back(Press(L"Import", IDOK));
        robot.shown.clear();
        Expect(script);
        SendCommand(running, c.command);
        FinishRobot();

        const auto image = ReadFileBytes(created);
        EXPECT_EQ(OptionalHeaderMagic(image), c.magic) << c.what;
        if (c.box) {
            EXPECT_EQ(robot.shown.back().text, c.box) << c.what;
        }
        if (!c.magic) {
            EXPECT_FALSE(app().doc.loaded) << c.what;
            continue;
        }
        BitmapStore expected;
        for (const auto& [id, content] : c.held)
            expected[id] = TinyBitmap(content);
        ContainerDoc onDisk;
        ASSERT_TRUE(LoadContainer(onDisk, created)) << c.what;
        EXPECT_EQ(onDisk.bitmaps, expected) << c.what;
        EXPECT_EQ(app().doc.bitmaps, expected) << c.what;
        EXPECT_TRUE(app().doc.loaded && !app().doc.dirty) << c.what;
        EXPECT_EQ(ListIds().size(), expected.size()) << c.what;
        EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - " + created) << c.what;
        CloseDocument(app());
    }
}

TEST_F(MainWindowTest, NewAfterNoAtTheUnsavedQuestionKeepsTheDocumentWhenCancelled) {
    LoadFakeDocument({1}, L"C:\\art\\n.obk");
    app().doc.dirty = true;
    RefreshTitle(app());
    Expect({Press(L"Save Changes", IDNO), Press(L"Save As", IDCANCEL)});
    PressKeys(running, {VK_CONTROL, 'N'});
    FinishRobot();
    EXPECT_TRUE(app().doc.loaded && app().doc.dirty);
    EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - C:\\art\\n.obk *");
}
