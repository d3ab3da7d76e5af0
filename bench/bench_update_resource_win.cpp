// The platform's resource update (BeginUpdateResourceW, UpdateResourceW with
// a GlobalAlloc block per bitmap, EndUpdateResourceW) against SaveContainer
// on the same store, and the platform's loader against LoadContainer. Run by
// hand: scripts/wine-run.sh orvix_bench_update_resource.exe [count] [bytes]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "document/blank_container.h"
#include "document/container_io.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::wstring TempPath(const wchar_t* leaf) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + leaf;
}

bool PlatformSave(const BitmapStore& store, const std::wstring& path) {
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

BOOL CALLBACK CopyBitmap(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR context) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(2));
    DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* p = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (p && size) {
        (*reinterpret_cast<BitmapStore*>(
            context))[static_cast<ResourceId>(reinterpret_cast<ULONG_PTR>(name))]
            .assign(p, p + size);
    }
    return TRUE;
}

bool PlatformLoad(const std::wstring& path, BitmapStore& store) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(2), CopyBitmap, reinterpret_cast<LONG_PTR>(&store));
    FreeLibrary(module);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 65535;
    const std::size_t bytes = argc > 2 ? static_cast<std::size_t>(std::atoll(argv[2])) : 1024;
    BitmapStore store;
    for (int id = 1; id <= count; ++id) {
        DibPayload& p = store[id];
        p.resize(bytes);
        for (std::size_t i = 0; i < bytes; i += 64)
            p[i] = static_cast<std::uint8_t>(id + i);
    }

    const std::wstring platformPath = TempPath(L"orvix-bench-platform.obk");
    const std::wstring oursPath = TempPath(L"orvix-bench-ours.obk");
    if (!WriteBlankContainer(platformPath, true) || !WriteBlankContainer(oursPath, true)) {
        std::printf("cannot write the blank images\n");
        return 1;
    }

    double t0 = Now();
    const bool platformSaved = PlatformSave(store, platformPath);
    const double platformSave = Now() - t0;

    ContainerDoc doc;
    doc.path = oursPath;
    doc.bitmaps = store;
    t0 = Now();
    const bool oursSaved = SaveContainer(doc, oursPath);
    const double oursSave = Now() - t0;

    BitmapStore viaPlatform;
    t0 = Now();
    const bool platformLoaded = oursSaved && PlatformLoad(oursPath, viaPlatform);
    const double platformLoad = Now() - t0;

    ContainerDoc loaded;
    t0 = Now();
    const bool oursLoaded = oursSaved && LoadContainer(loaded, oursPath);
    const double oursLoad = Now() - t0;

    ContainerDoc platformFile;
    const bool platformReadable =
        platformSaved && LoadContainer(platformFile, platformPath) && platformFile.bitmaps == store;

    std::printf("%d bitmaps of %zu bytes\n", count, bytes);
    std::printf(
        "save: platform resource update %s %.1f ms (file holds the store: %s), SaveContainer %s "
        "%.1f ms (%.2fx)\n",
        platformSaved ? "ok" : "FAILED", platformSave * 1e3, platformReadable ? "yes" : "NO",
        oursSaved ? "ok" : "FAILED", oursSave * 1e3, platformSave / oursSave);
    std::printf(
        "load of our file: platform loader %s %.1f ms (%zu bitmaps), LoadContainer %s %.1f ms"
        " (%zu bitmaps, %s)\n",
        platformLoaded ? "ok" : "FAILED", platformLoad * 1e3, viaPlatform.size(),
        oursLoaded ? "ok" : "FAILED", oursLoad * 1e3, loaded.bitmaps.size(),
        loaded.bitmaps == store && viaPlatform == store ? "identical" : "DIFFERENT");
    DeleteFileW(platformPath.c_str());
    DeleteFileW(oursPath.c_str());
    return platformSaved && oursSaved && oursLoaded ? 0 : 1;
}
