// The robot in the system's own pickers: it reads their captions and types a
// path into the file-name field as a person would.
#include "dialogs/pickers.h"
#include "gui_test_support.h"

TEST_F(MainWindowTest, RobotChoosesFilesAndFoldersInTheSystemPickers) {
    std::wstring folder = MakeTempFolder(L"pickers");
    std::wstring existing = folder + L"tiles.obk";
    ASSERT_TRUE(WriteFileBytes(existing, {1, 2, 3}));

    Expect({ChooseFile(L"Open", existing)});
    std::wstring chosen;
    EXPECT_TRUE(PickOpenFile(app().mainWindow, kContainerFilter, chosen));
    FinishRobot();
    EXPECT_EQ(chosen, existing);

    // A name typed without extension gets the default one.
    robot.shown.clear();
    Expect({ChooseFile(L"Save As", folder + L"fresh")});
    EXPECT_TRUE(PickSaveFile(app().mainWindow, kContainerFilter, L"obk", chosen));
    FinishRobot();
    EXPECT_EQ(chosen, folder + L"fresh.obk");

    robot.shown.clear();
    std::wstring pickedFolder;
    Expect({ChooseFile(L"Select Folder", folder)});
    EXPECT_TRUE(PickFolder(app().mainWindow, pickedFolder));
    FinishRobot();
    EXPECT_EQ(pickedFolder + L"\\", folder);

    // Cancel gives false and leaves the out value alone.
    robot.shown.clear();
    Expect({Press(L"Open", IDCANCEL)});
    chosen = L"unchanged";
    EXPECT_FALSE(PickOpenFile(app().mainWindow, kBitmapFilter, chosen));
    FinishRobot();
    EXPECT_EQ(chosen, L"unchanged");
}
