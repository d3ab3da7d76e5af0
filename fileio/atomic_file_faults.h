// The faults tests inject into atomic replacement, shared by both platforms'
// implementations. Not for use outside fileio/.
#pragma once

#include "fileio/atomic_file.h"

struct AtomicWriteFaults {
    long long failAfterBytes = -1;  // negative: writes do not fail
    bool failRename = false;
    bool failFlush = false;  // of the temporary file, before its rename
};

AtomicWriteFaults& InjectedAtomicWriteFaults();

// The error TakeAtomicWriteError() hands over, which the writers set.
AtomicWriteError& CurrentAtomicWriteError();

#ifdef _WIN32
// Records a failure of the Windows side; code is a GetLastError() value, 0
// for a failure the system has no words for.
void RecordWin32Failure(unsigned long code);
#endif
