#include "fileio/live_files.h"

#include <atomic>

#include "fileio/atomic_file.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#endif

namespace {

constexpr int kSlots = 16;

}  // namespace

#ifdef _WIN32

namespace {

// The console handler runs on a thread of its own, so it may wait: it takes
// the lock a writer holds across its rename and never sees one half done.
SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<std::wstring>& Names() {
    static std::vector<std::wstring> names(kSlots);
    return names;
}

// Set while this thread holds the lock for an InterruptHold.
thread_local bool t_holding = false;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    AcquireSRWLockExclusive(&g_lock);
    // The writer opened its file sharing deletion: the name goes now, the
    // file once the exit closes its handle.
    for (const std::wstring& name : Names()) {
        if (!name.empty()) DeleteFileW(name.c_str());
    }
    const UINT status = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130
                        : event == CTRL_CLOSE_EVENT                        ? 129
                                                                           : 143;
    ExitProcess(status);
}

}  // namespace

InterruptHold::InterruptHold() {
    AcquireSRWLockExclusive(&g_lock);
    t_holding = true;
}

InterruptHold::~InterruptHold() {
    t_holding = false;
    ReleaseSRWLockExclusive(&g_lock);
}

int EnlistLiveFile(const LiveFileName& name) {
    const bool lock = !t_holding;
    if (lock) AcquireSRWLockExclusive(&g_lock);
    int slot = -1;
    for (int i = 0; i < kSlots && slot < 0; ++i) {
        if (Names()[static_cast<std::size_t>(i)].empty()) slot = i;
    }
    if (slot >= 0) Names()[static_cast<std::size_t>(slot)] = name;
    if (lock) ReleaseSRWLockExclusive(&g_lock);
    return slot;
}

bool SettleLiveFile(int slot, const std::function<bool()>& finish) {
    AcquireSRWLockExclusive(&g_lock);
    const bool done = finish();
    if (slot >= 0) Names()[static_cast<std::size_t>(slot)].clear();
    ReleaseSRWLockExclusive(&g_lock);
    return done;
}

void RemoveTemporariesOnInterrupt() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

#else

namespace {

// A signal handler may neither allocate nor lock: the names live in fixed
// buffers, and a slot's state says when its buffer is whole.
enum : int { kFree, kFilling, kLive };
struct Slot {
    std::atomic<int> state{kFree};
    char name[PATH_MAX];
};
Slot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int signal) {
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kLive) ::unlink(slot.name);
    }
    if (signal == SIGBUS) {
        static constexpr char kCut[] =
            "a file being read was cut short by another program; the run stopped and changed "
            "nothing\n";
        [[maybe_unused]] const ssize_t said = ::write(STDERR_FILENO, kCut, sizeof kCut - 1);
    }
    ::_exit(128 + signal);
}

}  // namespace

InterruptHold::InterruptHold() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

InterruptHold::~InterruptHold() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int EnlistLiveFile(const LiveFileName& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(g_slots[i].name, name.c_str(), name.size() + 1);
        g_slots[i].state.store(kLive, std::memory_order_release);
        return i;
    }
    return -1;
}

bool SettleLiveFile(int slot, const std::function<bool()>& finish) {
    // A signal between the rename and the release finds the name gone and
    // removes nothing; one before the rename removes the temporary, and the
    // target is as it was.
    const bool done = finish();
    if (slot >= 0) g_slots[slot].state.store(kFree, std::memory_order_release);
    return done;
}

void RemoveTemporariesOnInterrupt() {
    // SIGBUS too: a container another program cuts short while its mapping
    // is read ends the run as an interrupt does, with no temporary left.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGBUS}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigfillset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

#endif
