// The program's own dialogs as the user meets them: what they show, what
// they accept, and every way of leaving them.
#include "dialogs/prompts.h"
#include "gui_test.h"

// What each dialog shows, and the ways out of it that the commands' tests do
// not take. The ID prompt takes 1 to 65535 and warns about the rest, staying
// open; Esc leaves the help dialogs open. The robot then cancels the prompt
// or presses the help dialog's button.
TEST_F(MainWindowTest, DialogsShowTheirTextAndEndOnEachWayOut) {
    enum Dialog { IdPrompt, Overwrite, ImportMode, Shortcuts, About };
    const struct {
        const wchar_t* caption;
        std::wstring text;
        Texts buttons;
    } dialogs[] = {
        {L"Resource ID", L"Enter numeric resource ID:", {L"OK", L"Cancel"}},
        {L"Resource Exists",
         L"Resource ID 7 already exists. Overwrite?",
         {L"Yes", L"No", L"Yes to All", L"No to All"}},
        {L"Import Mode",
         L"question: Use numeric file names as resource IDs?\n\nYes: Use numeric file names "
         L"(e.g., 01234.bmp \u2192 ID 1234)\nNo:  Choose a starting resource ID; files are "
         L"imported in numeric-file order and IDs increment by 1",
         {L"&Yes", L"&No", L"Cancel"}},
        {L"Keyboard Shortcuts",
         L"Ctrl+N\nNew (32-bit OBK)\nCtrl+O\nOpen\nCtrl+W\nClose File\nCtrl+S\nSave\n"
         L"Ctrl+Shift+S\nSave As\nInsert\nAdd Bitmap\nCtrl+R\nReplace Bitmap\nDelete\n"
         L"Delete Bitmap\nF2\nChange Resource ID\nCtrl+C\nCopy Bitmap\nCtrl+V\nPaste as a New "
         L"Bitmap\nCtrl+Shift+V\nPaste over the Selected Bitmap\nCtrl+Plus\nZoom In (or Ctrl "
         L"and the Wheel)\nCtrl+Minus\nZoom Out\nCtrl+0\nActual Size (1:1)\nF\nFit a Large "
         L"Bitmap in the Preview",
         {L"Sweet!"}},
        {L"About",
         L"                 Orvix 1.0.1\r\n\r\n     https://orvix.dev\r\n\r\n             (C) 2026 "
         L"The Orvix developers",
         {L"Awesome!"}},
    };
    struct Case {
        Dialog dialog;
        RobotStep step;
        int result;  // of the ID prompt and the questions
    };
    std::vector<Case> all = {
        {IdPrompt, PressKey(L"Resource ID", VK_RETURN), 4242},
        {IdPrompt, CloseBox(L"Resource ID"), 0},
        {IdPrompt, TypeId(L"65535"), 65535},
        {IdPrompt, TypeId(L"0"), 0},
        {Overwrite, CloseBox(L"Resource Exists"), IDCANCEL},
        {ImportMode, PressKey(L"Import Mode", VK_ESCAPE), IDCANCEL},
    };
    for (Dialog help : {Shortcuts, About}) {
        const wchar_t* caption = dialogs[help].caption;
        for (RobotStep way : {Press(caption, IDOK), PressKey(caption, VK_RETURN), CloseBox(caption),
                              PressKey(caption, VK_ESCAPE)})
            all.push_back({help, way, 0});
    }
    for (const Case& c : all) {
        SCOPED_TRACE(testing::Message()
                     << c.step.caption << ", kind " << static_cast<int>(c.step.kind) << ", key "
                     << c.step.key << ", " << c.step.text);
        const bool refused = c.step.kind == RobotStep::Kind::TypeThenOk && !c.result;
        std::vector<RobotStep> script = {c.step};
        if (refused)
            script = {c.step, Press(L"Invalid", IDOK), Then(Press(L"Resource ID", IDCANCEL))};
        if (c.step.key == VK_ESCAPE && c.dialog >= Shortcuts)
            script.push_back(Then(Press(c.step.caption, IDOK)));
        int result = 0;
        Answer(script, [&] {
            if (c.dialog == IdPrompt) result = PromptResourceId(app().mainWindow, 4242);
            if (c.dialog == Overwrite) result = AskOverwrite(app().mainWindow, dialogs[1].text);
            if (c.dialog == ImportMode) result = AskImportMode(app().mainWindow);
            if (c.dialog >= Shortcuts) Send(c.dialog == Shortcuts ? CMD_SHORTCUTS : CMD_ABOUT);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(robot.shown[0].text, dialogs[c.dialog].text);
        EXPECT_EQ(robot.shown[0].buttons, dialogs[c.dialog].buttons);
        if (c.dialog == IdPrompt) EXPECT_EQ(robot.shown[0].fields, Texts{L"4242"});
        if (refused) {
            EXPECT_EQ(robot.shown[1].text, L"warning: Enter a valid numeric ID.");
            EXPECT_EQ(robot.shown[2].caption, L"Resource ID");  // the prompt stays open
        }
    }
}
