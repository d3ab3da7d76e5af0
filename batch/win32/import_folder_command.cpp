#include "batch/win32/import_folder_command.h"

#include <string>
#include <vector>

#include "batch/folder_numbering.h"
#include "batch/numbered_scan.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/png_convert.h"
#include "dialogs/pickers.h"
#include "dialogs/progress_window.h"
#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"

namespace {

// Every scanned or dropped file goes through here, so that a taken ID is
// asked about and a file without an ID is counted the same way whichever
// way it came.
void StoreNumberedFiles(AppState& app, const std::vector<NumberedBitmapFile>& files,
                        FolderNumbering& numbering, std::size_t shadowed) {
    {
        WaitCursor wait;
        ProgressWindow progress(app.mainWindow, L"Import", ProgressVerb::Importing, files.size());
        OverwritePolicy policy;
        std::size_t done = 0;
        // A cancelled run keeps what it stored, as the end of a full one does.
        for (auto file = files.begin(); file != files.end() && progress.Step(done);
             ++file, ++done) {
            // Every scanned file spends its sequential ID, stored or not.
            const auto id = numbering.Take(*file);
            if (!id) continue;
            std::vector<std::uint8_t> bytes;
            if (!ReadWholeFile(file->path, bytes)) continue;
            bool store = true;
            if (app.doc.bitmaps.count(*id) != 0) {
                store = policy.OverwriteWithoutAsking();
                if (policy.NeedsQuestion()) {
                    store =
                        policy.Answer(AskOverwriteAnswer(app.mainWindow, OverwriteQuestion(*id)));
                    progress.RestartClock();
                }
            }
            // A file that is not a bitmap file is left out without a word.
            if (store) StoreImageFile(app.doc, *id, bytes);
        }
    }
    RefreshViews(app);
    if (numbering.leftOut() > 0 || shadowed > 0) {
        MessageBoxW(app.mainWindow,
                    LeftOutMessage(numbering.leftOut(), static_cast<int>(shadowed)).c_str(),
                    L"Import", MB_OK | MB_ICONINFORMATION);
    }
}

}  // namespace

void ImportBitmapFolder(AppState& app) {
    if (!app.doc.loaded) {
        MessageBoxW(app.mainWindow, L"Open or create an OBK first.", L"Info",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::wstring folder;
    if (!PickFolder(app.mainWindow, folder)) return;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';

    const int mode = AskImportMode(app.mainWindow);
    if (mode == IDCANCEL) return;
    FolderNumbering numbering = FolderNumbering::Numeric();
    if (mode != IDYES) {
        const ResourceId start = PromptResourceId(app.mainWindow, 101);
        if (start <= 0) return;
        numbering = FolderNumbering::Sequential(start);
    }

    std::vector<NumberedBitmapFile> files;
    ScanNumberedBitmaps(folder, files);
    const std::size_t shadowed = TakeBitmapsOverPngs(files);
    if (files.empty()) {
        MessageBoxW(app.mainWindow, L"No 5-digit numeric *.bmp files found.", L"Import",
                    MB_OK | MB_ICONINFORMATION);
        return;
    }

    StoreNumberedFiles(app, files, numbering, shadowed);
}

void ImportNumberedFiles(AppState& app, std::vector<NumberedBitmapFile> files) {
    if (!RequireOpenDocument(app)) return;
    const std::size_t shadowed = TakeBitmapsOverPngs(files);
    FolderNumbering numbering = FolderNumbering::Numeric();
    StoreNumberedFiles(app, files, numbering, shadowed);
}
