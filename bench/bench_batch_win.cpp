// The batch commands in the real main window with a folder of numbered
// bitmaps, as a user meets them: Import Bitmap Folder into an empty open
// container until the list is full, New from the same folder, Export All
// beside copying the same files with the system (CopyFileW one by one, and
// the shell's SHFileOperationW), and Save of the result. Each command is sent
// as its menu item would send it; its dialogs are answered from a timer
// inside their own modal loops, and the time they were on screen is left out.
// Figures are printed beside their targets as ratios (below 1 meets the
// target); nothing is asserted. Needs a display:
//   xvfb-run scripts/wine-run.sh <build>/bench/orvix_bench_batch.exe [count]
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/numbered_scan.h"
#include "bench/bench_common.h"
#include "bench/bench_window_win.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "document/win32/app_state.h"
#include "fileio/whole_file.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

using namespace bench;

namespace {

constexpr double kImportTarget = 1.5;       // seconds, command to a full list
constexpr double kExportRatioTarget = 3.0;  // times the system's copy of the same files
constexpr std::int32_t kSide = 32;          // 32 x 32 x 32 bits: 4 KiB of pixels

std::wstring NumberedName(int id) {
    wchar_t name[16];
    std::swprintf(name, 16, L"%05d.bmp", id);
    return name;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// An empty folder of that name: files an earlier run left are removed.
std::wstring FreshFolder(const std::wstring& leaf) {
    const std::wstring folder = TempPath(leaf) + L"\\";
    EmptyFolder(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A bottom-up 32-bit BI_RGB .bmp file with varied pixels.
std::vector<std::uint8_t> BitmapFile(int seed) {
    const std::size_t pixels = 4 * static_cast<std::size_t>(kSide) * kSide;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    info.biSize = sizeof info;
    info.biWidth = kSide;
    info.biHeight = kSide;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::vector<std::uint8_t> bytes(file.bfSize);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&file), sizeof file, bytes.begin());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&info), sizeof info,
                bytes.begin() + sizeof file);
    for (std::size_t i = file.bfOffBits; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + static_cast<std::size_t>(seed));
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

int FileCount(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.bmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

void Breakdown(const CommandTiming& timing) {
    Figure("  command to its end, dialogs included", timing.total);
    Figure("  dialogs on screen (each answered after 0.3 s)", timing.onScreen);
    Figure("  last dialog closed to the end", timing.afterLast);
}

std::wstring WithoutSlash(const std::wstring& folder) {
    return folder.substr(0, folder.size() - 1);
}

}  // namespace

int main(int argc, char** argv) {
    const GuiSession session;
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 65535) : 10000;

    const std::wstring source = FreshFolder(L"orvix-bench-batch-in");
    const std::wstring exported = FreshFolder(L"orvix-bench-batch-out");
    const std::wstring copied = FreshFolder(L"orvix-bench-batch-copy");
    const std::wstring shellCopied = FreshFolder(L"orvix-bench-batch-shell");
    const std::wstring empty = TempPath(L"orvix-bench-batch-empty.obk");
    const std::wstring created = TempPath(L"orvix-bench-batch-new.obk");
    DeleteFileW(created.c_str());
    for (int id = 1; id <= count; ++id) {
        if (!WriteBytes(source + NumberedName(id), BitmapFile(id))) {
            std::printf("cannot write the bitmap folder\n");
            return 1;
        }
    }
    std::printf("%d numbered bitmap files of %zu bytes\n", count, BitmapFile(0).size());

    BenchWindow window;
    if (!window.Open()) return 1;
    AppState& app = window.app;
    if (!WriteBlankContainer(empty, false) || !LoadContainer(app.doc, empty)) {
        std::printf("cannot open an empty container\n");
        return 1;
    }
    RefreshViews(app);
    window.Pump(0.2);
    bool ok = true;

