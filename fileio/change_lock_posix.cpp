// The lock is flock(2) on the file itself, not on a file beside it: nothing
// is left behind, and a link of any kind reaches the same lock. A writer
// replaces the file by renaming a new one over it, so the lock a waiter
// finally gets may be on a file that no longer has the name; it then checks
// that the name still leads to the file it locked, and starts again on the
// new one when not. The holder renames before it lets go, so a waiter never
// reads a file that is about to be replaced.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "fileio/change_lock.h"
#include "fileio/wide_path.h"

ChangeLock::~ChangeLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

ChangeLock::Result ChangeLock::Acquire(const std::wstring& path, double seconds) {
    std::string name;
    try {
        name = WidePath(path).string();
    } catch (...) {
        return Result::Nothing;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (true) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return Result::Nothing;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            struct stat held {
            }, named{};
            if (::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                handle_ = fd;
                return Result::Held;
            }
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR) return Result::Nothing;
        if (std::chrono::steady_clock::now() >= deadline) return Result::Busy;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
