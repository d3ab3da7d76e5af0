// The small window that shows how far a long command is, with a Cancel
// button, and the same on the taskbar button. It shows only once the run has
// gone on long enough (ShowsProgress), so a short run looks as it always did.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "batch/progress_report.h"

struct ITaskbarList3;

class ProgressWindow {
public:
    // caption is the command's own, as its closing boxes say it.
    ProgressWindow(HWND owner, const wchar_t* caption, ProgressVerb verb, std::size_t total);
    // Gives the owner back its input and the taskbar button its plain look,
    // before the command's closing boxes.
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Called between two files with how many are handled. Shows the window
    // when it is time, keeps it and the owner painted and lets the user
    // cancel; false once the user has (Esc, Cancel, the close box).
    bool Step(std::size_t done);
    // The time the user spent on a question the command asked is not the
    // run's: before the window shows, the delay starts again.
    void RestartClock();
    // Kept for the dialog procedure, which only sees the window.
    void MarkCancelled() { cancelled_ = true; }

private:
    void Show(std::size_t done);
    void Update(std::size_t done);
    void Pump();

    HWND owner_;
    const wchar_t* caption_;
    ProgressVerb verb_;
    std::size_t total_;
    std::uint64_t start_;
    std::uint64_t lastUpdate_ = 0;
    HWND window_ = nullptr;
    bool tried_ = false;
    bool cancelled_ = false;
    ITaskbarList3* taskbar_ = nullptr;
};
