// The platform's own resource functions on a container, the peer figure of
// every Windows benchmark: the resource update for writing (a GlobalAlloc
// block per bitmap, as the platform's documentation shows it) and the image
// loader for reading.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "document/container_doc.h"

inline bool PlatformSave(const BitmapStore& store, const std::wstring& path) {
    HANDLE update = BeginUpdateResourceW(path.c_str(), TRUE);
    if (!update) return false;
    for (const auto& [id, payload] : store) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, payload.size());
        void* p = block ? GlobalLock(block) : nullptr;
        if (!p) {
            if (block) GlobalFree(block);
            EndUpdateResourceW(update, TRUE);
            return false;
        }
        std::memcpy(p, payload.data(), payload.size());
        const BOOL ok =
            UpdateResourceW(update, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(static_cast<WORD>(id)), 0,
                            p, static_cast<DWORD>(payload.size()));
        GlobalUnlock(block);
        GlobalFree(block);
        if (!ok) {
            EndUpdateResourceW(update, TRUE);
            return false;
        }
    }
    return EndUpdateResourceW(update, FALSE) != FALSE;
}

inline BOOL CALLBACK CopyBitmap(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR context) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(2));
    DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* p = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (p && size) {
        (*reinterpret_cast<BitmapStore*>(
            context))[static_cast<ResourceId>(reinterpret_cast<ULONG_PTR>(name))] =
            DibPayload(p, p + size);
    }
    return TRUE;
}

inline bool PlatformLoad(const std::wstring& path, BitmapStore& store) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(2), CopyBitmap, reinterpret_cast<LONG_PTR>(&store));
    FreeLibrary(module);
    return true;
}
