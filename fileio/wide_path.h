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

// A file-system path back to a wide string, as locale-independent as
// WidePath. Throws where the name is not valid UTF-8 on POSIX.
inline std::wstring WideFromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    const std::u32string text = path.u32string();
    return std::wstring(text.begin(), text.end());
#endif
}

#ifdef _WIN32
// The \\?\ form of path: made full and normalised the way the platform reads
// any other path (current folder, "." and "..", slashes, trailing dots and
// spaces), with \\server\share becoming \\?\UNC\server\share. File functions
// take that form at any length, where the plain one stops short of MAX_PATH.
// A path already in \\?\ or \\.\ form is returned as it is; empty when the
// path cannot be made full.
std::wstring ExtendedLengthPath(const std::wstring& path);
#endif
