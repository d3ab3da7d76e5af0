// Wide paths to file-system paths, the same on every platform.
#pragma once

#include <filesystem>
#include <string>

// On POSIX wchar_t holds UTF-32; the char32_t form converts to the UTF-8 of
// the file system whatever the process locale, where the wchar_t form would
// refuse anything outside ASCII under the default "C" locale.
inline std::filesystem::path WidePath(const std::wstring& text) {
#ifdef _WIN32
    return std::filesystem::path(text);
#else
    return std::filesystem::path(std::u32string(text.begin(), text.end()));
#endif
}
