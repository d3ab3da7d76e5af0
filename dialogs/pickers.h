// The system's file and folder pickers, modal on their owner window.
#pragma once

#include <string>

#include <windows.h>

// Filter strings in the common dialog's format: description, pattern, each
// NUL-terminated, the list ended by an extra NUL.
inline constexpr wchar_t kBitmapFilter[] = L"Bitmap (*.bmp)\0*.bmp\0";
// What Add, Replace and New take: a bitmap or a PNG image.
inline constexpr wchar_t kImageFilter[] = L"Bitmaps and PNG images (*.bmp;*.png)\0*.bmp;*.png\0";
// What Export Bitmap writes: a bitmap, or a PNG image when the name says so.
inline constexpr wchar_t kExportFilter[] = L"Bitmap (*.bmp)\0*.bmp\0PNG image (*.png)\0*.png\0";
inline constexpr wchar_t kContainerFilter[] = L"OBK Files (*.obk)\0*.obk\0";

// True when the user confirmed a choice; out then holds the full path.
// False on cancel or failure, with out untouched.
bool PickOpenFile(HWND owner, const wchar_t* filter, std::wstring& out);
bool PickSaveFile(HWND owner, const wchar_t* filter, const wchar_t* defaultExtension,
                  std::wstring& out);
bool PickFolder(HWND owner, std::wstring& out);
