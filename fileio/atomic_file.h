// Whole-file replacement that never leaves a half-written destination.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Whether a replacement waits for the disk. A saved container must survive a
// power cut once the save has said so; an exported copy of what a container
// still holds need not, and is written as cp writes, so that an export does
// not wait for every other program's writes to reach the disk.
enum class Flush { ToDisk, AsCopy };

// Writes bytes to a temporary file in the destination's folder, flushes it to
// the disk (unless flush is AsCopy) and renames it over path. On any failure
// the file at path is as it was and no temporary file is left.
bool WriteFileAtomically(const std::wstring& path, std::span<const std::uint8_t> bytes,
                         Flush flush = Flush::ToDisk);

// Streaming form for large outputs: produce() is called once with a sink that
// appends bytes to the temporary file; the sink returns false once a write has
// failed, and produce() returns false to abandon. Same guarantees as above.
using AtomicWriteSink = std::function<bool(std::span<const std::uint8_t>)>;
bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce,
                         Flush flush = Flush::ToDisk);

// Why the last WriteFileAtomically of this thread failed, in terms a caller
// can put to a user: a file the user may not change is refused before
// anything is written, and so is one whose other names a rename would leave
// with the old content (hard links are kept by refusing rather than by
// writing in place, which a failure halfway would leave half written).
enum class WriteRefusal { None, ReadOnly, HardLinks, System };
struct AtomicWriteError {
    WriteRefusal refusal = WriteRefusal::None;
    std::uint64_t links = 0;  // HardLinks: how many names the file has
    std::string reason;       // System: the platform's words (UTF-8), when it gave any
};
// Hands over the error and forgets it, so that a later failure that never
// reached the writer is not described by an old one.
AtomicWriteError TakeAtomicWriteError();

// For a program that must not leave temporary files behind when it is
// interrupted: SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl+C,
// Ctrl+Break, close, logoff and shutdown) remove the files of the writes in
// progress and end the process with status 128 + the signal's number (130,
// 143, 129), and so does SIGBUS, which a mapped container that another
// program cuts short raises (135). A signal the process was started with
// ignored stays ignored, as nohup and a shell's background jobs expect.
void RemoveTemporariesOnInterrupt();

// Test hook: when set, a write fails once this many bytes have gone to the
// temporary file in the current call (simulates a full disk or an I/O error).
// Negative disables it.
void SetAtomicWriteFailureAfterBytesForTesting(long long bytes);

// Test hook: when set, the final rename fails.
void SetAtomicRenameFailureForTesting(bool fail);

// Test hook: when set, flushing the temporary file to the disk fails.
void SetAtomicFlushFailureForTesting(bool fail);
