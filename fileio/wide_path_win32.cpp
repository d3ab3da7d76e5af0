#include <windows.h>

#include <string>

#include "fileio/wide_path.h"

std::wstring ExtendedLengthPath(const std::wstring& path) {
    const auto verbatim = [](const std::wstring& p) {
        return p.starts_with(L"\\\\?\\") || p.starts_with(L"\\\\.\\");
    };
    if (verbatim(path)) return path;
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        // Asked again when the current folder grew between the two calls.
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    // A device name (NUL, COM1) comes back as \\.\NUL.
    if (verbatim(full)) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
