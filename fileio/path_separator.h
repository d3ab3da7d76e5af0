// Which characters end a folder name in a path string, and which one Orvix
// adds when it joins a folder and a name.
#pragma once

#include <string>
#include <string_view>

// Windows takes both slashes; elsewhere a backslash is an ordinary character
// of a name.
inline bool IsPathSeparator(wchar_t c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == L'/';
#endif
}

// True when name ends in suffix (given in lower case), ASCII letters in any
// case: how file-name extensions are told apart.
inline bool EndsWithAsciiNoCase(const std::wstring& name, std::wstring_view suffix) {
    if (name.size() < suffix.size()) return false;
    for (std::size_t i = 0, at = name.size() - suffix.size(); i < suffix.size(); ++i) {
        wchar_t c = name[at + i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif
