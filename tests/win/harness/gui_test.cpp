#include "gui_test.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "bitmaps/png_convert.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "shell/main_window.h"
#include "support/dib_files.h"

bool MainWindowTest::Start() {
    state = {};
    quit = false;
    exitCode = -1;
    // As wWinMain sets the process up, once.
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return SUCCEEDED(
                   CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) &&
               InitCommonControlsEx(&controls);
    }();
    if (!initialised) return false;
    app().instance = GetModuleHandleW(nullptr);
    if (!RegisterMainWindowClass(app().instance)) return false;
    if (!CreateMainWindow(app())) return false;
    shortcuts = LoadShortcuts(app().instance);
    // The clipboard outlives the process; a test finds it empty, whatever
    // ran before it.
    PutOnClipboard(app().mainWindow, 0);
    ShowWindow(app().mainWindow, SW_SHOWNORMAL);
    UpdateWindow(app().mainWindow);
    SetForegroundWindow(app().mainWindow);
    Pump(100);
    return true;
}

void MainWindowTest::Stop() {
    if (IsWindow(app().mainWindow)) DestroyWindow(app().mainWindow);
    // Drain what the destruction posted, including a WM_QUIT of our own.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
    // The window took its context menu with it.
    if (shortcuts) DestroyAcceleratorTable(shortcuts);
    UnregisterClassW(kMainWindowClass, app().instance);
    UnregisterClassW(kPreviewWindowClass, app().instance);
}

bool MainWindowTest::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!quit) {
        if (done && done()) return true;
        if (GetTickCount() - start > timeoutMs) return done && done();
        MSG msg;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                exitCode = static_cast<int>(msg.wParam);
                break;
            }
            DispatchLoopMessage(app().mainWindow, shortcuts, msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done && done();
}

