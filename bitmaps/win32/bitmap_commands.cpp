#include "bitmaps/win32/bitmap_commands.h"

#include <cstdint>
#include <string>
#include <vector>

#include "batch/drop_plan.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/png_convert.h"
#include "dialogs/pickers.h"
#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"
#include "fileio/whole_file.h"

namespace {

// The ID offered for every new bitmap, whatever the store holds: the first
// ID of the resource-script convention, so a user who adds one at a time
// types over it.
constexpr ResourceId kProposedBitmapId = 101;

// False, with nothing said, when the file is empty or cannot be read: the
// picker already showed it existed, so there is nothing more to tell.
bool StoreChosenFile(AppState& app, ResourceId id, const std::wstring& path, bool& refused) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    refused = !StoreImageFile(app.doc, id, bytes);
    return true;
}

void PutFileInPlace(AppState& app, ResourceId id, const std::wstring& path) {
    bool refused = false;
    if (!StoreChosenFile(app, id, path, refused)) return;
    if (refused) {
        MessageBoxW(app.mainWindow, L"Failed to replace bitmap.", L"Error", MB_OK | MB_ICONERROR);
    }
    WaitCursor wait;
    RefreshViewsAndSelect(app, id);
}

}  // namespace

void AddBitmap(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    std::wstring path;
    if (PickOpenFile(app.mainWindow, kImageFilter, path)) AddBitmapFile(app, path);
}

void AddBitmapFile(AppState& app, const std::wstring& path) {
    if (!RequireOpenDocument(app)) return;
    const ResourceId id = PromptResourceId(app.mainWindow, kProposedBitmapId);
    if (id <= 0) return;
    bool refused = false;
    if (!StoreChosenFile(app, id, path, refused)) return;
    if (refused)
        MessageBoxW(app.mainWindow, L"Failed to add bitmap.", L"Error", MB_OK | MB_ICONERROR);
    WaitCursor wait;  // rebuilding a list of tens of thousands of rows takes a moment
    RefreshViews(app);
}

void ReplaceBitmap(AppState& app) {
    if (!app.doc.loaded) return;
    ResourceId id = 0;
    if (!RequireSelection(app, L"Select a bitmap to replace.", id)) return;
    std::wstring path;
    if (PickOpenFile(app.mainWindow, kImageFilter, path)) PutFileInPlace(app, id, path);
}

void ReplaceBitmapWithFile(AppState& app, ResourceId id, const std::wstring& path) {
    if (!app.doc.loaded) return;
    // A drop is easily made on the wrong row; a picker is not.
    if (MessageBoxW(app.mainWindow, ReplaceDropQuestion(id, path).c_str(), L"Replace Bitmap",
                    MB_YESNO | MB_ICONQUESTION) == IDYES)
        PutFileInPlace(app, id, path);
}

void ExportBitmap(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    ResourceId id = 0;
    if (!RequireSelection(app, L"Select a bitmap to export.", id)) return;
    std::wstring path;
    // No name is proposed; the save dialog asks before replacing a file.
    if (!PickSaveFile(app.mainWindow, kExportFilter, L"bmp", path)) return;
    const bool written =
        NamesPngFile(path) ? WritePngFile(app.doc, id, path) : WriteBitmapFile(app.doc, id, path);
    if (!written) {
        MessageBoxW(app.mainWindow, L"Failed to export bitmap.", L"Error", MB_OK | MB_ICONERROR);
    }
}
