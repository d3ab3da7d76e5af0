#include "bitmaps/win32/export_commands.h"

#include <string>

#include "bitmaps/export_all.h"
#include "bitmaps/export_range.h"
#include "dialogs/pickers.h"
#include "dialogs/progress_window.h"
#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"

namespace {

// The first ID of the resource-script convention, the usual start of a set.
constexpr ResourceId kProposedFirstId = 101;

}  // namespace

void ExportBitmapRange(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    std::wstring folder;
    if (!PickFolder(app.mainWindow, folder)) return;
    const ResourceId first = PromptResourceId(app.mainWindow, kProposedFirstId);
    if (first <= 0) return;
    // Proposing the first answer makes a single ID one Enter away.
    const ResourceId second = PromptResourceId(app.mainWindow, first);
    if (second <= 0) return;
    RangeExportCounts counts;
    {
        WaitCursor wait;
        ProgressWindow progress(app.mainWindow, L"Export Range", ProgressVerb::Exporting,
                                StoredIdsInRange(app.doc.bitmaps, first, second).size());
        counts = ExportBitmapsInRange(app.doc, folder, first, second,
                                      [&](std::size_t done) { return progress.Step(done); });
    }
    MessageBoxW(app.mainWindow, RangeExportSummary(counts).c_str(), L"Export Range",
                MB_OK | MB_ICONINFORMATION);
}

void ExportAllCommand(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    std::wstring folder;
    if (!PickFolder(app.mainWindow, folder)) return;
    bool exported = false;
    {
        WaitCursor wait;
        ProgressWindow progress(app.mainWindow, L"Export All", ProgressVerb::Exporting,
                                app.doc.bitmaps.size());
        exported = ExportAllBitmaps(app.doc, folder,
                                    [&](std::size_t done) { return progress.Step(done); });
    }
    if (!exported) {
        MessageBoxW(app.mainWindow, L"Failed to export one or more bitmaps.", L"Error",
                    MB_OK | MB_ICONERROR);
    }
}
