// The preview pane as a user sees it: the selected bitmap at its own size,
// centred on each axis where it fits, in a light grey frame on the window
// colour, in its true colours; and the window colour alone when nothing is
// selected or the payload cannot be drawn without reading past its end.
#include <cstdio>
#include <functional>
#include <utility>

#include "bitmaps/png_convert.h"
#include "gui_test.h"
#include "shell/bitmap_list.h"

namespace {

using orvix_test::le::Put32;
constexpr int kPaneWidth = 401;
constexpr int kPaneHeight = 300;
constexpr std::uint32_t kFrame = 0xC8C8C8;  // RGB(200, 200, 200)

DibPayload Patched(const DibPayload& payload, std::size_t offset, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = payload.ToBytes();
    Put32(bytes, offset, value);
    return bytes;
}

DibPayload Cut(const DibPayload& payload, std::size_t length) {
    return DibPayload(payload.begin(), payload.begin() + length);
}

std::vector<std::uint32_t> Palette(std::size_t entries,
                                   std::initializer_list<std::pair<int, std::uint32_t>> set) {
    std::vector<std::uint32_t> table(entries, 0);
    for (const auto& [index, colour] : set)
        table[static_cast<std::size_t>(index)] = colour;
    return table;
}

// What the pane should show: a w x h image at (x, y), upper half top and
// lower half bottom, framed; w == 0 for the window colour alone.
struct Picture {
    int x = 0, y = 0, w = 0, h = 0;
    std::uint32_t top = 0, bottom = 0;
};

// Where a 20 x 10 image lands in the 401 x 300 pane.
Picture Small(std::uint32_t top, std::uint32_t bottom) {
    return {190, 145, 20, 10, top, bottom};
}

std::uint32_t Expected(const Picture& p, int px, int py) {
    const bool inX = px >= p.x && px < p.x + p.w, inY = py >= p.y && py < p.y + p.h;
    if (inX && inY) return py < p.y + p.h / 2 ? p.top : p.bottom;
    const bool frameX = px >= p.x - 1 && px <= p.x + p.w, frameY = py >= p.y - 1 && py <= p.y + p.h;
    if (p.w > 0 && frameX && frameY) return kFrame;
    // Captures are 0x00RRGGBB; GetSysColor gives 0x00BBGGRR.
    const COLORREF c = GetSysColor(COLOR_WINDOW);
    return (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

// Empty when the capture is the picture; else the count and the first few
// pixels that differ, with what was expected there.
std::string Mismatches(const std::vector<std::uint32_t>& shot, const Picture& want) {
    std::string first;
    int count = 0;
    for (int y = 0; y < kPaneHeight; ++y) {
        for (int x = 0; x < kPaneWidth; ++x) {
            const std::uint32_t actual = shot[static_cast<size_t>(y * kPaneWidth + x)] & 0xFFFFFF;
            const std::uint32_t expected = Expected(want, x, y);
            if (actual == expected || count++ >= 4) continue;
            char text[80];
            std::snprintf(text, sizeof text, " (%d,%d) expected %06X actual %06X;", x, y,
                          static_cast<unsigned>(expected), static_cast<unsigned>(actual));
            first += text;
        }
    }
    return count ? std::to_string(count) + " pixels differ:" + first : "";
}

// The same 8-bit bitmap behind an OS/2 core header: 16-bit sizes and 3-byte
// colour entries.
DibPayload CoreOf(const DibPayload& eightBit) {
    std::vector<std::uint8_t> core(eightBit.begin(), eightBit.begin() + 12);
    Put32(core, 0, 12);
    core[4] = eightBit[4], core[5] = eightBit[5], core[6] = eightBit[8], core[7] = eightBit[9];
    core[8] = 1, core[9] = 0, core[10] = 8, core[11] = 0;
    for (std::size_t entry = 0; entry < 256; ++entry) {
        const auto colour = eightBit.begin() + 40 + static_cast<std::ptrdiff_t>(entry * 4);
        core.insert(core.end(), colour, colour + 3);
    }
    core.insert(core.end(), eightBit.begin() + 40 + 1024, eightBit.end());
    return core;
}

// A 20 x 10 picture from a PNG: upper half top, lower half bottom (0xRRGGBB),
// every pixel alpha translucent, as the conversion stores it (a V5 header).
DibPayload FromPng(std::uint32_t top, std::uint32_t bottom, std::uint8_t alpha) {
    RgbaImage image{20, 10, {}};
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const std::uint32_t c = y < 5 ? top : bottom;
            image.rgba.insert(image.rgba.end(), {static_cast<std::uint8_t>(c >> 16),
                                                 static_cast<std::uint8_t>(c >> 8),
                                                 static_cast<std::uint8_t>(c), alpha});
        }
    }
    return DibFromRgba(image);
}

struct PayloadCase {
    const char* name;
    DibPayload payload;
    Picture shown;
};

class PreviewPaneTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure()) return;
        // Borders, caption and menu differ between systems: correct the outer
        // size by what the pane's client area still lacks.
        RECT pane{}, outer{};
        for (int attempt = 0; attempt < 3; ++attempt) {
            GetClientRect(app().previewWindow, &pane);
            GetWindowRect(app().mainWindow, &outer);
            SetWindowPos(
                app().mainWindow, nullptr, 0, 0, outer.right - outer.left + kPaneWidth - pane.right,
                outer.bottom - outer.top + kPaneHeight - pane.bottom, SWP_NOMOVE | SWP_NOZORDER);
            Pump();
        }
        GetClientRect(app().previewWindow, &pane);
        ASSERT_EQ(pane.right, kPaneWidth);
        ASSERT_EQ(pane.bottom, kPaneHeight);
    }

    std::vector<std::uint32_t> Shot() {
        HWND pane = app().previewWindow;
        UpdateWindow(pane);
        HDC screen = GetDC(pane), memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {
            sizeof info.bmiHeader, kPaneWidth, -kPaneHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, kPaneWidth, kPaneHeight, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        std::vector<std::uint32_t> pixels(first, first + kPaneWidth * kPaneHeight);
        SelectObject(memory, old);
        DeleteObject(section);
        DeleteDC(memory);
        ReleaseDC(pane, screen);
        return pixels;
    }

    std::vector<std::uint32_t> Show(const DibPayload& payload) {
        app().doc.bitmaps = {{1, payload}};
        app().doc.loaded = true;
        RefreshBitmapList(app());
        SelectBitmapById(app(), 1);
        EXPECT_EQ(app().previewId, 1) << "the row was not selected";
        return Shot();
    }

    void ExpectShown(const std::vector<PayloadCase>& cases) {
        for (const PayloadCase& c : cases)
            EXPECT_EQ(Mismatches(Show(c.payload), c.shown), "") << c.name;
    }
};

}  // namespace

