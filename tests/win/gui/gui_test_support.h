// Shared fixture for the tests that drive the real main window.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "gui_harness.h"
#include "user_robot.h"

std::string Narrow(const std::wstring& text);

// Prints what the robot saw, for failure messages.
std::string Describe(UserRobot& robot);

class MainWindowTest : public ::testing::Test {
protected:
    RunningApp running;
    UserRobot robot;
    AppState& app() { return running.app; }

    void SetUp() override { ASSERT_TRUE(StartApp(running)); }
    void TearDown() override {
        StopRobot(robot);
        StopApp(running);
    }
    // Starts the robot with a script; the test then acts.
    void Expect(std::vector<RobotStep> script) { StartRobot(robot, std::move(script)); }
    // Waits until the robot has answered everything, then stops it.
    void FinishRobot(DWORD timeoutMs = 8000) {
        PumpUntil(
            running, [&] { return StepsLeft(robot) == 0; }, timeoutMs);
        Pump(running, 200);
        StopRobot(robot);
        EXPECT_EQ(robot.steps.size(), 0u) << "the robot never saw: " << Describe(robot);
        EXPECT_TRUE(robot.problems.empty()) << Describe(robot);
    }
    // Puts a document with these IDs (tiny payloads) into the window.
    void LoadFakeDocument(std::initializer_list<ResourceId> ids, const std::wstring& path);
    // The list as the user sees it: row texts, and the IDs the rows carry.
    std::vector<std::wstring> ListTexts();
    std::vector<ResourceId> ListIds();
    int SelectedRow();
    void SelectRow(int row);
};

// A 2 x 1 24-bit bitmap whose colours follow id, as a store holds it.
DibPayload TinyBitmap(ResourceId id);
// The same as a .bmp file; content 0 gives an empty file.
std::vector<std::uint8_t> TinyBitmapFile(ResourceId content);
// Writes a container file holding TinyBitmap(id) under each id.
bool WriteContainerFile(const std::wstring& path, std::initializer_list<ResourceId> ids);

RECT ClientRectOf(HWND child, HWND parent);
