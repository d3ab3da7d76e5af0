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

struct ShownWindow {
    bool isMenu = false;
    std::wstring caption;
    std::wstring text;  // a message box's text, or the dialog's static texts joined by '\n'
    ShownIcon icon = ShownIcon::None;
    std::vector<std::wstring> buttons;  // button texts in window order
    std::vector<std::wstring> fields;   // edit field texts in window order
    POINT corner{};                     // top-left, on the screen
    // With their & markers, and " (grayed)" after those grayed; separators empty.
    std::vector<std::wstring> menuItems;
};

struct RobotStep {
    enum class Kind { Button, TypeThenOk, Key, CloseBox, MenuKey, MenuCharacter };
    Kind kind = Kind::Button;
    std::wstring caption{};  // the dialog this step answers; empty for menus
    int id = 0;              // the button to press, or the field to type into
    std::wstring text{};     // what to type
    WPARAM key = 0;          // a virtual key (VK_ESCAPE), or a menu mnemonic
    // Acts again on the window the previous step answered, once that window
    // has had time to close; it is read and recorded a second time first.
    bool followUp = false;
};

// The common file dialogs and the folder picker share the file-name field 1152.
constexpr int kFileNameField = 1152;

inline RobotStep Press(std::wstring caption, int button) {
    return {.kind = RobotStep::Kind::Button, .caption = std::move(caption), .id = button};
}
inline RobotStep TypeInto(std::wstring caption, int field, std::wstring text) {
    return {.kind = RobotStep::Kind::TypeThenOk,
            .caption = std::move(caption),
            .id = field,
            .text = std::move(text)};
}
inline RobotStep ChooseFile(std::wstring caption, std::wstring path) {
    return TypeInto(std::move(caption), kFileNameField, std::move(path));
}
// A key pressed in the dialog's focused control (Esc, Enter).
inline RobotStep PressKey(std::wstring caption, WPARAM key) {
    return {.kind = RobotStep::Kind::Key, .caption = std::move(caption), .key = key};
}
inline RobotStep CloseBox(std::wstring caption) {
    return {.kind = RobotStep::Kind::CloseBox, .caption = std::move(caption)};
}
inline RobotStep Then(RobotStep step) {
    step.followUp = true;
    return step;
}
inline RobotStep DismissMenu() {
    return {.kind = RobotStep::Kind::MenuKey, .key = VK_ESCAPE};
}
inline RobotStep ChooseMenuMnemonic(wchar_t mnemonic) {
    return {.kind = RobotStep::Kind::MenuCharacter, .key = mnemonic};
}

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
// Stops the robot; afterwards shown and problems may be read freely. While
// it runs they and steps are read under its lock.
void StopRobot(UserRobot& robot);