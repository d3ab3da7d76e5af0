// Keeping two processes from changing one file at once.
#pragma once

#include <cstdint>
#include <string>

// Held by a read-modify-write of a file for its whole run, so that a second
// writer waits and then reads what the first one wrote: without it, both
// read the same old file and the later rename drops the earlier one's change.
// Only writers that take the lock wait for each other; readers never need
// it, since every replacement is atomic.
class ChangeLock {
public:
    enum class Result {
        Held,    // this process holds the lock until the object goes
        Busy,    // another process held it for the whole wait
        Nothing  // no file there, or none that can be locked: go on unlocked
    };
    ChangeLock() = default;
    ~ChangeLock();
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

    // Waits up to seconds (0: one try) for the lock of the file at path.
    Result Acquire(const std::wstring& path, double seconds);

private:
    std::intptr_t handle_ = -1;
};
