// Creating a file that must not exist yet, in one pass.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Creates path, failing when anything is already there, holding head then
// body. Cheaper than an atomic replacement (no temporary name, no rename),
// which a file nobody has seen yet does not need: on any failure the file is
// removed again, so no partial file is left. Not flushed to the disk.
bool WriteNewFile(const std::wstring& path, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body);

// Writes an exported copy to path, as cp would: a new file is created
// directly (WriteNewFile); a file already there is replaced through a
// temporary name (WriteFileAtomically), so neither is ever left half written.
// Nothing is flushed: after a power cut the copy may be missing or empty,
// and is made again from where it came from.
bool WriteCopyFile(const std::wstring& path, std::span<const std::uint8_t> head,
                   std::span<const std::uint8_t> body);
