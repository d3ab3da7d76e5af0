#include "document/win32/app_state.h"

#include <commctrl.h>

#include "shell/main_window.h"

void CloseDocument(AppState& app) {
    app.doc.bitmaps.clear();
    app.doc.loaded = false;
    app.doc.dirty = false;
    app.doc.path.clear();
    SendMessageW(app.listView, LVM_DELETEALLITEMS, 0, 0);
    app.previewBytes.clear();
    app.previewId = 0;
    InvalidateRect(app.previewWindow, nullptr, TRUE);
    UpdateWindowTitle(app);
}
