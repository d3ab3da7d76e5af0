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
