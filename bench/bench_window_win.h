// The start-up and the robot the benchmarks of the real main window share:
// COM and the common controls as wWinMain starts them, the main window with
// its shortcuts, the message pump, and dialogs answered by caption from a
// timer inside their own modal loops while a hook notes how long they were
// on screen, so that that time can be left out.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "document/win32/app_state.h"

namespace bench {

// COM and the common controls for the whole run, and figures that appear as
// they are measured even if a later step hangs.
class GuiSession {
public:
    GuiSession();
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;
};

// How a dialog is answered: a path typed into its file-name field (when not
// empty), then a button pressed.
struct DialogAnswer {
    std::wstring typed;
    int button = IDOK;
};
using DialogAnswers = std::map<std::wstring, DialogAnswer>;  // by caption

// When the dialogs of one command were on screen: from the creation of the
// first top-level dialog, to the end of the last, and their time together.
struct DialogTimes {
    double firstShown = 0;
    double lastGone = 0;
    double onScreen = 0;
};

// Answers the thread's dialogs and watches them from construction to
// destruction; one at a time.
class DialogRobot {
public:
    explicit DialogRobot(DialogAnswers answers);
    ~DialogRobot();
    DialogRobot(const DialogRobot&) = delete;
    DialogRobot& operator=(const DialogRobot&) = delete;
    const DialogTimes& Times() const;

private:
    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
};

// A command from its menu item to its return.
struct CommandTiming {
    double total = 0;      // from the command to its return
    double onScreen = 0;   // dialogs on screen
    double afterLast = 0;  // from the last dialog's end to the return
    double Work() const { return total - onScreen; }
};

// The main window as Orvix.exe opens it, shown, with its shortcut table.
class BenchWindow {
public:
    BenchWindow() = default;
    ~BenchWindow();
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    // False when the class or the window cannot be made.
    bool Open();

    // Runs the message loop until done or timeout seconds; false on timeout.
    bool PumpUntil(const std::function<bool()>& done, double timeout);
    void Pump(double seconds);

    int Rows() const;

    // Sends command as its menu item does, answering its dialogs.
    CommandTiming RunCommand(WORD command, DialogAnswers answers);

    AppState app;
    HACCEL shortcuts = nullptr;
};

// A top-level dialog box (class #32770), not a page inside another.
bool IsTopLevelDialog(HWND window);

// The file-name field is an edit control, alone or inside a combo box.
HWND FirstEdit(HWND window);

}  // namespace bench
