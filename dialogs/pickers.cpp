#include "dialogs/pickers.h"

#include <commdlg.h>
#include <shobjidl.h>

namespace {

constexpr DWORD kPathBufferLength = 260;

bool PickFile(HWND owner, const wchar_t* filter, const wchar_t* defaultExtension, DWORD flags,
              BOOL(WINAPI* show)(LPOPENFILENAMEW), std::wstring& out) {
    wchar_t file[kPathBufferLength] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kPathBufferLength;
    dialog.lpstrDefExt = defaultExtension;
    // The process's current folder would hold the chosen one open: the user
    // could neither remove nor rename it while the program runs.
    dialog.Flags = flags | OFN_NOCHANGEDIR;
    if (!show(&dialog)) return false;
    out = file;
    return true;
}

}  // namespace

bool PickOpenFile(HWND owner, const wchar_t* filter, std::wstring& out) {
    return PickFile(owner, filter, nullptr, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, GetOpenFileNameW,
                    out);
}

bool PickSaveFile(HWND owner, const wchar_t* filter, const wchar_t* defaultExtension,
                  std::wstring& out) {
    return PickFile(owner, filter, defaultExtension, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST,
                    GetSaveFileNameW, out);
}

bool PickFolder(HWND owner, std::wstring& out) {
    IFileDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileDialog, reinterpret_cast<void**>(&dialog)))) {
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    bool picked = false;
    IShellItem* item = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
        PWSTR path = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            out = path;
            CoTaskMemFree(path);
            picked = true;
        }
        item->Release();
    }
    dialog->Release();
    return picked;
}
