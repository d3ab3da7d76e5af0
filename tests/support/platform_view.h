// What the platform's own image loader reports for a file, for the Windows
// tests that use it as the judge of the containers we write.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "document/container_doc.h"
#include "support/test_files.h"

namespace orvix_test {

inline fs::path ExeDir() {
    wchar_t path[MAX_PATH];
    return fs::path(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH))).parent_path();
}

// The numeric-ID bitmaps as the document would hold them, and the languages
// each is present in.
struct PlatformView {
    bool mapped = false;
    BitmapStore bitmaps;
    std::map<int, std::vector<WORD>> languages;
};

inline BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

inline BOOL CALLBACK CollectBitmap(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR view) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    PlatformView& v = *reinterpret_cast<PlatformView*>(view);
    const auto key = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    HRSRC found = FindResourceW(module, name, type);
    const DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    const auto* p = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (p) v.bitmaps[key] = Bytes(p, p + size);
    EnumResourceLanguagesW(module, type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&v.languages[key]));
    return TRUE;
}

inline PlatformView AskPlatform(const fs::path& path, DWORD flags = LOAD_LIBRARY_AS_DATAFILE) {
    PlatformView view;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, flags);
    if (!module) return view;
    view.mapped = true;
    EnumResourceNamesW(module, RT_BITMAP, CollectBitmap, reinterpret_cast<LONG_PTR>(&view));
    FreeLibrary(module);
    return view;
}

}  // namespace orvix_test
