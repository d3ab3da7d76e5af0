// The single application-state record. Win32 side only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "document/container_doc.h"

struct AppState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND listView = nullptr;
    HWND previewWindow = nullptr;
    HMENU mainMenu = nullptr;
    HMENU contextMenu = nullptr;
    ContainerDoc doc;
    std::vector<std::uint8_t> previewBytes;  // private copy of the previewed payload
    std::int32_t previewId = 0;              // 0 when nothing is previewed
};

// Empties the document and the views. Callers run it only when doc.loaded.
void CloseDocument(AppState& app);
