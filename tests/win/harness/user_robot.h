// A stand-in for the user: answers the modal dialogs, message boxes and
// popup menus that the program shows, from a script, and records what each
// one showed. It runs on its own thread and acts through window messages,
// as keys and clicks would.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class ShownIcon { None, Information, Warning, Error, Question };

struct ShownMenuItem {
    std::wstring text;  // with its & marker; empty for a separator
    UINT id = 0;
    bool enabled = true;
};

struct ShownWindow {
    bool isMenu = false;
    std::wstring caption;
    std::wstring text;  // a message box's text, or the dialog's static texts joined by '\n'
    ShownIcon icon = ShownIcon::None;
    std::vector<std::wstring> buttons;  // button texts in window order
    std::vector<std::wstring> fields;   // edit field texts in window order
    RECT rect{};                        // screen rectangle
    std::vector<ShownMenuItem> menuItems;
};

struct RobotStep {
    enum class Kind { PressButton, TypeThenPress, PressKeyInMenu, PressKey, CloseBox };
    Kind kind = Kind::PressButton;
    std::wstring caption;  // the dialog this step answers; ignored for menus
    int controlId = 0;     // the field to type into
    std::wstring text;     // what to type
    int buttonId = 0;      // the button to press afterwards
    WPARAM key = 0;        // for menus: a virtual key (VK_ESCAPE) or a mnemonic character
    bool keyIsCharacter = false;
    // Acts again on the window the previous step answered, once that window
    // has had time to close; it is read and recorded a second time first.
    bool followUp = false;
};

// Step builders.
RobotStep Press(std::wstring caption, int buttonId);
RobotStep TypeInto(std::wstring caption, int controlId, std::wstring text, int buttonId = IDOK);
// The common file dialogs and the folder picker share the file-name field 1152.
RobotStep ChooseFile(std::wstring caption, std::wstring path);
// A key pressed in the dialog's focused control (Esc, Enter), and the
// dialog's close box.
RobotStep PressKey(std::wstring caption, WPARAM virtualKey);
RobotStep CloseBox(std::wstring caption);
// Marks a step as a second action on the window the previous step answered.
RobotStep Then(RobotStep step);
RobotStep DismissMenu();
RobotStep ChooseMenuMnemonic(wchar_t mnemonic);

struct UserRobot {
    DWORD guiThread = 0;
    std::deque<RobotStep> steps;
    std::vector<ShownWindow> shown;
    std::vector<std::wstring> problems;  // unexpected windows, wrong captions
    std::mutex lock;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

// Starts answering the windows that the calling (GUI) thread shows.
void StartRobot(UserRobot& robot, std::vector<RobotStep> script);
// Stops the robot; afterwards shown and problems may be read freely.
void StopRobot(UserRobot& robot);
// Thread-safe snapshots while the robot runs.
size_t ShownCount(UserRobot& robot);
size_t StepsLeft(UserRobot& robot);

const wchar_t* IconName(ShownIcon icon);
