// Which characters end a folder name in a path string, and which one Orvix
// adds when it joins a folder and a name.
#pragma once

// Windows takes both slashes; elsewhere a backslash is an ordinary character
// of a name.
inline bool IsPathSeparator(wchar_t c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == L'/';
#endif
}

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif
