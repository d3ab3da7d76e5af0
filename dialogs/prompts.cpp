#include "dialogs/prompts.h"

#include "document/display_text.h"
#include "resources/resource_ids.h"

namespace {

HINSTANCE InstanceOf(HWND owner) {
    if (owner) return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    return GetModuleHandleW(nullptr);
}

// What a dialog works on travels as its creation parameter and stays in its
// user data for the messages that follow.
template <typename Record>
Record* RecordOf(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<Record*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

struct ResourceIdRecord {
    ResourceId initialValue = 0;
};

INT_PTR CALLBACK ResourceIdDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* record = RecordOf<ResourceIdRecord>(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemInt(dialog, IDC_RESOURCE_ID_FIELD,
                          record ? static_cast<UINT>(record->initialValue) : 0, FALSE);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                wchar_t text[32] = L"";
                GetDlgItemTextW(dialog, IDC_RESOURCE_ID_FIELD, text, 32);
                ResourceId id = 0;
                // A longer text than the buffer holds is cut, and then fails
                // the range check like any number past 65535.
                if (ParseResourceIdField(text, id)) {
                    EndDialog(dialog, id);
                } else {
                    MessageBoxW(dialog, L"Enter a valid numeric ID.", L"Invalid",
                                MB_OK | MB_ICONWARNING);
                }
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

struct OverwriteRecord {
    const wchar_t* question = L"";
};

INT_PTR CALLBACK ResourceExistsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* record = RecordOf<OverwriteRecord>(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG:
            if (record) SetDlgItemTextW(dialog, IDC_OVERWRITE_QUESTION, record->question);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                case IDYES:
                case IDNO:
                case kYesToAll:
                case kNoToAll:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CreateNewDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                    EndDialog(dialog, static_cast<INT_PTR>(BitmapSource::Cancel));
                    return TRUE;
                case IDC_NEW_FROM_FILE:
                    EndDialog(dialog, static_cast<INT_PTR>(BitmapSource::File));
                    return TRUE;
                case IDC_NEW_FROM_FOLDER:
                    EndDialog(dialog, static_cast<INT_PTR>(BitmapSource::Folder));
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

BitmapSource AskBitmapSource(HWND owner) {
    const INT_PTR answer = DialogBoxParamW(InstanceOf(owner), MAKEINTRESOURCEW(IDD_NEW_CONTAINER),
                                           owner, CreateNewDialogProc, 0);
    switch (answer) {
        case static_cast<INT_PTR>(BitmapSource::File):
            return BitmapSource::File;
        case static_cast<INT_PTR>(BitmapSource::Folder):
            return BitmapSource::Folder;
        default:
            return BitmapSource::Cancel;  // also a dialog that could not be shown
    }
}

ResourceId PromptResourceId(HWND owner, ResourceId initialValue) {
    ResourceIdRecord record{initialValue};
    const INT_PTR result =
        DialogBoxParamW(InstanceOf(owner), MAKEINTRESOURCEW(IDD_RESOURCE_ID), owner,
                        ResourceIdDialogProc, reinterpret_cast<LPARAM>(&record));
    // -1 when the dialog could not be shown: the same as a cancel.
    return result > 0 ? static_cast<ResourceId>(result) : 0;
}

int AskOverwrite(HWND owner, const std::wstring& question) {
    OverwriteRecord record{question.c_str()};
    return static_cast<int>(
        DialogBoxParamW(InstanceOf(owner), MAKEINTRESOURCEW(IDD_RESOURCE_EXISTS), owner,
                        ResourceExistsDialogProc, reinterpret_cast<LPARAM>(&record)));
}

OverwriteAnswer AskOverwriteAnswer(HWND owner, const std::wstring& question) {
    switch (AskOverwrite(owner, question)) {
        case IDYES:
            return OverwriteAnswer::Yes;
        case IDNO:
            return OverwriteAnswer::No;
        case kYesToAll:
            return OverwriteAnswer::YesToAll;
        case kNoToAll:
            return OverwriteAnswer::NoToAll;
        case IDCANCEL:
            return OverwriteAnswer::Cancel;
        default:
            return OverwriteAnswer::NotShown;
    }
}

int AskImportMode(HWND owner) {
    return MessageBoxW(owner,
                       L"Use numeric file names as resource IDs?\n\n"
                       L"Yes: Use numeric file names (e.g., 01234.bmp \u2192 ID 1234)\n"
                       L"No:  Choose a starting resource ID; files are imported in numeric-file "
                       L"order and IDs increment by 1",
                       L"Import Mode", MB_YESNOCANCEL | MB_ICONQUESTION);
}

// Esc does not close these dialogs: only their button, Enter and the close box.
INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

void ShowInfoDialog(HWND owner, int templateId) {
    DialogBoxParamW(InstanceOf(owner), MAKEINTRESOURCEW(templateId), owner, InfoDialogProc, 0);
}
