// Whole-file replacement that never leaves a half-written destination.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Writes bytes to a temporary file in the destination's folder, flushes it to
// the disk and renames it over path. On any failure the file at path is as it
// was and no temporary file is left.
bool WriteFileAtomically(const std::wstring& path, std::span<const std::uint8_t> bytes);

// Streaming form for large outputs: produce() is called once with a sink that
// appends bytes to the temporary file; the sink returns false once a write has
// failed, and produce() returns false to abandon. Same guarantees as above.
using AtomicWriteSink = std::function<bool(std::span<const std::uint8_t>)>;
bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce);

// Test hook: when set, a write fails once this many bytes have gone to the
// temporary file in the current call (simulates a full disk or an I/O error).
// Negative disables it.
void SetAtomicWriteFailureAfterBytesForTesting(long long bytes);

// Test hook: when set, the final rename fails.
void SetAtomicRenameFailureForTesting(bool fail);
