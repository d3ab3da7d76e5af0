// The fixture for tests that drive the real main window: created as wWinMain
// creates it, with messages pumped through the same shortcut translation,
// and the user robot answering the windows it shows.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "document/win32/app_state.h"
#include "fileio/atomic_file.h"
#include "resources/resource_ids.h"
#include "support/test_files.h"

// The user robot: a stand-in for the user that answers the modal dialogs,
// message boxes and popup menus the program shows, from a script, and
// records what each one showed. It runs on its own thread and acts through
// window messages, as keys and clicks would.
struct ShownWindow {
    std::wstring caption;
    // A message box's text, or a dialog's static texts joined by '\n', after
    // its icon's kind, if any: "error: ", "warning: ", "question: ", "information: ".
    std::wstring text;
    std::vector<std::wstring> buttons;    // button texts in window order
    std::vector<std::wstring> fields;     // edit field texts in window order
    POINT corner{};                       // top-left, on the screen
    std::vector<std::wstring> menuItems;  // as MenuItemText gives them
};

struct RobotStep {
    enum class Kind { Button, TypeThenOk, Key, CloseBox, MenuCharacter, Look };
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
    return {RobotStep::Kind::TypeThenOk, std::move(caption), field, std::move(text), 0, false};
}
inline RobotStep ChooseFile(std::wstring caption, std::wstring path) {
    return TypeInto(std::move(caption), kFileNameField, std::move(path));
}
inline RobotStep TypeId(std::wstring id) {
    return TypeInto(L"Resource ID", IDC_RESOURCE_ID_FIELD, std::move(id));
}
inline RobotStep PressKey(std::wstring caption, WPARAM key) {
    return {.kind = RobotStep::Kind::Key, .caption = std::move(caption), .key = key};
}
inline RobotStep CloseBox(std::wstring caption) {
    return {.kind = RobotStep::Kind::CloseBox, .caption = std::move(caption)};
}
// Reads a window that goes by itself, as a progress window does, and leaves it be.
inline RobotStep Look(std::wstring caption) {
    return {.kind = RobotStep::Kind::Look, .caption = std::move(caption)};
}
inline RobotStep Then(RobotStep step) {
    step.followUp = true;
    return step;
}
inline RobotStep DismissMenu() {
    return {.kind = RobotStep::Kind::Key, .key = VK_ESCAPE};
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

// A menu item's text with its & marker, and " (grayed)" after it when it is
// grayed; empty for a separator.
std::wstring MenuItemText(HMENU menu, int position);
void StartRobot(UserRobot& robot, std::vector<RobotStep> script);
// Stops the robot; afterwards shown and problems may be read freely. While
// it runs they and steps are read under its lock.
void StopRobot(UserRobot& robot);
inline constexpr wchar_t kDocPath[] = L"C:\\art\\d.obk";
using Texts = std::vector<std::wstring>;

std::wstring WindowText(HWND window);

class MainWindowTest : public ::testing::Test {
protected:
    AppState state;
    HACCEL shortcuts = nullptr;
    bool quit = false;  // WM_QUIT arrived
    int exitCode = -1;  // its wParam
    UserRobot robot;
    orvix_test::ScratchFolder scratch;
    AppState& app() { return state; }

    void SetUp() override { ASSERT_TRUE(Start()); }
    void TearDown() override {
        StopRobot(robot);
        Stop();
    }
    // Registers the class, creates and shows the main window, loads shortcuts;
    // Start after Stop is a fresh process's start.
    bool Start();
    void Stop();
    // Runs the program's loop until done() holds, WM_QUIT arrives or
    // timeoutMs passes; Pump for a while regardless, with no done().
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
    void Pump(DWORD ms = 60) { PumpUntil({}, ms); }
    void Send(WORD command);
    void PressKeys(const std::vector<WORD>& keys);
    // Starts the robot on a script, acts, and waits until the robot has
    // answered everything; what it saw is then in robot.shown.
    void Answer(std::vector<RobotStep> script, const std::function<void()>& act);
    std::wstring Path(const std::wstring& name) { return (scratch / name).wstring(); }
    void Load(const std::vector<ResourceId>& ids, const std::wstring& path = kDocPath);
    std::vector<std::wstring> ListTexts();
    std::vector<ResourceId> ListIds();
    int SelectedRow() { return ListView_GetNextItem(app().listView, -1, LVNI_SELECTED); }
    void SelectRow(int row) {
        ListView_SetItemState(app().listView, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        Pump();
    }
};

// A bitmap whose upper half holds the pixel value top and lower half bottom.
// Colour-table entries and 24/32-bit BI_RGB pixels are 0x00RRGGBB, as stored.
struct Dib {
    std::int32_t width = 20;
    std::int32_t height = 10;  // negative: rows stored top-down
    std::uint16_t bitCount = 24;
    std::uint32_t compression = BI_RGB;
    std::vector<std::uint32_t> table{};  // colour entries or masks after the header
    std::uint32_t top = 0;
    std::uint32_t bottom = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> headerMasks{};  // inside a V4 header
};

DibPayload Build(const Dib& d);

// A 2 x 1 24-bit bitmap whose colour follows id, as a store holds it.
DibPayload TinyBitmap(ResourceId id);
// The same as a .bmp file; content 0 gives an empty file.
std::vector<std::uint8_t> TinyBitmapFile(ResourceId content);
// The same picture as a PNG image, which stores as TinyBitmap(content).
std::vector<std::uint8_t> TinyPngFile(ResourceId content);
BitmapStore StoreOf(const std::vector<ResourceId>& ids);
// Empties the clipboard and, unless format is 0, puts bytes there under that
// format alone, as another program would.
void PutOnClipboard(HWND owner, UINT format, const std::vector<std::uint8_t>& bytes = {});
// Drops the named files of folder on window at a point of its client area,
// as the file manager does.
void DropOn(HWND window, const orvix_test::fs::path& folder,
            const std::vector<const wchar_t*>& names, POINT at);
bool WriteContainerFile(const std::wstring& path, const std::vector<ResourceId>& ids);
BitmapStore StoreOnDisk(const std::wstring& path);
