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
