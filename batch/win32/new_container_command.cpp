#include "batch/win32/new_container_command.h"

#include <string>
#include <utility>
#include <vector>

#include "batch/folder_numbering.h"
#include "batch/numbered_scan.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/png_convert.h"
#include "dialogs/pickers.h"
#include "dialogs/progress_window.h"
#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "document/win32/file_commands.h"

namespace {

using InitialBitmaps = std::vector<std::pair<ResourceId, std::vector<std::uint8_t>>>;

// The File branch: one bitmap under a typed ID. False when the user cancels
// or the file cannot be read.
bool AskForOneBitmap(AppState& app, InitialBitmaps& initial) {
    std::wstring path;
    if (!PickOpenFile(app.mainWindow, kImageFilter, path)) return false;
    const ResourceId id = PromptResourceId(app.mainWindow, 101);
    if (id <= 0) return false;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    initial.emplace_back(id, std::move(bytes));
    return true;
}

// The Folder branch: every numbered bitmap that can be read, numbered as the
// user chooses. False when the user cancels.
bool AskForFolder(AppState& app, InitialBitmaps& initial, int& leftOut, int& shadowedPngs) {
    std::wstring folder;
    if (!PickFolder(app.mainWindow, folder)) return false;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    const int mode = AskImportMode(app.mainWindow);
    if (mode == IDCANCEL) return false;
    std::vector<NumberedBitmapFile> files;
    ScanNumberedBitmaps(folder, files);
    const auto shadowed = static_cast<int>(TakeBitmapsOverPngs(files));
    if (files.empty()) {
        // The new file is made all the same, without bitmaps.
        MessageBoxW(app.mainWindow, L"No 5-digit numeric *.bmp files found.", L"Import",
                    MB_OK | MB_ICONINFORMATION);
        return true;
    }
    FolderNumbering numbering = FolderNumbering::Numeric();
    if (mode != IDYES) {
        const ResourceId start = PromptResourceId(app.mainWindow, 101);
        if (start <= 0) return false;
        numbering = FolderNumbering::Sequential(start);
    }
    WaitCursor wait;
    ProgressWindow progress(app.mainWindow, L"Import", ProgressVerb::Importing, files.size());
    std::size_t done = 0;
    // A cancelled run still makes the file, with the bitmaps read so far.
    for (auto file = files.begin(); file != files.end() && progress.Step(done); ++file, ++done) {
        std::vector<std::uint8_t> bytes;
        // Only a file that was read takes a sequential ID.
        if (!ReadWholeFile(file->path, bytes)) continue;
        if (const auto id = numbering.Take(*file)) initial.emplace_back(*id, std::move(bytes));
    }
    leftOut = numbering.leftOut();
    shadowedPngs = shadowed;
    return true;
}

}  // namespace

void NewContainer(AppState& app, bool is64Bit) {
    if (!SaveOrDropChanges(app)) return;
    std::wstring path;
    if (!PickSaveFile(app.mainWindow, kContainerFilter, L"obk", path)) return;

    InitialBitmaps initial;
    int leftOut = 0, shadowedPngs = 0;
    switch (AskBitmapSource(app.mainWindow)) {
        case BitmapSource::File:
            if (!AskForOneBitmap(app, initial)) return;
            break;
        case BitmapSource::Folder:
            if (!AskForFolder(app, initial, leftOut, shadowedPngs)) return;
            break;
        case BitmapSource::Cancel:
        default:
            return;
    }

    bool created = false;
    bool reset = false;
    bool filled = false;
    {
        WaitCursor wait;
        created = WriteBlankContainer(path, is64Bit);
        if (created) {
            // From here on the previous document is gone.
            app.doc.bitmaps.clear();
            app.doc.loaded = false;
            app.doc.dirty = false;
            app.doc.path = path;
            reset = true;
            created = LoadContainer(app.doc, path);
        }
        if (created) {
            // A file that is not a bitmap file is left out without a word.
            for (const auto& [id, bytes] : initial)
                StoreImageFile(app.doc, id, bytes);
            filled = SaveContainer(app.doc, path);
            // The store then holds exactly what the file holds.
            if (filled) LoadContainer(app.doc, path);
        }
    }
    if (!created) {
        MessageBoxW(app.mainWindow, L"Failed to create new OBK file.", L"Error",
                    MB_OK | MB_ICONERROR);
        if (reset) RefreshViews(app);
        return;
    }
    if (!filled) {
        MessageBoxW(app.mainWindow, L"Failed to write initial bitmaps.", L"Error",
                    MB_OK | MB_ICONERROR);
    }
    RefreshViews(app);
    if (leftOut > 0 || shadowedPngs > 0) {
        MessageBoxW(app.mainWindow, LeftOutMessage(leftOut, shadowedPngs).c_str(), L"Import",
                    MB_OK | MB_ICONINFORMATION);
    }
}
