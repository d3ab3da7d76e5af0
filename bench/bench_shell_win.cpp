// The main window with a full container, as a user meets it: File > Open
// answered in the system's dialog until the list holds every row (into the
// fresh window, then again over the open document), the parts of that on
// their own (LoadContainer, RefreshBitmapList), then selecting a 4096 x 4096
// 32-bit bitmap and painting its preview. Figures are printed beside their
// targets as ratios (below 1 meets the target); nothing is asserted.
// Needs a display:
//   xvfb-run scripts/wine-run.sh <build>/bench/orvix_bench_shell.exe [count]
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bench/bench_window_win.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "resources/resource_ids.h"
#include "shell/bitmap_list.h"
#include "shell/main_window.h"

using namespace bench;

namespace {

constexpr double kListTarget = 0.2;
constexpr double kSelectTarget = 0.05;
constexpr double kPaintTarget = 0.05;
constexpr int kBigSide = 4096;

// A bottom-up 32-bit BI_RGB payload, side x side, with varied pixels.
DibPayload SquareDib(std::int32_t side, std::uint8_t seed) {
    const std::size_t pixels = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    std::vector<std::uint8_t> p(sizeof(BITMAPINFOHEADER) + 4 * pixels);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = side;
    header.biHeight = side;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&header), sizeof header, p.begin());
    for (std::size_t i = sizeof header; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return p;
}

// File > Open through the message loop, the dialog answered with path,
// until the list has count rows. False when it never gets there.
bool OpenThroughDialog(BenchWindow& window, const std::wstring& path, int count,
                       const char* label) {
    DialogRobot robot({{L"Open", {path, IDOK}}});
    const DialogTimes& dialogs = robot.Times();
    const double commandAt = Now();
    PostMessageW(window.app.mainWindow, WM_COMMAND, MAKEWPARAM(CMD_OPEN, 0), 0);
    // A list that is full before the command (a reopen) must first be emptied.
    const bool filled =
        window.PumpUntil([&] { return dialogs.lastGone != 0 && window.Rows() == count; }, 120);
    const double filledAt = Now();

    std::printf("%s: %s with %d rows\n", label, filled ? "list filled" : "list NOT filled",
                window.Rows());
    Figure("  command to a full list, dialog included", filledAt - commandAt);
    Figure("  command to the dialog (closes the open document)", dialogs.firstShown - commandAt);
    Figure("  dialog on screen (answered after 0.3 s)", dialogs.onScreen);
    Report("  dialog closed to a full list", filledAt - dialogs.lastGone, kListTarget);
    return filled;
}

void SetRowSelected(HWND list, int row, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

int main(int argc, char** argv) {
    const GuiSession session;
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 2, 65535) : 65535;

    const std::wstring path = TempPath(L"orvix-bench-shell.obk");
    {
        ContainerDoc doc;
        for (int id = 1; id <= count; ++id)
            doc.bitmaps[id] = SquareDib(2, static_cast<std::uint8_t>(id));
        if (!WriteBlankContainer(path, true) || !SaveContainer(doc, path)) {
            std::printf("cannot write the container\n");
            return 1;
        }
    }

    BenchWindow window;
    if (!window.Open()) return 1;
    AppState& app = window.app;

    std::printf("%d bitmaps of %zu bytes\n", count, SquareDib(2, 0).size());
    bool ok = OpenThroughDialog(window, path, count, "Open into the new window");
    ok = OpenThroughDialog(window, path, count, "Open over the open document") && ok;

    // The two halves of that on their own.
    ContainerDoc again;
    double t = Now();
    ok = LoadContainer(again, path) && ok;
    Figure("LoadContainer alone", Now() - t);
    t = Now();
    RefreshBitmapList(app);
    Report("RefreshBitmapList over a full list", Now() - t, kListTarget);

    // Selecting a big bitmap's row, then painting it.
    const ResourceId big = count / 2;
    app.doc.bitmaps[big] = SquareDib(kBigSide, 1);
    window.Pump(0.2);
    t = Now();
    SetRowSelected(app.listView, big - 1, true);
    Report("selecting the 4096 x 4096 row, first time", Now() - t, kSelectTarget);
    ok = app.previewId == big && ok;
    t = Now();
    ShowSelectedBitmap(app);
    Report("  ShowSelectedBitmap again", Now() - t, kSelectTarget);
    SetRowSelected(app.listView, big - 1, false);
    t = Now();
    const std::vector<std::uint8_t> fresh = app.doc.bitmaps[big].ToBytes();
    Figure("  for scale: copying the payload into fresh memory", Now() - t);
    t = Now();
    SelectBitmapById(app, big);
    Report("  SelectBitmapById (looks for the row among all)", Now() - t, kSelectTarget);

    std::vector<double> paints;
    for (int i = 0; i < 7; ++i) {
        t = Now();
        RedrawWindow(app.previewWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        paints.push_back(Now() - t);
    }
    Report("first paint of the 4096 x 4096 preview", paints.front(), kPaintTarget);
    std::sort(paints.begin(), paints.end());
    Report("  median of 7 paints", paints[paints.size() / 2], kPaintTarget);
    // The pane's top-left pixel is the image's: its top row is the last one stored.
    const DibPayload& shown = app.doc.bitmaps[big];
    const std::size_t corner = sizeof(BITMAPINFOHEADER) + std::size_t{kBigSide - 1} * kBigSide * 4;
    HDC paneDc = GetDC(app.previewWindow);
    const bool drawn =
        GetPixel(paneDc, 0, 0) == RGB(shown[corner + 2], shown[corner + 1], shown[corner]);
    ReleaseDC(app.previewWindow, paneDc);
    std::printf("the pane shows the image: %s\n", drawn ? "yes" : "NO");
    ok = drawn && ok;
    if (app.previewId != big) std::printf("the selection did NOT reach the preview\n");

    t = Now();
    CloseDocument(app);
    Report("Close of the full list", Now() - t, kListTarget);

    DeleteFileW(path.c_str());
    return ok ? 0 : 1;
}
