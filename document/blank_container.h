// The blank image new containers start from.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pe {

// The 512-byte image of an empty container: headers and one empty section,
// no resources. PE32 for x86 when is64Bit is false, PE32+ for x86-64 when true.
inline constexpr std::size_t kBlankImageSize = 512;
std::array<std::uint8_t, kBlankImageSize> MakeBlankImage(bool is64Bit);

}  // namespace pe

// Writes the 512-byte blank image (PE32 when is64Bit is false, PE32+ when
// true), replacing any file at path atomically.
bool WriteBlankContainer(const std::wstring& path, bool is64Bit);
