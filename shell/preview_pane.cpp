#include "shell/preview_pane.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include <windowsx.h>

#include "bitmaps/dib_layout.h"
#include "bitmaps/preview_view.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

namespace {

constexpr COLORREF kFrameColour = RGB(200, 200, 200);
constexpr int kScrollLine = 16;

// Where the image goes on one axis: centred when it is smaller than the
// pane, else from the near edge, cut off at the far one.
int Place(int pane, int image) {
    return image < pane ? (pane - image) / 2 : 0;
}

AppState* StateOf(HWND pane) {
    return reinterpret_cast<AppState*>(GetWindowLongPtrW(pane, GWLP_USERDATA));
}

struct Shown {
    DibLayout layout;
    std::int64_t width = 0, height = 0;  // 0 when nothing can be drawn
};

Shown ShownBitmap(const AppState& app) {
    Shown shown{ReadDibLayout(app.previewBytes)};
    if (!shown.layout.drawable) return shown;
    shown.width = shown.layout.width;
    shown.height = shown.layout.height < 0 ? -shown.layout.height : shown.layout.height;
    return shown;
}

DrawnSize Drawn(const AppState& app, const Shown& shown, int paneWidth, int paneHeight) {
    return PreviewDrawnSize(shown.width, shown.height, paneWidth, paneHeight, app.previewZoomStep,
                            app.previewFit);
}

bool HasBar(HWND pane, int bar) {
    const LONG style = GetWindowLongW(pane, GWL_STYLE);
    return (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

// How far the picture is moved along one axis: the scroll bar's position
// where the axis has one, else the pan kept in the state, within what the
// picture overhangs the pane.
int ScrollPosition(HWND pane, int bar) {
    if (HasBar(pane, bar)) return GetScrollPos(pane, bar);
    const AppState* app = StateOf(pane);
    if (!app) return 0;
    RECT client{};
    GetClientRect(pane, &client);
    const DrawnSize drawn = Drawn(*app, ShownBitmap(*app), client.right, client.bottom);
    const std::int64_t overhang =
        bar == SB_HORZ ? drawn.width - client.right : drawn.height - client.bottom;
    const int pan = bar == SB_HORZ ? app->previewPan.x : app->previewPan.y;
    return static_cast<int>(std::clamp<std::int64_t>(pan, 0, std::max<std::int64_t>(overhang, 0)));
}

void DrawPreview(HWND pane, HDC dc, const AppState& app, int paneWidth, int paneHeight) {
    // A header that lies about its size or a cut-short copy would send the
    // drawing code past the end of the bytes: such a bitmap shows nothing.
    const Shown shown = ShownBitmap(app);
    const std::vector<std::uint8_t> info = DibDrawingInfo(app.previewBytes, shown.layout);
    if (info.empty()) return;
    // Drawable pixels lie inside the bytes, so both sizes are far below 2^31,
    // and a zoom never draws a side longer than kMaxDrawnSide.
    const int w = static_cast<int>(shown.width), h = static_cast<int>(shown.height);
    const DrawnSize drawn = Drawn(app, shown, paneWidth, paneHeight);
    const auto dw = static_cast<int>(std::min<std::int64_t>(drawn.width, INT_MAX));
    const auto dh = static_cast<int>(std::min<std::int64_t>(drawn.height, INT_MAX));
    const int x = Place(paneWidth, dw) - ScrollPosition(pane, SB_HORZ);
    const int y = Place(paneHeight, dh) - ScrollPosition(pane, SB_VERT);
    // Enlarged pixels stay sharp squares; shrunk ones are averaged.
    SetStretchBltMode(dc, drawn.width > shown.width ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, x, y, dw, dh, 0, 0, w, h, app.previewBytes.data() + shown.layout.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);

    HPEN pen = CreatePen(PS_SOLID, 1, kFrameColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    // An image two thousand million pixels wide is valid; its far frame edge
    // lies past what an int holds, and past any pane, so it is clamped.
    const auto farEdge = [](int start, int length) {
        return static_cast<int>(std::min<long long>(1LL + start + length, INT_MAX));
    };
    Rectangle(dc, x - 1, y - 1, farEdge(x, dw), farEdge(y, dh));
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

// Composes the whole pane off screen; the screen gets it in one copy.
void PaintContent(HWND hwnd, HDC screen) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // A window narrower than the list leaves the pane no room to draw in.
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, canvas);
    FillRect(memory, &client, GetSysColorBrush(COLOR_WINDOW));

    if (const AppState* app = StateOf(hwnd)) DrawPreview(hwnd, memory, *app, width, height);

    BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(canvas);
    DeleteDC(memory);
}

// Where the middle of the view lies along one axis, as a share of the drawn
// length: a zoom keeps it there.
struct ViewCentre {
    double x = 0.5, y = 0.5;
};

ViewCentre CentreOf(HWND pane, const DrawnSize& drawn) {
    RECT client{};
    GetClientRect(pane, &client);
    const auto share = [](int position, int page, std::int64_t length) {
        return length > page ? (position + page / 2.0) / static_cast<double>(length) : 0.5;
    };
    return {share(ScrollPosition(pane, SB_HORZ), client.right, drawn.width),
            share(ScrollPosition(pane, SB_VERT), client.bottom, drawn.height)};
}

// Shows a bar on each axis the drawn picture outgrows, given the room the
// other bar leaves, with the view's middle at centre; none when it does not pan.
void UpdateScrollBars(HWND pane, const AppState& app, ViewCentre centre) {
    static bool updating = false;  // showing a bar resizes the pane
    if (updating) return;
    updating = true;
    RECT client{};
    GetClientRect(pane, &client);
    const LONG style = GetWindowLongW(pane, GWL_STYLE);
    const int barWidth = GetSystemMetrics(SM_CXVSCROLL), barHeight = GetSystemMetrics(SM_CYHSCROLL);
    const int fullWidth = client.right + ((style & WS_VSCROLL) ? barWidth : 0);
    const int fullHeight = client.bottom + ((style & WS_HSCROLL) ? barHeight : 0);
    const DrawnSize drawn = Drawn(app, ShownBitmap(app), fullWidth, fullHeight);
    bool across = false, down = false;
    if (drawn.pans) {
        across = drawn.width > fullWidth;
        down = drawn.height > fullHeight;
        across = drawn.width > fullWidth - (down ? barWidth : 0);
        down = drawn.height > fullHeight - (across ? barHeight : 0);
    }
    ShowScrollBar(pane, SB_HORZ, across);
    ShowScrollBar(pane, SB_VERT, down);
    const auto set = [pane](int bar, bool shown, std::int64_t length, int page, double share) {
        if (!shown) return;
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMax = static_cast<int>(length - 1);
        info.nPage = static_cast<UINT>(std::max(page, 0));
        info.nPos = static_cast<int>(share * static_cast<double>(length) - page / 2.0);
        SetScrollInfo(pane, bar, &info, TRUE);
    };
    set(SB_HORZ, across, drawn.width, fullWidth - (down ? barWidth : 0), centre.x);
    set(SB_VERT, down, drawn.height, fullHeight - (across ? barHeight : 0), centre.y);
    updating = false;
    InvalidateRect(pane, nullptr, FALSE);
}

// Changes the zoom or fit, keeping the middle of what was in view.
void SetView(AppState& app, int step, bool fit) {
    if (!app.previewWindow) return;
    RECT client{};
    GetClientRect(app.previewWindow, &client);
    const ViewCentre centre =
        CentreOf(app.previewWindow, Drawn(app, ShownBitmap(app), client.right, client.bottom));
    app.previewZoomStep = step;
    app.previewFit = fit;
    app.previewPan = {};
    UpdateScrollBars(app.previewWindow, app, centre);
}

LRESULT OnPaint(HWND hwnd) {
    PAINTSTRUCT paint{};
    HDC screen = BeginPaint(hwnd, &paint);
    PaintContent(hwnd, screen);
    EndPaint(hwnd, &paint);
    return 0;
}

LRESULT OnSize(HWND hwnd) {
    if (const AppState* app = StateOf(hwnd)) {
        RECT client{};
        GetClientRect(hwnd, &client);
        UpdateScrollBars(
            hwnd, *app,
            CentreOf(hwnd, Drawn(*app, ShownBitmap(*app), client.right, client.bottom)));
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT OnScroll(HWND hwnd, int bar, WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd, bar, &info)) return 0;
    const int page = static_cast<int>(info.nPage);
    int position = info.nPos;
    switch (request) {
        case SB_LINEUP:
            position -= kScrollLine;
            break;
        case SB_LINEDOWN:
            position += kScrollLine;
            break;
        case SB_PAGEUP:
            position -= page;
            break;
        case SB_PAGEDOWN:
            position += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            position = info.nTrackPos;
            break;
        case SB_TOP:
            position = info.nMin;
            break;
        case SB_BOTTOM:
            position = info.nMax;
            break;
        default:
            return 0;
    }
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(hwnd, bar, &info, TRUE);  // keeps it inside the range
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

// Moves the picture by (dx, dy) pixels of the pane, as far as it overhangs.
void PanBy(HWND pane, AppState& app, int dx, int dy) {
    for (const int bar : {SB_HORZ, SB_VERT}) {
        const int by = bar == SB_HORZ ? dx : dy;
        if (by == 0) continue;
        const int position = ScrollPosition(pane, bar) + by;
        if (HasBar(pane, bar)) {
            SetScrollPos(pane, bar, position, TRUE);  // kept inside the range
        } else {
            (bar == SB_HORZ ? app.previewPan.x : app.previewPan.y) = position;
            const int kept = ScrollPosition(pane, bar);
            (bar == SB_HORZ ? app.previewPan.x : app.previewPan.y) = kept;
        }
    }
    InvalidateRect(pane, nullptr, FALSE);
}

bool Overhangs(HWND pane, const AppState& app) {
    RECT client{};
    GetClientRect(pane, &client);
    const DrawnSize drawn = Drawn(app, ShownBitmap(app), client.right, client.bottom);
    return drawn.width > client.right || drawn.height > client.bottom;
}

LRESULT OnLeftButtonDown(HWND hwnd, LPARAM lParam) {
    AppState* app = StateOf(hwnd);
    if (!app || !Overhangs(hwnd, *app)) return 0;
    app->previewDragging = true;
    app->previewDragAt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    SetCapture(hwnd);
    return 0;
}

LRESULT OnMouseMove(HWND hwnd, LPARAM lParam) {
    AppState* app = StateOf(hwnd);
    if (!app || !app->previewDragging) return 0;
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    // The picture follows the mouse: dragging left shows more of its right.
    PanBy(hwnd, *app, app->previewDragAt.x - at.x, app->previewDragAt.y - at.y);
    app->previewDragAt = at;
    return 0;
}

LRESULT OnDragEnd(HWND hwnd) {
    if (AppState* app = StateOf(hwnd)) app->previewDragging = false;
    if (GetCapture() == hwnd) ReleaseCapture();
    return 0;
}

LRESULT OnSetCursor(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const AppState* app = StateOf(hwnd);
    if (LOWORD(lParam) == HTCLIENT && app && Overhangs(hwnd, *app)) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
        return TRUE;
    }
    return DefWindowProcW(hwnd, WM_SETCURSOR, wParam, lParam);
}

LRESULT OnMouseWheel(HWND hwnd, WPARAM wParam) {
    if (AppState* app = StateOf(hwnd)) PreviewWheel(*app, wParam);
    return 0;
}

}  // namespace

void RegisterPreviewClass(HINSTANCE instance) {
    RegisterOrvixWindowClass(instance, kPreviewWindowClass, PreviewWndProc);
}

HWND CreatePreviewPane(AppState& app, const RECT& client) {
    HWND pane =
        CreateWindowExW(WS_EX_CLIENTEDGE, kPreviewWindowClass, L"", WS_CHILD | WS_VISIBLE,
                        kListWidth, 0, client.right - kListWidth, client.bottom, app.mainWindow,
                        reinterpret_cast<HMENU>(INT_PTR{IDC_PREVIEW}), app.instance, nullptr);
    if (pane) SetWindowLongPtrW(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&app));
    return pane;
}

void PreviewBitmapChanged(AppState& app, bool another) {
    if (another && !app.previewFit) app.previewZoomStep = kOneToOneStep;
    if (another) app.previewPan = {};
    // The picture itself may have grown past what a kept zoom may draw.
    const Shown shown = ShownBitmap(app);
    if (std::max(shown.width, shown.height) > kMaxDrawnSide) app.previewZoomStep = kOneToOneStep;
    if (!app.previewWindow) return;
    UpdateScrollBars(app.previewWindow, app, {});
    InvalidateRect(app.previewWindow, nullptr, TRUE);
}

void ZoomPreview(AppState& app, int direction) {
    const Shown shown = ShownBitmap(app);
    SetView(app,
            direction > 0 ? ZoomInStep(app.previewZoomStep, shown.width, shown.height)
                          : ZoomOutStep(app.previewZoomStep),
            false);
}

void ShowPreviewOneToOne(AppState& app) {
    SetView(app, kOneToOneStep, false);
}

void TogglePreviewFit(AppState& app) {
    SetView(app, kOneToOneStep, !app.previewFit);
}

void PreviewWheel(AppState& app, WPARAM wParam) {
    const int turn = GET_WHEEL_DELTA_WPARAM(wParam);
    if (turn == 0 || !app.previewWindow) return;
    if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
        ZoomPreview(app, turn > 0 ? +1 : -1);
        return;
    }
    const int by = turn > 0 ? -kScrollLine : kScrollLine;
    if (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) {
        PanBy(app.previewWindow, app, by, 0);
    } else {
        PanBy(app.previewWindow, app, 0, by);
    }
}

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            return OnPaint(hwnd);
        case WM_ERASEBKGND:
            return 1;  // every paint fills the whole pane itself
        case WM_SIZE:
            return OnSize(hwnd);
        case WM_HSCROLL:
            return OnScroll(hwnd, SB_HORZ, LOWORD(wParam));
        case WM_VSCROLL:
            return OnScroll(hwnd, SB_VERT, LOWORD(wParam));
        case WM_MOUSEWHEEL:
            return OnMouseWheel(hwnd, wParam);
        case WM_LBUTTONDOWN:
            return OnLeftButtonDown(hwnd, lParam);
        case WM_MOUSEMOVE:
            return OnMouseMove(hwnd, lParam);
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            return OnDragEnd(hwnd);
        case WM_SETCURSOR:
            return OnSetCursor(hwnd, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