void MainWindowTest::Send(WORD command) {
    PostMessageW(app().mainWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    Pump();
}

void MainWindowTest::PressKeys(const std::vector<WORD>& virtualKeys) {
    SetForegroundWindow(app().mainWindow);
    if (GetFocus() == nullptr) SetFocus(app().mainWindow);
    std::vector<INPUT> inputs(2 * virtualKeys.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const bool down = i < virtualKeys.size();
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = virtualKeys[down ? i : inputs.size() - 1 - i];
        inputs[i].ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Pump(150);
}

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = L"";
    GetWindowTextW(window, text, 2048);
    return text;
}

void MainWindowTest::Answer(std::vector<RobotStep> script, const std::function<void()>& act) {
    const size_t steps = script.size();
    robot.shown.clear();
    robot.problems.clear();
    StartRobot(robot, std::move(script));
    act();
    PumpUntil(
        [&] {
            std::lock_guard<std::mutex> guard(robot.lock);
            return robot.steps.empty();
        },
        8000);
    // Long enough for a window that should not come to show itself.
    Pump(300);
    StopRobot(robot);
    // Every step taken, on the windows expected, and no other window shown.
    for (const auto& step : robot.steps)
        robot.problems.push_back(L"never shown: " + step.caption);
    std::wstring seen;
    for (const auto& shown : robot.shown)
        seen += L"\n  [" + shown.caption + L"] " + shown.text;
    EXPECT_EQ(robot.problems, std::vector<std::wstring>{}) << seen;
    // Blank records for windows that never came keep the tests' reads in bounds.
    if (robot.shown.size() < steps) robot.shown.resize(steps);
}

void MainWindowTest::Load(const std::vector<ResourceId>& ids, const std::wstring& path) {
    if (app().doc.loaded) CloseDocument(app());
    app().doc.bitmaps = StoreOf(ids);
    app().doc.loaded = true;
    app().doc.path = path;
    RefreshViews(app());
    Pump();
}

std::vector<std::wstring> MainWindowTest::ListTexts() {
    std::vector<std::wstring> texts;
    for (int row = 0; row < ListView_GetItemCount(app().listView); ++row) {
        wchar_t text[64] = L"";
        ListView_GetItemText(app().listView, row, 0, text, 64);
        texts.push_back(text);
    }
    return texts;
}

// The commands read a row's ID from its item data, so a wrong one shows in
// what they do.
std::vector<ResourceId> MainWindowTest::ListIds() {
    std::vector<ResourceId> ids;
    for (const std::wstring& text : ListTexts())
        ids.push_back(std::stoi(text));
    return ids;
}

// Two 16-bit fields go as one: low | high << 16.
void Put(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& fields) {
    for (std::uint32_t value : fields) {
        out.resize(out.size() + 4);
        orvix_test::le::Put32(out, out.size() - 4, value);
    }
}

std::vector<std::uint8_t> PackRow(const Dib& d, std::uint32_t value) {
    if (d.compression == BI_RLE8)
        return {static_cast<std::uint8_t>(d.width), static_cast<std::uint8_t>(value), 0, 0};
    const auto width = static_cast<std::size_t>(d.width);
    std::vector<std::uint8_t> row((width * d.bitCount + 31) / 32 * 4, 0);
    for (std::size_t x = 0; x < width; ++x) {
        const std::size_t bit = x * d.bitCount;
        if (d.bitCount < 8)
            row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - d.bitCount - bit % 8));
        for (std::size_t b = 0; d.bitCount >= 8 && b < d.bitCount / 8u; ++b)
            row[bit / 8 + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return row;
}

DibPayload Build(const Dib& d) {
    const std::int32_t rows = d.height < 0 ? -d.height : d.height;
    std::vector<std::uint8_t> pixels;
    for (std::int32_t stored = 0; stored < rows; ++stored) {
        const std::int32_t shown = d.height < 0 ? stored : rows - 1 - stored;
        const auto row = PackRow(d, shown < rows / 2 ? d.top : d.bottom);
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    if (d.compression == BI_RLE8) pixels.insert(pixels.end(), {0, 1});  // end of bitmap
    std::vector<std::uint8_t> out;
    Put(out, {d.headerSize, static_cast<std::uint32_t>(d.width),
              static_cast<std::uint32_t>(d.height), 1u | std::uint32_t{d.bitCount} << 16,
              d.compression, static_cast<std::uint32_t>(pixels.size()), 2835, 2835, d.clrUsed, 0});
    Put(out, d.headerMasks);
    out.resize(d.headerSize, 0);
    Put(out, d.table);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

DibPayload TinyBitmap(ResourceId id) {
    return Build({.width = 2, .height = 1, .bottom = static_cast<std::uint32_t>(id) * 0x9E3779u});
}

std::vector<std::uint8_t> TinyBitmapFile(ResourceId content) {
    return content ? orvix_test::MakeBmpFile(TinyBitmap(content).ToBytes(), 54)
                   : orvix_test::Bytes{};
}

bool WriteContainerFile(const std::wstring& path, const std::vector<ResourceId>& ids) {
    ContainerDoc doc;
    doc.bitmaps = StoreOf(ids);
    return WriteBlankContainer(path, false) && SaveContainer(doc, path);
}

BitmapStore StoreOnDisk(const std::wstring& path) {
    ContainerDoc doc;
    LoadContainer(doc, path);
    return doc.bitmaps;
}

std::vector<std::uint8_t> TinyPngFile(ResourceId content) {
    std::vector<std::uint8_t> png;
    std::string problem;
    PngFromPayload(TinyBitmap(content), png, problem);
    return png;
}

void PutOnClipboard(HWND owner, UINT format, const std::vector<std::uint8_t>& bytes) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    if (HGLOBAL memory = format ? GlobalAlloc(GMEM_MOVEABLE, bytes.size()) : nullptr) {
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        SetClipboardData(format, memory);
    }
    CloseClipboard();
}

// A DROPFILES block and a double-NUL-terminated list of wide paths.
void DropOn(HWND window, const orvix_test::fs::path& folder,
            const std::vector<const wchar_t*>& names, POINT at) {
    std::wstring list;
    for (const wchar_t* name : names)
        list += (folder / name).wstring() + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    *header = {sizeof(DROPFILES), at, FALSE, TRUE};
    std::memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

BitmapStore StoreOf(const std::vector<ResourceId>& ids) {
    BitmapStore store;
    for (ResourceId id : ids)
        store[id] = TinyBitmap(id);
    return store;
}
