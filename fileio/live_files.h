// The files being written right now, for RemoveTemporariesOnInterrupt():
// each writer enlists its temporary (or its new file) before the first byte
// and dismisses it once it is renamed into place or removed. Not for use
// outside fileio/.
#pragma once

#include <functional>
#include <string>

#ifdef _WIN32
using LiveFileName = std::wstring;
#else
#include <signal.h>
using LiveFileName = std::string;
#endif

// Holds interrupts off for its life, around the creation of a file and its
// enlisting: an interrupt then finds the file either not made yet or
// enlisted, never made and unknown.
class InterruptHold {
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
#ifndef _WIN32
    sigset_t previous_;
#endif
};

// A slot for the name; -1 when every slot is taken, and then an interrupt
// leaves that one file behind.
int EnlistLiveFile(const LiveFileName& name);
// Runs finish (the rename, or the removal after a failure) where an interrupt
// cannot cut it in two, then forgets the name. Returns what finish returned.
bool SettleLiveFile(int slot, const std::function<bool()>& finish);
