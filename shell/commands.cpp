#include "shell/commands.h"

#include <commctrl.h>

#include <cstdint>

#include "batch/drop_plan.h"
#include "batch/win32/import_folder_command.h"
#include "batch/win32/new_container_command.h"
#include "bitmaps/win32/bitmap_commands.h"
#include "bitmaps/win32/clipboard_commands.h"
#include "bitmaps/win32/export_commands.h"
#include "dialogs/prompts.h"
#include "document/win32/document_commands.h"
#include "document/win32/file_commands.h"
#include "resources/resource_ids.h"
#include "shell/preview_pane.h"

namespace {

// Enough of a file's start to tell a bitmap or PNG image by; a file that
// cannot be read gives nothing, and is refused.
std::vector<std::uint8_t> FileHead(const std::wstring& path) {
    std::vector<std::uint8_t> head(16);
    DWORD read = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    if (!ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) read = 0;
    CloseHandle(file);
    head.resize(read);
    return head;
}

}  // namespace

void DispatchCommand(AppState& app, WORD commandId) {
    switch (commandId) {
        case CMD_OPEN:
            OpenContainerCommand(app);
            break;
        case CMD_SAVE:
            SaveCommand(app);
            break;
        case CMD_SAVE_AS:
            SaveAsCommand(app);
            break;
        case CMD_CLOSE:
            CloseCommand(app);
            break;
        case CMD_CTX_DELETE_BITMAP:
            DeleteBitmapCommand(app);
            break;
        case CMD_EXIT:
            PostMessageW(app.mainWindow, WM_CLOSE, 0, 0);
            break;
        case CMD_ABOUT:
            ShowInfoDialog(app.mainWindow, IDD_ABOUT);
            break;
        case CMD_SHORTCUTS:
            ShowInfoDialog(app.mainWindow, IDD_SHORTCUTS);
            break;
        case CMD_ADD_BITMAP:
        case CMD_CTX_ADD_BITMAP:
            AddBitmap(app);
            break;
        case CMD_CTX_REPLACE_BITMAP:
            ReplaceBitmap(app);
            break;
        case CMD_EXPORT_BITMAP:
        case CMD_CTX_EXPORT_BITMAP:
            ExportBitmap(app);
            break;
        case CMD_CTX_CHANGE_ID:
            ChangeResourceId(app);
            break;
        case CMD_EXPORT_RANGE:
            ExportBitmapRange(app);
            break;
        case CMD_EXPORT_ALL:
            ExportAllCommand(app);
            break;
        case CMD_NEW_CONTAINER_32:
            NewContainer(app, false);
            break;
        case CMD_NEW_CONTAINER_64:
            NewContainer(app, true);
            break;
        case CMD_IMPORT_FOLDER:
            ImportBitmapFolder(app);
            break;
        case CMD_CTX_COPY:
            CopyBitmap(app);
            break;
        case CMD_CTX_PASTE:
            PasteBitmap(app);
            break;
        case CMD_PASTE_OVER:
            PasteOverBitmap(app);
            break;
        case CMD_ZOOM_IN:
            ZoomPreview(app, +1);
            break;
        case CMD_ZOOM_OUT:
            ZoomPreview(app, -1);
            break;
        case CMD_ZOOM_ONE_TO_ONE:
            ShowPreviewOneToOne(app);
            break;
        case CMD_ZOOM_FIT:
            TogglePreviewFit(app);
            break;
        default:
            break;
    }
}

void ShowBitmapContextMenu(AppState& app, POINT screenPoint, HWND target) {
    if (!app.contextMenu) return;
    HMENU menu = GetSubMenu(app.contextMenu, 0);
    if (!menu) return;

    if (target == app.listView && screenPoint.x != -1 && screenPoint.y != -1) {
        // A right click on a row acts on that row: select it first.
        LVHITTESTINFO hit{};
        hit.pt = screenPoint;
        ScreenToClient(app.listView, &hit.pt);
        int row = static_cast<int>(
            SendMessageW(app.listView, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (row >= 0) {
            LVITEMW item{};
            item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
            item.state = LVIS_FOCUSED | LVIS_SELECTED;
            SendMessageW(app.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
        }
    }

    bool loaded = app.doc.loaded;
    bool selected =
        SendMessageW(app.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) >= 0;
    UINT needsFile = loaded ? MF_ENABLED : MF_GRAYED;
    UINT needsRow = loaded && selected ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(menu, CMD_CTX_ADD_BITMAP, MF_BYCOMMAND | needsFile);
    EnableMenuItem(menu, CMD_CTX_REPLACE_BITMAP, MF_BYCOMMAND | needsRow);
    EnableMenuItem(menu, CMD_CTX_DELETE_BITMAP, MF_BYCOMMAND | needsRow);
    EnableMenuItem(menu, CMD_CTX_EXPORT_BITMAP, MF_BYCOMMAND | needsRow);
    EnableMenuItem(menu, CMD_CTX_COPY, MF_BYCOMMAND | needsRow);
    EnableMenuItem(menu, CMD_CTX_PASTE,
                   MF_BYCOMMAND | (loaded && ClipboardHoldsImage() ? MF_ENABLED : MF_GRAYED));

    TrackPopupMenu(menu, TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, 0, app.mainWindow, nullptr);
}

void DropFiles(AppState& app, const std::vector<std::wstring>& paths, const ResourceId* row) {
    std::vector<DroppedFile> files;
    for (const std::wstring& path : paths)
        files.push_back({path, ClassifyDroppedFile(path, FileHead(path))});
    DropPlan plan = PlanDrop(files, row != nullptr);
    switch (plan.action) {
        case DropAction::Open:
            OpenNamedContainer(app, plan.file);
            break;
        case DropAction::Add:
            AddBitmapFile(app, plan.file);
            break;
        case DropAction::Replace:
            ReplaceBitmapWithFile(app, *row, plan.file);
            break;
        case DropAction::Import:
            ImportNumberedFiles(app, std::move(plan.numbered));
            break;
        case DropAction::Nothing:
            break;
    }
    if (!plan.refused.empty()) {
        MessageBoxW(app.mainWindow, DropRefusalMessage(plan.refused).c_str(), L"Info",
                    MB_OK | MB_ICONINFORMATION);
    }
}
