// The lock is LockFileEx on "<name>.lock" beside the file, not on the file:
// a writer replaces the file while waiters would hold it open, and a file
// that others have open cannot be replaced. The lock file is opened to be
// deleted when its last handle closes, so it is there only while someone
// holds or waits for the lock; one opened in the moment its deletion is
// pending refuses access, and the next try makes it anew.
#include <windows.h>

#include <chrono>

#include "fileio/change_lock.h"
#include "fileio/wide_path.h"

ChangeLock::~ChangeLock() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

ChangeLock::Result ChangeLock::Acquire(const std::wstring& path, double seconds) {
    const std::wstring full = ExtendedLengthPath(path);
    if (full.empty() || GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Result::Nothing;
    }
    const std::wstring lockName = full + L".lock";
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    for (int refused = 0;;) {
        HANDLE file =
            CreateFileW(lockName.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // A pending deletion passes in moments; a folder we may not write
            // does not, and the write itself will say so.
            if (GetLastError() != ERROR_ACCESS_DENIED || ++refused > 20) return Result::Nothing;
        } else {
            OVERLAPPED at{};
            if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &at)) {
                handle_ = reinterpret_cast<std::intptr_t>(file);
                return Result::Held;
            }
            CloseHandle(file);
        }
        if (std::chrono::steady_clock::now() >= deadline) return Result::Busy;
        Sleep(10);
    }
}
