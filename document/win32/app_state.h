// The single application-state record. Win32 side only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "bitmaps/preview_view.h"
#include "document/container_doc.h"

struct AppState;

// The views that show the document. The shell fills these in when it builds
// the main window, so that a command can bring the views up to date at the
// point where it changed the document without depending on how they are
// drawn. Until then they are empty and the calls below do nothing.
struct DocumentViews {
    void (*refreshList)(AppState&) = nullptr;
    void (*showSelected)(AppState&) = nullptr;
    void (*updateTitle)(AppState&) = nullptr;
    void (*selectById)(AppState&, ResourceId) = nullptr;
};

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND listView = nullptr;
    HWND previewWindow = nullptr;
    HMENU mainMenu = nullptr;
    HMENU contextMenu = nullptr;
    ContainerDoc doc;
    // The ID of each list row, ascending: the list holds no rows of its own.
    std::vector<ResourceId> listIds;
    // The previewed payload, shared with the store: a later replace of its ID
    // gives the store new bytes and leaves these as they are on screen.
    DibPayload previewBytes;
    std::int32_t previewId = 0;  // 0 when nothing is previewed
    // The preview's zoom, a row of kZoomSteps; fit stays on from one bitmap
    // to the next, a zoom does not.
    int previewZoomStep = kOneToOneStep;
    bool previewFit = false;
    // How far a picture larger than the pane is moved along each axis that
    // has no scroll bar (at 1:1 the pane shows none, to keep its room); and
    // where the mouse was during a drag of the picture.
    POINT previewPan{};
    bool previewDragging = false;
    POINT previewDragAt{};
    DocumentViews views;
};

// After a change to the store: the list is rebuilt, the preview follows the
// (now empty) selection and the caption follows the document, in that order.
void RefreshViews(AppState& app);
// The same, then the row of id is selected and previewed.
void RefreshViewsAndSelect(AppState& app, ResourceId id);
// After a change to the document's name or state only.
void RefreshTitle(AppState& app);

// The resource ID of the selected list row. False when no row is selected.
bool SelectedBitmapId(const AppState& app, ResourceId& id);

// True when a file is open; otherwise says "   Open or create an OBK first."
bool RequireOpenDocument(AppState& app);

// The selected row's ID; without one, says message in an information box.
bool RequireSelection(AppState& app, const wchar_t* message, ResourceId& id);

// Empties the document and the views. Callers run it only when doc.loaded.
void CloseDocument(AppState& app);
