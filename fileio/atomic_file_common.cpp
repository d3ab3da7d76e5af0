#include <utility>
#include <vector>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_faults.h"

bool WriteFileAtomically(const std::wstring& path, std::span<const std::uint8_t> bytes,
                         Flush flush) {
    return WriteFileAtomically(
        path, [bytes](const AtomicWriteSink& sink) { return sink(bytes); }, flush);
}

AtomicWriteError& CurrentAtomicWriteError() {
    thread_local AtomicWriteError error;
    return error;
}

AtomicWriteError TakeAtomicWriteError() {
    return std::exchange(CurrentAtomicWriteError(), AtomicWriteError{});
}

AtomicWriteFaults& InjectedAtomicWriteFaults() {
    static AtomicWriteFaults faults;
    return faults;
}

void SetAtomicWriteFailureAfterBytesForTesting(long long bytes) {
    InjectedAtomicWriteFaults().failAfterBytes = bytes;
}
void SetAtomicRenameFailureForTesting(bool fail) {
    InjectedAtomicWriteFaults().failRename = fail;
}
void SetAtomicFlushFailureForTesting(bool fail) {
    InjectedAtomicWriteFaults().failFlush = fail;
}
