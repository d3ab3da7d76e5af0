#include "shell/preview_pane.h"

// The pane paints its background through the class brush; the bitmap itself
// is drawn once the preview painter is in place.
LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
