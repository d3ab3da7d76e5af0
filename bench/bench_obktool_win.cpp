// obktool.exe new and import of a numbered folder beside what a Windows
// build script would otherwise write: read each .bmp file and hand it to the
// platform's resource update (BeginUpdateResourceW, UpdateResourceW,
// EndUpdateResourceW) on a blank container. obktool's figures are whole
// processes, start-up included. Run by hand under Wine:
//   scripts/wine-run.sh build/windows/bench/orvix_bench_obktool.exe [count] [bytes]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "batch/numbered_scan.h"
#include "bench/bench_common.h"
#include "bench/platform_resources_win.h"
#include "bitmaps/bitmap_codec.h"
#include "document/blank_container.h"
#include "document/container_io.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

// Seconds of one obktool.exe run, or -1 when it failed.
double RunObktool(const std::wstring& args) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    fs::path tool = fs::path(self).parent_path().parent_path() / "cli" / "obktool.exe";
    std::wstring line = L"\"" + tool.wstring() + L"\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double t0 = Now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    const double seconds = Now() - t0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status == 0 ? seconds : -1;
}

// Reads every numbered file of folder into a store, as a script would before
// the platform's update; the file header is what a resource leaves out.
bool ReadFolder(const std::wstring& folder, BitmapStore& store) {
    std::vector<NumberedBitmapFile> files;
    ScanNumberedBitmaps(folder + L"\\", files);
    ContainerDoc doc;
    for (const NumberedBitmapFile& file : files) {
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(file.path, bytes) || !StoreBitmapFile(doc, file.number, bytes)) {
            return false;
        }
    }
    store = std::move(doc.bitmaps);
    return !store.empty();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    // At least a header and a row of pixels.
    const std::size_t bytes =
        std::max<std::size_t>(64, argc > 2 ? static_cast<std::size_t>(std::atoll(argv[2])) : 16384);
    const fs::path dir = fs::temp_directory_path() / "orvix-bench-obktool";
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    ContainerDoc source;
    for (int id = 1; id <= count; ++id) {
        source.bitmaps[id] = Dib(id, bytes);
        wchar_t name[16];
        std::swprintf(name, 16, L"%05d.bmp", id);
        if (!WriteBitmapFile(source, id, (dir / "in" / name).wstring())) {
            std::printf("cannot write the input folder\n");
            return 1;
        }
    }
    const std::wstring blank = (dir / "blank.obk").wstring();
    const std::wstring platform = (dir / "platform.obk").wstring();
    WriteBlankContainer(blank, false);
    CopyFileW(blank.c_str(), platform.c_str(), FALSE);

    const std::wstring in = (dir / "in").wstring();
    BitmapStore read;
    double t0 = Now();
    const bool platformDone = ReadFolder(in, read) && PlatformSave(read, platform);
    const double platformSeconds = Now() - t0;

    const std::wstring made = (dir / "made.obk").wstring();
    const std::wstring imported = (dir / "imported.obk").wstring();
    const double newSeconds = RunObktool(L"new -q \"" + made + L"\" --from \"" + in + L"\"");
    const double importSeconds =
        RunObktool(L"import -q \"" + blank + L"\" \"" + in + L"\" -o \"" + imported + L"\"");

    ContainerDoc check;
    const auto holdsAll = [&](const std::wstring& path) {
        return LoadContainer(check, path) && check.bitmaps == source.bitmaps ? "all bitmaps"
                                                                             : "WRONG CONTENT";
    };
    std::printf("%d bitmaps of %zu bytes, from a numbered folder to a container\n", count, bytes);
    std::printf("  platform: read files + resource update  %8.2f s  %s\n", platformSeconds,
                platformDone ? holdsAll(platform) : "FAILED");
    const auto line = [&](const char* what, double seconds, const std::wstring& path) {
        if (seconds < 0) {
            std::printf("  %-40s failed\n", what);
        } else {
            std::printf("  %-40s %8.2f s  %5.2fx platform, %s\n", what, seconds,
                        seconds / platformSeconds, holdsAll(path));
        }
    };
    line("obktool.exe new --from DIR", newSeconds, made);
    line("obktool.exe import (into a blank)", importSeconds, imported);
    fs::remove_all(dir);
    return 0;
}