TEST_F(PreviewPaneTest, NoSelectionAndAClosedDocumentShowTheWindowColourWithoutFrame) {
    const DibPayload image = Build({.top = 0x3366CC, .bottom = 0x3366CC});
    app().doc.bitmaps = {{5, image}, {6, image}};
    app().doc.loaded = true;
    RefreshViews(app());
    EXPECT_EQ(Mismatches(Shot(), {}), "") << "no row selected";
    SelectBitmapById(app(), 6);
    EXPECT_EQ(Mismatches(Shot(), Small(0x3366CC, 0x3366CC)), "") << "row 6 selected";
    Send(CMD_CLOSE);
    ASSERT_FALSE(app().doc.loaded);
    EXPECT_EQ(Mismatches(Shot(), {}), "") << "after Close";
}

// Each bitmap at its own size, centred on each axis where it fits, else
// from the near edge, in its true colours, the right way up; nothing at all
// where drawing would read past the payload's end (the codec's rule, tested
// there: here on both sides of the line, to show the pane asks it).
TEST_F(PreviewPaneTest, EachBitmapShowsCentredWhereItFitsInItsTrueColours) {
    const std::uint32_t c = 0x2E8B57;
    const auto plain = [c](int w, int h) {
        return Build({.width = w, .height = h, .top = c, .bottom = c});
    };
    // 16-bit channels of at most 3 (5 bits) or 15 (6 bits) widen to the same
    // 8-bit value whether the low bits are zero-filled or replicated.
    const std::vector<std::uint32_t> swapped = {0x0000FF, 0x00FF00, 0xFF0000};  // R low, B high
    const auto pal8 = Palette(256, {{200, 0x8040C0}, {7, 0x10E060}});
    auto masksThenTable = Palette(3 + 256, {{0, 0xF800}, {1, 0x07E0}, {2, 0x001F}, {9, 0xFFFFFF}});
    const DibPayload rgb = Build({.top = 0xFF8000, .bottom = 0x0080FF});
    const DibPayload rle = Build({.bitCount = 8,
                                  .compression = BI_RLE8,
                                  .table = Palette(256, {{4, 0x6B8E23}, {250, 0xFFD700}}),
                                  .top = 4,
                                  .bottom = 250});
    const auto rleLength = static_cast<std::uint32_t>(rle.size() - 40 - 1024);
    // clang-format off
    ExpectShown({
        // Frame columns 149 and 250, rows 124 and 175.
        {"100 x 50", plain(100, 50), {150, 125, 100, 50, c, c}},
        {"wider than the pane: still centred down", plain(500, 40), {0, 130, 500, 40, c, c}},
        {"taller: still centred across", plain(60, 400), {170, 0, 60, 400, c, c}},
        {"larger both ways: frame cut off", plain(600, 500), {0, 0, 600, 500, c, c}},
        {"one short each way: frame on the far edges", plain(400, 299), {0, 0, 400, 299, c, c}},
        {"exactly the pane: no frame to see", plain(401, 300), {0, 0, 401, 300, c, c}},
        {"8-bit", Build({.bitCount = 8, .table = pal8, .top = 200, .bottom = 7}),
         Small(0x8040C0, 0x10E060)},
        {"8-bit, 16 colours used", Build({.bitCount = 8, .table = Palette(16, {{15, 0xA0522D},
         {3, 0x4682B4}}), .top = 15, .bottom = 3, .clrUsed = 16}), Small(0xA0522D, 0x4682B4)},
        {"16-bit 5-6-5 bit fields", Build({.bitCount = 16, .compression = BI_BITFIELDS,
         .table = {0xF800, 0x07E0, 0x001F}, .top = 3 << 11 | 15 << 5 | 2,
         .bottom = 1 << 11 | 10 << 5 | 3}), Small(0x183C10, 0x082818)},
        {"32-bit bit fields in a V4 header", Build({.bitCount = 32, .compression = BI_BITFIELDS,
         .top = 0x0A141E, .bottom = 0xF0E0D0, .headerSize = 108, .headerMasks = swapped}),
         Small(0x1E140A, 0xD0E0F0)},
        {"core header", CoreOf(Build({.bitCount = 8, .table = pal8, .top = 200, .bottom = 7})),
         Small(0x8040C0, 0x10E060)},
        {"OS/2 2.x header", Build({.bitCount = 8, .table = pal8, .top = 200, .bottom = 7,
         .headerSize = 64}), Small(0x8040C0, 0x10E060)},
        {"bit fields, then a colour table", Build({.bitCount = 16, .compression = BI_BITFIELDS,
         .table = masksThenTable, .top = 3 << 11 | 15 << 5 | 2, .bottom = 1 << 11 | 10 << 5 | 3,
         .clrUsed = 256}), Small(0x183C10, 0x082818)},
        {"alpha bit fields", Build({.bitCount = 32, .compression = 6, .table = {0xFF0000, 0xFF00,
         0xFF, 0xFF000000}, .top = 0xFF0A141E, .bottom = 0x80F0E0D0}), Small(0x0A141E, 0xF0E0D0)},
        // The platform's StretchDIBits draws the colours and leaves alpha aside.
        {"from a PNG with alpha", FromPng(0x204060, 0xC08040, 128), Small(0x204060, 0xC08040)},
        {"8-bit top-down", Build({.height = -10, .bitCount = 8, .table = pal8, .top = 200,
                                  .bottom = 7}), Small(0x8040C0, 0x10E060)},
        {"8-bit run-length", rle, Small(0x6B8E23, 0xFFD700)},
        {"run-length, biSizeImage one past the end", Patched(rle, 20, rleLength + 1), {}},
        {"24-bit, pixels end with the payload", rgb, Small(0xFF8000, 0x0080FF)},
        {"24-bit, one byte short", Cut(rgb, rgb.size() - 1), {}},
    });
    // clang-format on
}

