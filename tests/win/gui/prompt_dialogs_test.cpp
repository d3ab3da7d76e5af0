// The program's own dialogs as the user meets them: what they show, what
// they accept, and every way of leaving them.
#include "dialogs/prompts.h"
#include "gui_test_support.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kResourceId[] = L"Resource ID";

}  // namespace

TEST_F(MainWindowTest, ResourceIdPromptAcceptsOneTo65535AndWarnsAboutTheRest) {
    struct Case {
        const wchar_t* typed;  // nullptr: OK on the proposed value
        ResourceId result;     // 0: refused, then cancelled
    } cases[] = {
        {nullptr, 101}, {L"7", 7},     {L"65535", 65535},  {L"0", 0},
        {L"", 0},       {L"65536", 0}, {L"4294967296", 0},
    };
    for (const Case& c : cases) {
        std::string what = c.typed ? Narrow(c.typed) : "(proposed)";
        std::vector<RobotStep> script;
        if (!c.typed) {
            script.push_back(Press(kResourceId, IDOK));
        } else {
            script.push_back(TypeInto(kResourceId, IDC_RESOURCE_ID_FIELD, c.typed));
        }
        if (c.result == 0) {
            script.push_back(Press(L"Invalid", IDOK));
            script.push_back(Then(Press(kResourceId, IDCANCEL)));
        }
        robot.shown.clear();
        Expect(script);
        EXPECT_EQ(PromptResourceId(app().mainWindow, 101), c.result) << what;
        FinishRobot();
        ASSERT_GE(robot.shown.size(), 1u) << what;
        EXPECT_EQ(robot.shown[0].text, L"Enter numeric resource ID:");
        EXPECT_EQ(robot.shown[0].fields, std::vector<std::wstring>{L"101"}) << "proposed value";
        EXPECT_EQ(robot.shown[0].buttons, (std::vector<std::wstring>{L"OK", L"Cancel"}));
        if (c.result == 0) {
            ASSERT_EQ(robot.shown.size(), 3u) << what << Describe(robot);
            EXPECT_EQ(robot.shown[1].text, L"Enter a valid numeric ID.") << what;
            EXPECT_EQ(robot.shown[1].icon, ShownIcon::Warning) << what;
            EXPECT_EQ(robot.shown[2].caption, kResourceId) << what << ": the prompt stays open";
        }
    }
}

TEST_F(MainWindowTest, DialogsEndOnEachOfTheirWaysOut) {
    const std::wstring question = L"Resource ID 7 already exists. Overwrite?";
    struct Case {
        const char* what;
        RobotStep step;
        int dialog;  // 0: PromptResourceId, 1: AskOverwrite, 2: AskImportMode
        int result;
    } cases[] = {
        {"Cancel button", Press(kResourceId, IDCANCEL), 0, 0},
        {"Esc in the ID prompt", PressKey(kResourceId, VK_ESCAPE), 0, 0},
        {"close box of the ID prompt", CloseBox(kResourceId), 0, 0},
        {"Enter in the ID prompt", PressKey(kResourceId, VK_RETURN), 0, 4242},
        {"Yes", Press(L"Resource Exists", IDYES), 1, IDYES},
        {"No", Press(L"Resource Exists", IDNO), 1, IDNO},
        {"Yes to All", Press(L"Resource Exists", IDC_YES_TO_ALL), 1, IDC_YES_TO_ALL},
        {"No to All", Press(L"Resource Exists", IDC_NO_TO_ALL), 1, IDC_NO_TO_ALL},
        {"Esc in Resource Exists", PressKey(L"Resource Exists", VK_ESCAPE), 1, IDCANCEL},
        {"Import Mode, Yes", Press(L"Import Mode", IDYES), 2, IDYES},
        {"Import Mode, No", Press(L"Import Mode", IDNO), 2, IDNO},
        {"Esc in Import Mode", PressKey(L"Import Mode", VK_ESCAPE), 2, IDCANCEL},
        {"close box of Resource Exists", CloseBox(L"Resource Exists"), 1, IDCANCEL},
    };
    for (const Case& c : cases) {
        robot.shown.clear();
        Expect({c.step});
        int result = c.dialog == 1   ? AskOverwrite(app().mainWindow, question)
                     : c.dialog == 2 ? AskImportMode(app().mainWindow)
                                     : PromptResourceId(app().mainWindow, 4242);
        FinishRobot();
        EXPECT_EQ(result, c.result) << c.what;
        ASSERT_EQ(robot.shown.size(), 1u) << c.what << Describe(robot);
        if (c.dialog == 2) {
            EXPECT_EQ(robot.shown[0].text,
                      L"Use numeric file names as resource IDs?\n\nYes: Use numeric file names "
                      L"(e.g., 01234.bmp \u2192 ID 1234)\nNo:  Choose a starting resource ID; "
                      L"files are imported in numeric-file order and IDs increment by 1");
            EXPECT_EQ(robot.shown[0].icon, ShownIcon::Question);
        }
        if (c.dialog == 1) {
            EXPECT_EQ(robot.shown[0].text, question);
            EXPECT_EQ(robot.shown[0].buttons,
                      (std::vector<std::wstring>{L"Yes", L"No", L"Yes to All", L"No to All"}));
        }
    }
}

TEST_F(MainWindowTest, HelpDialogsShowTheirTextAndCloseOnlyOnButtonEnterOrCloseBox) {
    const std::wstring shortcuts =
        L"Ctrl+N\nNew (32-bit OBK)\nCtrl+O\nOpen\nCtrl+W\nClose File\nCtrl+S\nSave\n"
        L"Ctrl+Shift+S\nSave As\nInsert\nAdd Bitmap\nCtrl+R\nReplace Bitmap\nDelete\n"
        L"Delete Bitmap\nF2\nChange Resource ID";
    struct Dialog {
        WORD command;
        const wchar_t* caption;
        const wchar_t* button;
    } dialogs[] = {{CMD_SHORTCUTS, L"Keyboard Shortcuts", L"Sweet!"},
                   {CMD_ABOUT, L"About", L"Awesome!"}};
    for (const Dialog& d : dialogs) {
        struct Way {
            RobotStep step;
            bool closes;
        } ways[] = {{Press(d.caption, IDOK), true},
                    {PressKey(d.caption, VK_RETURN), true},
                    {CloseBox(d.caption), true},
                    {PressKey(d.caption, VK_ESCAPE), false}};
        for (const Way& way : ways) {
            robot.shown.clear();
            std::vector<RobotStep> script = {way.step};
            if (!way.closes) script.push_back(Then(Press(d.caption, IDOK)));
            Expect(script);
            SendCommand(running, d.command);
            FinishRobot();
            const std::string what = Narrow(d.caption) + " key " + std::to_string(way.step.key);
            ASSERT_EQ(robot.shown.size(), way.closes ? 1u : 2u) << what << Describe(robot);
            EXPECT_EQ(robot.shown[0].buttons, std::vector<std::wstring>{d.button}) << what;
            if (d.command == CMD_SHORTCUTS) {
                EXPECT_EQ(robot.shown[0].text, shortcuts);
            } else {
                EXPECT_EQ(robot.shown[0].text.rfind(L"                 Orvix 1.0.1\r\n\r\n", 0), 0u)
                    << Narrow(robot.shown[0].text);
            }
        }
    }
}
