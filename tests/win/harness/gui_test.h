// The fixture for tests that drive the real main window: created as wWinMain
// creates it, with messages pumped through the same shortcut translation,
// and a robot that answers the windows it shows as the user would.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/win32/app_state.h"
#include "fileio/atomic_file.h"
#include "support/test_files.h"
#include "user_robot.h"

inline constexpr wchar_t kDocPath[] = L"C:\\art\\d.obk";

struct RunningApp {
    AppState app;
    HACCEL shortcuts = nullptr;
    bool quit = false;  // WM_QUIT arrived
    int exitCode = -1;  // its wParam
};

// A window's client area as 0x00RRGGBB pixels, row by row from the top.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels{};
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};
Capture CaptureClient(HWND window);
std::wstring WindowText(HWND window);
std::string Narrow(const std::wstring& text);
// What the robot saw, for failure messages.
std::string Describe(UserRobot& robot);

class MainWindowTest : public ::testing::Test {
protected:
    RunningApp running;
    UserRobot robot;
    orvix_test::ScratchFolder scratch;
    AppState& app() { return running.app; }

    void SetUp() override { ASSERT_TRUE(Start()); }
    void TearDown() override {
        StopRobot(robot);
        Stop();
    }
    // Registers the class, creates and shows the main window, loads shortcuts.
    bool Start();
    // Destroys the window if it is still there (no prompts) and unregisters
    // the classes, so that the next start is as a fresh process's.
    void Stop();
    // Runs the program's loop until done() holds, WM_QUIT arrives or
    // timeoutMs passes; Pump for a while regardless.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
    void Pump(DWORD ms = 60) {
        PumpUntil([] { return false; }, ms);
    }
    // A menu item as it reaches the window.
    void Send(WORD command);
    // Keys pressed together like a person's, modifiers first, through the
    // system's input queue.
    void PressKeys(const std::vector<WORD>& keys);
    // Starts the robot on a script, acts, and waits until the robot has
    // answered everything; what it saw is then in robot.shown.
    void Answer(std::vector<RobotStep> script, const std::function<void()>& act);
    void Answer(std::vector<RobotStep> script, WORD command) {
        Answer(std::move(script), [&] { Send(command); });
    }
    std::wstring Path(const std::wstring& name) { return (scratch / name).wstring(); }
    // Puts a document holding TinyBitmap(id) under each ID into the window,
    // with no row selected.
    void Load(const std::vector<ResourceId>& ids, const std::wstring& path = kDocPath);
    // The list as the user sees it: row texts, and the IDs the rows carry.
    std::vector<std::wstring> ListTexts();
    std::vector<ResourceId> ListIds();
    int SelectedRow();
    void SelectRow(int row);
};

// Makes the next saves fail as a full disk would, for the life of the object.
struct FailingDisk {
    FailingDisk() { SetAtomicWriteFailureAfterBytesForTesting(0); }
    ~FailingDisk() { SetAtomicWriteFailureAfterBytesForTesting(-1); }
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
// The same as a .bmp file.
std::vector<std::uint8_t> BmpFile(const Dib& d);
// Appends 32-bit little-endian fields; two 16-bit fields go as low | high << 16.
void Put(DibPayload& out, const std::vector<std::uint32_t>& fields);

// A 2 x 1 24-bit bitmap whose colour follows id, as a store holds it.
DibPayload TinyBitmap(ResourceId id);
// The same as a .bmp file; content 0 gives an empty file.
std::vector<std::uint8_t> TinyBitmapFile(ResourceId content);
BitmapStore StoreOf(const std::vector<ResourceId>& ids);
// Writes a container file holding StoreOf(ids).
bool WriteContainerFile(const std::wstring& path, const std::vector<ResourceId>& ids);
// What a container file holds, as the program reads it.
BitmapStore StoreOnDisk(const std::wstring& path);
