#include "dialogs/progress_window.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <string>

#include "resources/resource_ids.h"

namespace {

// Often enough to look live, seldom enough that a run of small files is not
// spent redrawing.
constexpr std::uint64_t kUpdateEveryMs = 40;
// A paint that never validates must not keep a step from returning.
constexpr int kMessagesPerStep = 64;

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    // The close box and Esc arrive as IDCANCEL too.
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        if (auto* progress =
                reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(dialog, DWLP_USER)))
            progress->MarkCancelled();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, const wchar_t* caption, ProgressVerb verb,
                               std::size_t total)
    : owner_(owner), caption_(caption), verb_(verb), total_(total), start_(GetTickCount64()) {}

ProgressWindow::~ProgressWindow() {
    if (taskbar_) {
        taskbar_->SetProgressState(owner_, TBPF_NOPROGRESS);
        taskbar_->Release();
    }
    if (!window_) return;
    // As a modal dialog ends: the owner is enabled first, so that it, and not
    // some other program, becomes active when the window goes.
    EnableWindow(owner_, TRUE);
    DestroyWindow(window_);
}

void ProgressWindow::RestartClock() {
    if (!window_) start_ = GetTickCount64();
}

bool ProgressWindow::Step(std::size_t done) {
    const std::uint64_t now = GetTickCount64();
    if (!window_ && !tried_ && ShowsProgress(now - start_, done, total_)) Show(done);
    if (window_ && now - lastUpdate_ >= kUpdateEveryMs) {
        lastUpdate_ = now;
        // A question the command asked meanwhile gave the owner its input
        // back when it closed.
        if (IsWindowEnabled(owner_)) EnableWindow(owner_, FALSE);
        Update(done);
        Pump();
    }
    return !cancelled_;
}

void ProgressWindow::Show(std::size_t done) {
    tried_ = true;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner_, GWLP_HINSTANCE));
    window_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PROGRESS), owner_,
                                 ProgressDialogProc, reinterpret_cast<LPARAM>(this));
    if (!window_) return;
    SetWindowTextW(window_, caption_);
    SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                        static_cast<LPARAM>(total_ > 0x7FFFFFFF ? 0x7FFFFFFF : total_));
    Update(done);
    // The owner takes no input while the window is up, as under a modal
    // dialog: no other command starts halfway through this one.
    EnableWindow(owner_, FALSE);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar_))) ||
        FAILED(taskbar_->HrInit())) {
        if (taskbar_) taskbar_->Release();
        taskbar_ = nullptr;
    }
    if (taskbar_) taskbar_->SetProgressValue(owner_, done, total_);
    lastUpdate_ = GetTickCount64();
}

void ProgressWindow::Update(std::size_t done) {
    SetDlgItemTextW(window_, IDC_PROGRESS_TEXT, ProgressText(verb_, done, total_).c_str());
    SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    if (taskbar_) taskbar_->SetProgressValue(owner_, done, total_);
}

// Only what the progress window is sent, input (which the disabled owner
// does not take) and paints leave the queue: a command posted to the main
// window waits there until this one ends.
void ProgressWindow::Pump() {
    MSG msg;
    for (int i = 0; i < kMessagesPerStep; ++i) {
        if (!PeekMessageW(&msg, window_, 0, 0, PM_REMOVE) &&
            !PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) &&
            !PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) &&
            !PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
            return;
        }
        if (msg.message == WM_QUIT) {
            // For the program's own loop, once the command is over.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!IsDialogMessageW(window_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}
