#include "shell/preview_pane.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "bitmaps/dib_layout.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"

namespace {

constexpr COLORREF kFrameColour = RGB(200, 200, 200);
// Where the image goes on one axis: centred when it is smaller than the
// pane, else from the near edge, cut off at the far one.
int Place(int pane, int image) {
    return image < pane ? (pane - image) / 2 : 0;
}

void DrawPreview(HDC dc, const DibPayload& bytes, int paneWidth, int paneHeight) {
    // A header that lies about its size or a cut-short copy would send the
    // drawing code past the end of the bytes: such a bitmap shows nothing.
    const DibLayout layout = ReadDibLayout(bytes);
    const std::vector<std::uint8_t> info = DibDrawingInfo(bytes, layout);
    if (info.empty()) return;
    // Drawable pixels lie inside the bytes, so both sizes are far below 2^31.
    const int w = static_cast<int>(layout.width);
    const int h = static_cast<int>(layout.height < 0 ? -layout.height : layout.height);
    const int x = Place(paneWidth, w);
    const int y = Place(paneHeight, h);
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, x, y, w, h, 0, 0, w, h, bytes.data() + layout.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);

    HPEN pen = CreatePen(PS_SOLID, 1, kFrameColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    // An image two thousand million pixels wide is valid; its far frame edge
    // lies past what an int holds, and past any pane, so it is clamped.
    const auto farEdge = [](int start, int length) {
        return static_cast<int>(std::min<long long>(1LL + start + length, INT_MAX));
    };
    Rectangle(dc, x - 1, y - 1, farEdge(x, w), farEdge(y, h));
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

    const auto* app = reinterpret_cast<const AppState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (app) DrawPreview(memory, app->previewBytes, width, height);

    BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(canvas);
    DeleteDC(memory);
}

LRESULT OnPaint(HWND hwnd) {
    PAINTSTRUCT paint{};
    HDC screen = BeginPaint(hwnd, &paint);
    PaintContent(hwnd, screen);
    EndPaint(hwnd, &paint);
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

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            return OnPaint(hwnd);
        case WM_ERASEBKGND:
            return 1;  // every paint fills the whole pane itself
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
