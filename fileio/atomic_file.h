// Whole-file replacement that never leaves a half-written destination.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// Many files written as one unit of durability. Each file still goes to a
// temporary name and is renamed over its target, so a failed write never
// leaves a truncated file and never touches an existing one; but the flushes
// that a lone write pays twice per file are paid once, by Commit(). Nothing
// the batch wrote is known to survive a crash until Commit() returns true.
class AtomicWriteBatch {
public:
    AtomicWriteBatch();
    ~AtomicWriteBatch();
    AtomicWriteBatch(const AtomicWriteBatch&) = delete;
    AtomicWriteBatch& operator=(const AtomicWriteBatch&) = delete;

    // Makes every file written through the batch so far durable. False when
    // that cannot be confirmed: the files are in place, but the caller must
    // not report them as saved.
    bool Commit();

    // What the platform side keeps between the writes and Commit().
    struct Pending;

private:
    std::unique_ptr<Pending> pending_;
    friend Pending& PendingOf(AtomicWriteBatch& batch);
};

// Writes bytes to a temporary file in the destination's folder, flushes it to
// the disk and renames it over path. On any failure the file at path is as it
// was and no temporary file is left. With a batch, the flush is left to the
// batch's Commit().
bool WriteFileAtomically(const std::wstring& path, std::span<const std::uint8_t> bytes,
                         AtomicWriteBatch* batch = nullptr);

// Streaming form for large outputs: produce() is called once with a sink that
// appends bytes to the temporary file; the sink returns false once a write has
// failed, and produce() returns false to abandon. Same guarantees as above.
using AtomicWriteSink = std::function<bool(std::span<const std::uint8_t>)>;
bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce,
                         AtomicWriteBatch* batch = nullptr);

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
// 143, 129). A signal the process was started with ignored stays ignored, as
// nohup and a shell's background jobs expect.
void RemoveTemporariesOnInterrupt();

// Test hook: when set, a write fails once this many bytes have gone to the
// temporary file in the current call (simulates a full disk or an I/O error).
// Negative disables it.
void SetAtomicWriteFailureAfterBytesForTesting(long long bytes);

// Test hook: when set, the final rename fails.
void SetAtomicRenameFailureForTesting(bool fail);

// Test hook: when set, flushing the temporary file to the disk fails.
void SetAtomicFlushFailureForTesting(bool fail);

// Test hook: when set, AtomicWriteBatch::Commit() fails as a failed flush of
// the disk would.
void SetAtomicBatchSyncFailureForTesting(bool fail);