    std::printf("Import Bitmap Folder, by file numbers, into the empty container:\n");
    CommandTiming timing = window.RunCommand(
        CMD_IMPORT_FOLDER,
        {{L"Select Folder", {WithoutSlash(source), IDOK}}, {L"Import Mode", {L"", IDYES}}});
    std::printf("  the list has %d rows\n", window.Rows());
    ok = window.Rows() == count && ok;
    Breakdown(timing);
    Report("  command to a full list, dialogs left out", timing.Work(), kImportTarget);
    // The two halves of the import on their own: the files, then the list.
    double t = Now();
    std::vector<NumberedBitmapFile> files;
    ScanNumberedBitmaps(source, files);
    std::size_t bytesRead = 0;
    for (const NumberedBitmapFile& file : files) {
        std::vector<std::uint8_t> bytes;
        if (ReadWholeFile(file.path, bytes)) bytesRead += bytes.size();
    }
    Figure("  for scale: scanning and reading the files alone", Now() - t);
    ok = bytesRead == static_cast<std::size_t>(count) * BitmapFile(0).size() && ok;
    // The same reads straight through the system, without the portable layer.
    t = Now();
    std::size_t systemRead = 0;
    for (const NumberedBitmapFile& file : files) {
        HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size{};
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (GetFileSizeEx(handle, &size)) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
            DWORD got = 0;
            if (ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
                systemRead += got;
        }
        CloseHandle(handle);
    }
    Figure("  for scale: CreateFileW and ReadFile of the same files", Now() - t);
    ok = systemRead == bytesRead && ok;
    t = Now();
    RefreshViews(app);
    Figure("  for scale: RefreshViews of the full list alone", Now() - t);
    window.Pump(0.2);

    std::printf("New OBK from the same folder (the import left unsaved: No):\n");
    timing =
        window.RunCommand(CMD_NEW_CONTAINER_32, {{L"Save Changes", {L"", IDNO}},
                                                 {L"Save As", {created, IDOK}},
                                                 {L"Create New OBK", {L"", IDC_NEW_FROM_FOLDER}},
                                                 {L"Select Folder", {WithoutSlash(source), IDOK}},
                                                 {L"Import Mode", {L"", IDYES}}});
    std::printf("  the new file is open with %d rows\n", window.Rows());
    ok = window.Rows() == count && app.doc.path == created && ok;
    Breakdown(timing);
    Figure("  command to a full list, dialogs left out", timing.Work());
    window.Pump(0.2);

    std::printf("Export All of %d bitmaps:\n", count);
    timing =
        window.RunCommand(CMD_EXPORT_ALL, {{L"Select Folder", {WithoutSlash(exported), IDOK}}});
    const int written = FileCount(exported);
    std::printf("  %d files written\n", written);
    ok = written == count && ok;
    Breakdown(timing);
    Figure("  command to its end, dialogs left out", timing.Work());

    t = Now();
    bool copiedAll = true;
    for (int id = 1; id <= count; ++id) {
        copiedAll = CopyFileW((source + NumberedName(id)).c_str(),
                              (copied + NumberedName(id)).c_str(), FALSE) &&
                    copiedAll;
    }
    const double copyTime = Now() - t;
    Figure(copiedAll ? "  for scale: CopyFileW of the same files, one by one"
                     : "  for scale: CopyFileW of the same files (SOME FAILED)",
           copyTime);

    // The shell's own copy: a double-terminated list of sources.
    std::wstring from = source + L"*.bmp";
    from.push_back(L'\0');
    std::wstring to = WithoutSlash(shellCopied);
    to.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = app.mainWindow;
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_NO_UI;
    t = Now();
    const int shellResult = SHFileOperationW(&operation);
    const double shellTime = Now() - t;
    std::printf("%-56s %9.1f ms  (%d files%s)\n", "  for scale: SHFileOperationW FO_COPY",
                shellTime * 1e3, FileCount(shellCopied), shellResult == 0 ? "" : ", FAILED");
    // The target is set against the shell's copy; the plain loop is for scale.
    std::printf(
        "  Export All / SHFileOperationW: %.2f (%.2f of the %.0fx target);  "
        "Export All / CopyFileW loop: %.2f\n",
        timing.Work() / shellTime, timing.Work() / shellTime / kExportRatioTarget,
        kExportRatioTarget, timing.Work() / copyTime);

    std::printf("Save of the %d-bitmap container:\n", count);
    timing = window.RunCommand(CMD_SAVE, {});
    ok = !app.doc.dirty && ok;
    Figure("  command to its end", timing.total);
    t = Now();
    const std::wstring copyOfContainer = TempPath(L"orvix-bench-batch-copy.obk");
    CopyFileW(created.c_str(), copyOfContainer.c_str(), FALSE);
    Figure("  for scale: CopyFileW of the saved file", Now() - t);

    for (const std::wstring& path : {empty, created, copyOfContainer})
        DeleteFileW(path.c_str());
    for (const std::wstring& folder : {source, exported, copied, shellCopied}) {
        EmptyFolder(folder);
        RemoveDirectoryW(folder.c_str());
    }
    std::printf("%s\n", ok ? "every command did its work" : "A COMMAND DID NOT DO ITS WORK");
    return ok ? 0 : 1;
}
