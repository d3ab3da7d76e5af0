// The faults tests inject into atomic replacement, shared by both platforms'
// implementations. Not for use outside fileio/.
#pragma once

struct AtomicWriteFaults {
    long long failAfterBytes = -1;  // negative: writes do not fail
    bool failRename = false;
    bool failFlush = false;  // of the temporary file, before its rename
    bool failBatchSync = false;
};

AtomicWriteFaults& InjectedAtomicWriteFaults();
