// The program's own modal dialogs: the Resource ID prompt, the Resource
// Exists question and the two Help dialogs. Each takes its owner window and
// a plain value in, and gives an answer out.
#pragma once

#include <windows.h>

#include <string>

#include "document/container_doc.h"
#include "document/renumber.h"
#include "resources/resource_ids.h"

// Answers of AskOverwrite besides IDYES, IDNO and IDCANCEL.
inline constexpr int kYesToAll = IDC_YES_TO_ALL;
inline constexpr int kNoToAll = IDC_NO_TO_ALL;

// Asks for a resource ID with initialValue filled in. The ID entered (1 to
// 65535), or 0 when the user cancelled or the dialog could not be shown.
ResourceId PromptResourceId(HWND owner, ResourceId initialValue);

// Asks the question with Yes, No, Yes to All and No to All. IDYES, IDNO,
// kYesToAll, kNoToAll, IDCANCEL (Esc or the close box), or -1 when the
// dialog could not be shown.
int AskOverwrite(HWND owner, const std::wstring& question);
// The same question, its answer read for the commands that act on it.
OverwriteAnswer AskOverwriteAnswer(HWND owner, const std::wstring& question);

// Asks whether a numbered folder's bitmaps take their file numbers as IDs
// (IDYES) or consecutive IDs from a starting ID (IDNO); IDCANCEL ends the
// command.
int AskImportMode(HWND owner);

// Where a new container's first bitmaps come from.
enum class BitmapSource { Cancel = 0, File = 1, Folder = 2 };
BitmapSource AskBitmapSource(HWND owner);

// The Keyboard Shortcuts (209) and About (210) dialogs: text and one button.
void ShowInfoDialog(HWND owner, int templateId);
INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
