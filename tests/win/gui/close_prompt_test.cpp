// Closing the window: the unsaved-changes prompt and its three answers.
#include "document/blank_container.h"
#include "document/container_io.h"
#include "gui_test_support.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

namespace {

const wchar_t kPrompt[] = L"The current OBK has unsaved changes. Save now?";

void ExpectSavePrompt(const ShownWindow& shown) {
    EXPECT_EQ(shown.caption, L"Save Changes");
    EXPECT_EQ(shown.text, kPrompt);
    EXPECT_EQ(shown.icon, ShownIcon::Question);
    EXPECT_EQ(shown.buttons, (std::vector<std::wstring>{L"&Yes", L"&No", L"Cancel"}));
}

}  // namespace

TEST_F(MainWindowTest, ClosingWithNoFileOrACleanFileAsksNothingAndQuitsWithZero) {
    for (bool loaded : {false, true}) {
        if (loaded) {
            StopApp(running);
            running = RunningApp{};
            ASSERT_TRUE(StartApp(running));
            LoadFakeDocument({1}, L"C:\\clean.obk");
        }
        Expect({});
        PostMessageW(app().mainWindow, WM_CLOSE, 0, 0);
        PumpUntil(
            running, [] { return false; }, 1500);
        StopRobot(robot);
        EXPECT_TRUE(running.quit) << "loaded=" << loaded;
        EXPECT_EQ(running.exitCode, 0);
        EXPECT_FALSE(IsWindow(app().mainWindow));
        EXPECT_TRUE(robot.shown.empty()) << Describe(robot);
        robot.shown.clear();
    }
}

TEST_F(MainWindowTest, CancelAtTheClosePromptKeepsWindowAndChanges) {
    LoadFakeDocument({5, 6}, L"C:\\art\\dirty.obk");
    app().doc.dirty = true;
    UpdateWindowTitle(app());
    Expect({Press(L"Save Changes", IDCANCEL)});
    PostMessageW(app().mainWindow, WM_CLOSE, 0, 0);
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    ExpectSavePrompt(robot.shown[0]);
    EXPECT_FALSE(running.quit);
    EXPECT_TRUE(IsWindow(app().mainWindow));
    EXPECT_TRUE(app().doc.loaded && app().doc.dirty);
    EXPECT_EQ(app().doc.bitmaps.size(), 2u);
    EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - C:\\art\\dirty.obk *");
}

TEST_F(MainWindowTest, NoAtTheClosePromptQuitsWithoutWritingTheFile) {
    std::wstring folder = MakeTempFolder(L"close-no");
    std::wstring file = folder + L"keep.obk";
    ASSERT_TRUE(WriteBlankContainer(file, false));
    auto before = ReadFileBytes(file);
    LoadFakeDocument({5}, file);
    app().doc.dirty = true;

    Expect({Press(L"Save Changes", IDNO)});
    SendCommand(running, CMD_EXIT);  // File, Exit takes the same path as the close box
    FinishRobot();
    ASSERT_EQ(robot.shown.size(), 1u);
    ExpectSavePrompt(robot.shown[0]);
    EXPECT_TRUE(running.quit);
    EXPECT_EQ(running.exitCode, 0);
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(MainWindowTest, YesAtTheClosePromptSavesThenQuits) {
    std::wstring folder = MakeTempFolder(L"close-yes");
    std::wstring file = folder + L"saved.obk";
    ASSERT_TRUE(WriteBlankContainer(file, true));
    LoadFakeDocument({42, 7}, file);
    app().doc.dirty = true;
    BitmapStore expected = app().doc.bitmaps;

    Expect({Press(L"Save Changes", IDYES)});
    PostMessageW(app().mainWindow, WM_CLOSE, 0, 0);
    FinishRobot();
    EXPECT_TRUE(running.quit);
    EXPECT_EQ(running.exitCode, 0);
    ContainerDoc reopened;
    ASSERT_TRUE(LoadContainer(reopened, file));
    EXPECT_EQ(reopened.bitmaps, expected);
}