// The keys and the wheel step the zoom (1, 1.5, 2, 3, 4 up; 2/3, 1/2 down),
// enlarged pixels stay sharp, the frame follows, and the picture stays
// centred; F fits a larger bitmap whole and, pressed again, returns to 1:1.
TEST_F(PreviewPaneTest, ZoomStepsFitAndOneToOneRedrawTheCentredPicture) {
    const std::vector<WORD> in{VK_CONTROL, VK_OEM_PLUS}, out{VK_CONTROL, VK_OEM_MINUS},
        keypadIn{VK_CONTROL, VK_ADD}, wheel{}, fit{'F'};
    const DibPayload halves = Build({.top = 0xFF8000, .bottom = 0x0080FF});
    const DibPayload wide =
        Build({.width = 802, .height = 150, .top = 0x2E8B57, .bottom = 0x2E8B57});
    const struct {
        const char* name;
        DibPayload payload;
        std::vector<std::vector<WORD>> presses;  // wheel: Ctrl and the wheel turned up
        Picture shown;
    } cases[] = {
        {"2x", halves, {in, in}, {180, 140, 40, 20, 0xFF8000, 0x0080FF}},
        {"4x from the keypad",
         halves,
         {keypadIn, keypadIn, keypadIn, keypadIn},
         {160, 130, 80, 40, 0xFF8000, 0x0080FF}},
        {"2x by the wheel", halves, {wheel, wheel}, {180, 140, 40, 20, 0xFF8000, 0x0080FF}},
        {"4x, then Ctrl+0", halves, {in, in, in, in, {VK_CONTROL, '0'}}, Small(0xFF8000, 0x0080FF)},
        {"1/2x",
         Build({.top = 0x6B8E23, .bottom = 0x6B8E23}),
         {out, out},
         {195, 147, 10, 5, 0x6B8E23, 0x6B8E23}},
        {"fit a bitmap wider than the pane", wide, {fit}, {0, 112, 401, 75, 0x2E8B57, 0x2E8B57}},
        {"fit kept from the row before, F again: 1:1",
         wide,
         {fit},
         {0, 75, 802, 150, 0x2E8B57, 0x2E8B57}},
    };
    for (const auto& c : cases) {
        Show(c.payload);
        for (const std::vector<WORD>& keys : c.presses) {
            if (!keys.empty()) PressKeys(keys);
            if (keys.empty()) {
                PostMessageW(app().listView, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
                Pump();
            }
        }
        EXPECT_EQ(Mismatches(Shot(), c.shown), "") << c.name;
    }
    // Zoomed past the pane, the picture pans under two scroll bars as long as
    // it is drawn; 1:1 takes them away.
    Show(Build({.width = 40, .height = 20}));
    for (int press = 0; press < 8; ++press)
        PressKeys(in);
    SCROLLINFO across{sizeof across, SIF_ALL, 0, 0, 0, 0, 0}, down = across;
    GetScrollInfo(app().previewWindow, SB_HORZ, &across);
    GetScrollInfo(app().previewWindow, SB_VERT, &down);
    EXPECT_EQ((std::vector<int>{across.nMax, down.nMax}), (std::vector<int>{639, 319}));
    PressKeys({VK_CONTROL, '0'});
    EXPECT_EQ(GetWindowLongW(app().previewWindow, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
}

// Another bitmap comes up at 1:1 after a zoom, and fitted while fit is on;
// F leaves typing a label into the list as it was.
TEST_F(PreviewPaneTest, AnotherBitmapComesUpAtOneToOneUnlessFitIsOn) {
    const DibPayload small = Build({.top = 0x3366CC, .bottom = 0x3366CC});
    const DibPayload tall =
        Build({.width = 100, .height = 600, .top = 0xA0522D, .bottom = 0xA0522D});
    app().doc.bitmaps = {{1, small}, {2, small}, {3, tall}, {4, tall}};
    app().doc.loaded = true;
    RefreshViews(app());
    SelectBitmapById(app(), 1);
    PressKeys({VK_CONTROL, VK_OEM_PLUS});
    PressKeys({VK_DOWN});
    EXPECT_EQ(Mismatches(Shot(), Small(0x3366CC, 0x3366CC)), "") << "zoomed, then Down";
    for (WORD key : {WORD{'0'}, WORD{'0'}, WORD{'F'}, WORD{'0'}, WORD{'0'}, WORD{'3'}})
        PressKeys({key});
    EXPECT_EQ(app().previewId, 3) << "typed 00003 with F in between";
    PressKeys({VK_DOWN});
    EXPECT_EQ(Mismatches(Shot(), {175, 0, 50, 300, 0xA0522D, 0xA0522D}), "") << "fit on, then Down";
}

// Hovering a row tells what the bitmap is, and why it is not shown.
TEST_F(PreviewPaneTest, ListRowsTellSizeDepthCompressionAndBytesOnHover) {
    const DibPayload rgb = Build({});
    app().doc.bitmaps = {{1, rgb}, {2, Cut(rgb, rgb.size() - 1)}};
    app().doc.loaded = true;
    RefreshViews(app());
    std::vector<std::wstring> tips;
    for (int row : {0, 1}) {
        wchar_t text[INFOTIPSIZE] = L"";
        NMLVGETINFOTIPW tip{
            {app().listView, IDC_BITMAP_LIST, LVN_GETINFOTIPW}, 0, text, INFOTIPSIZE, row, 0, 0};
        SendMessageW(app().mainWindow, WM_NOTIFY, IDC_BITMAP_LIST, reinterpret_cast<LPARAM>(&tip));
        tips.push_back(text);
    }
    EXPECT_EQ(tips, (std::vector<std::wstring>{
                        L"20 \u00D7 10, 24-bit, RGB, 640 bytes",
                        L"20 \u00D7 10, 24-bit, RGB, 639 bytes\nNot previewed: its pixels end at "
                        L"byte 640, past its 639 bytes"}));
}

// At 1:1 a picture larger than the pane keeps its look, without scroll bars,
// and pans under a drag and the wheel, never past its edges; another bitmap
// comes up from the near edges again.
TEST_F(PreviewPaneTest, APictureLargerThanThePanePansUnderTheMouseAtOneToOne) {
    const std::uint32_t top = 0x2E8B57, bottom = 0xA0522D;
    const DibPayload large = Build({.width = 600, .height = 500, .top = top, .bottom = bottom});
    app().doc.bitmaps = {{1, large}, {2, large}};
    app().doc.loaded = true;
    RefreshViews(app());
    SelectBitmapById(app(), 1);
    HWND pane = app().previewWindow;
    const auto drag = [this, pane](int fromX, int fromY, int toX, int toY) {
        PostMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, fromY));
        PostMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, toY));
        PostMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(toX, toY));
        Pump();
    };
    const auto wheel = [this, pane](WORD keys, int turn) {
        PostMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(keys, turn), 0);
        Pump();
    };
    const struct {
        const char* name;
        std::function<void()> act;
        int x, y;
    } steps[] = {
        {"as it comes up", [] {}, 0, 0},
        {"dragged up and left", [&] { drag(300, 200, 200, 150); }, -100, -50},
        {"the wheel down, Shift and the wheel up",
         [&] { wheel(0, -WHEEL_DELTA), wheel(MK_SHIFT, WHEEL_DELTA); }, -84, -66},
        {"dragged past the far edges", [&] { drag(300, 250, 0, 0); }, -199, -200},
        {"dragged past the near edges", [&] { drag(0, 0, 390, 290); }, 0, 0},
        {"dragged, then another bitmap",
         [&] { drag(300, 200, 200, 150), SelectBitmapById(app(), 2); }, 0, 0},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(Mismatches(Shot(), {step.x, step.y, 600, 500, top, bottom}), "") << step.name;
    }
    EXPECT_EQ(GetWindowLongW(pane, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
}
