// The program's own dialogs as the user meets them: what they show, what
// they accept, and every way of leaving them.
#include "dialogs/prompts.h"
#include "gui_test.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kResourceId[] = L"Resource ID";
const wchar_t kExists[] = L"Resource Exists";

}  // namespace

TEST_F(MainWindowTest, ResourceIdPromptAcceptsOneTo65535AndWarnsAboutTheRest) {
    struct Case {
        const wchar_t* typed;  // nullptr: OK on the proposed value
        ResourceId result;     // 0: refused, then cancelled
    } cases[] = {{nullptr, 101}, {L"7", 7},     {L"65535", 65535}, {L"0", 0},
                 {L"", 0},       {L"65536", 0}, {L"4294967296", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed ? Narrow(c.typed) : "(proposed)");
        std::vector<RobotStep> script = {c.typed
                                             ? TypeInto(kResourceId, IDC_RESOURCE_ID_FIELD, c.typed)
                                             : Press(kResourceId, IDOK)};
        if (c.result == 0) {
            script.push_back(Press(L"Invalid", IDOK));
            script.push_back(Then(Press(kResourceId, IDCANCEL)));
        }
        Answer(script, [&] { EXPECT_EQ(PromptResourceId(app().mainWindow, 101), c.result); });
        EXPECT_EQ(robot.shown[0].text, L"Enter numeric resource ID:");
        EXPECT_EQ(robot.shown[0].fields, std::vector<std::wstring>{L"101"}) << "proposed value";
        EXPECT_EQ(robot.shown[0].buttons, (std::vector<std::wstring>{L"OK", L"Cancel"}));
        if (c.result) continue;
        EXPECT_EQ(robot.shown[1].text, L"Enter a valid numeric ID.");
        EXPECT_EQ(robot.shown[1].icon, ShownIcon::Warning);
        EXPECT_EQ(robot.shown[2].caption, kResourceId);  // the prompt stays open
    }
}

TEST_F(MainWindowTest, DialogsEndOnEachOfTheirWaysOut) {
    const std::wstring question = L"Resource ID 7 already exists. Overwrite?";
    const std::wstring mode =
        L"Use numeric file names as resource IDs?\n\nYes: Use numeric file names (e.g., 01234.bmp "
        L"\u2192 ID 1234)\nNo:  Choose a starting resource ID; files are imported in numeric-file "
        L"order and IDs increment by 1";
    enum Dialog { IdPrompt, Overwrite, ImportMode };
    struct Case {
        const char* what;
        RobotStep step;
        Dialog dialog;
        int result;
    } cases[] = {
        // The commands' tests press the other buttons and Esc.
        {"Enter in the ID prompt", PressKey(kResourceId, VK_RETURN), IdPrompt, 4242},
        {"close box of the ID prompt", CloseBox(kResourceId), IdPrompt, 0},
        {"close box of Resource Exists", CloseBox(kExists), Overwrite, IDCANCEL},
        {"Esc in Import Mode", PressKey(L"Import Mode", VK_ESCAPE), ImportMode, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int result = -1;
        Answer({c.step}, [&] {
            result = c.dialog == Overwrite    ? AskOverwrite(app().mainWindow, question)
                     : c.dialog == ImportMode ? AskImportMode(app().mainWindow)
                                              : PromptResourceId(app().mainWindow, 4242);
        });
        EXPECT_EQ(result, c.result);
        if (c.dialog == ImportMode) {
            EXPECT_EQ(robot.shown[0].text, mode);
            EXPECT_EQ(robot.shown[0].icon, ShownIcon::Question);
        }
        if (c.dialog != Overwrite) continue;
        EXPECT_EQ(robot.shown[0].text, question);
        EXPECT_EQ(robot.shown[0].buttons,
                  (std::vector<std::wstring>{L"Yes", L"No", L"Yes to All", L"No to All"}));
    }
}

TEST_F(MainWindowTest, HelpDialogsShowTheirTextAndCloseOnlyOnButtonEnterOrCloseBox) {
    const std::wstring shortcuts =
        L"Ctrl+N\nNew (32-bit OBK)\nCtrl+O\nOpen\nCtrl+W\nClose File\nCtrl+S\nSave\n"
        L"Ctrl+Shift+S\nSave As\nInsert\nAdd Bitmap\nCtrl+R\nReplace Bitmap\nDelete\n"
        L"Delete Bitmap\nF2\nChange Resource ID";
    const std::wstring about = L"                 Orvix 1.0.1\r\n\r\n";
    struct Dialog {
        WORD command;
        const wchar_t* caption;
        const wchar_t* button;
    } dialogs[] = {{CMD_SHORTCUTS, L"Keyboard Shortcuts", L"Sweet!"},
                   {CMD_ABOUT, L"About", L"Awesome!"}};
    for (const Dialog& d : dialogs) {
        // Esc leaves the dialog open: the robot then presses its button.
        for (RobotStep way : {Press(d.caption, IDOK), PressKey(d.caption, VK_RETURN),
                              CloseBox(d.caption), PressKey(d.caption, VK_ESCAPE)}) {
            const bool closes = way.key != VK_ESCAPE;
            std::vector<RobotStep> script = {way};
            if (!closes) script.push_back(Then(Press(d.caption, IDOK)));
            Answer(script, d.command);
            SCOPED_TRACE(Narrow(d.caption) + " key " + std::to_string(way.key));
            EXPECT_EQ(robot.shown[0].buttons, std::vector<std::wstring>{d.button});
            const std::wstring& text = robot.shown[0].text;
            EXPECT_EQ(d.command == CMD_SHORTCUTS ? text : text.substr(0, about.size()),
                      d.command == CMD_SHORTCUTS ? shortcuts : about);
        }
    }
}
