// Reading a file into memory in one piece.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file. False when it cannot be opened, is empty, or the read
// delivers fewer bytes than its length; out is then left as it was.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& out);
