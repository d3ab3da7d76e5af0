// The platform's resource update (BeginUpdateResourceW, UpdateResourceW with
// a GlobalAlloc block per bitmap, EndUpdateResourceW) against SaveContainer
// on the same store, and the platform's loader against LoadContainer. Run by
// hand: scripts/wine-run.sh orvix_bench_update_resource.exe [count] [bytes]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_common.h"
#include "bench/platform_resources_win.h"
#include "document/blank_container.h"
#include "document/container_io.h"

using namespace bench;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 65535;
    // At least a header and a pixel, as Dib makes them.
    const std::size_t bytes =
        std::max<std::size_t>(44, argc > 2 ? static_cast<std::size_t>(std::atoll(argv[2])) : 1024);
    const BitmapStore store = NumberedStore(count, bytes);

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
