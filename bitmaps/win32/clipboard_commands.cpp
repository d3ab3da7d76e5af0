#include "bitmaps/win32/clipboard_commands.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "bitmaps/clipboard_image.h"
#include "dialogs/prompts.h"
#include "dialogs/wait_cursor.h"

namespace {

constexpr ResourceId kProposedBitmapId = 101;  // as Add proposes

UINT PngFormat() {
    static const UINT png = RegisterClipboardFormatW(L"PNG");
    return png;
}

UINT FormatNumber(ClipboardImage image) {
    switch (image) {
        case ClipboardImage::DibV5:
            return CF_DIBV5;
        case ClipboardImage::Dib:
            return CF_DIB;
        case ClipboardImage::Png:
            return PngFormat();
        case ClipboardImage::None:
            break;
    }
    return 0;
}

// The image formats in the order the clipboard lists them. The clipboard is
// open.
std::vector<ClipboardImage> ListedImages() {
    std::vector<ClipboardImage> listed;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        for (ClipboardImage image :
             {ClipboardImage::DibV5, ClipboardImage::Dib, ClipboardImage::Png}) {
            if (format == FormatNumber(image)) listed.push_back(image);
        }
    }
    return listed;
}

bool PutOnClipboard(UINT format, const std::vector<std::uint8_t>& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    void* target = memory ? GlobalLock(memory) : nullptr;
    if (!target) {
        if (memory) GlobalFree(memory);
        return false;
    }
    std::memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory)) return true;
    GlobalFree(memory);
    return false;
}

// The payload of the clipboard's image; false, with nothing said, when it
// holds none Paste takes, and failed set when it holds one that is no
// drawable bitmap.
bool ReadClipboardImage(HWND owner, DibPayload& payload, bool& failed) {
    failed = false;
    if (!OpenClipboard(owner)) return false;
    const ClipboardImage format = ChoosePasteFormat(ListedImages());
    bool read = false;
    if (HANDLE data =
            format != ClipboardImage::None ? GetClipboardData(FormatNumber(format)) : nullptr) {
        if (const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(data))) {
            read = PayloadFromClipboard(format, {bytes, GlobalSize(data)}, payload);
            failed = !read;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return read;
}

void StorePasted(AppState& app, ResourceId id, DibPayload payload) {
    app.doc.bitmaps.insert_or_assign(id, std::move(payload));
    app.doc.dirty = true;
}

void SayPasteFailed(AppState& app) {
    MessageBoxW(app.mainWindow, L"Failed to paste bitmap.", L"Error", MB_OK | MB_ICONERROR);
}

}  // namespace

bool ClipboardHoldsImage() {
    return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_DIBV5) ||
           IsClipboardFormatAvailable(PngFormat());
}

void CopyBitmap(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    ResourceId id = 0;
    if (!RequireSelection(app, L"Select a bitmap to copy.", id)) return;
    const auto found = app.doc.bitmaps.find(id);
    if (found == app.doc.bitmaps.end()) return;
    const ClipboardCopy copy = ClipboardCopyOf(found->second);
    bool copied = OpenClipboard(app.mainWindow) && EmptyClipboard();
    // The stored DIB first: Paste takes the first DIB listed.
    copied = copied && PutOnClipboard(CF_DIB, copy.dib);
    if (copied && !copy.dibV5.empty()) copied = PutOnClipboard(CF_DIBV5, copy.dibV5);
    CloseClipboard();
    if (!copied)
        MessageBoxW(app.mainWindow, L"Failed to copy bitmap.", L"Error", MB_OK | MB_ICONERROR);
}

void PasteBitmap(AppState& app) {
    if (!RequireOpenDocument(app)) return;
    DibPayload payload;
    bool failed = false;
    if (!ReadClipboardImage(app.mainWindow, payload, failed)) {
        if (failed) SayPasteFailed(app);
        return;
    }
    const ResourceId id = PromptResourceId(app.mainWindow, kProposedBitmapId);
    if (id <= 0) return;
    StorePasted(app, id, std::move(payload));
    WaitCursor wait;  // rebuilding a list of tens of thousands of rows takes a moment
    RefreshViews(app);
}

void PasteOverBitmap(AppState& app) {
    if (!app.doc.loaded) return;
    ResourceId id = 0;
    if (!RequireSelection(app, L"Select a bitmap to replace.", id)) return;
    DibPayload payload;
    bool failed = false;
    if (!ReadClipboardImage(app.mainWindow, payload, failed)) {
        if (failed) SayPasteFailed(app);
        return;
    }
    if (MessageBoxW(app.mainWindow, ReplaceWithClipboardQuestion(id).c_str(), L"Replace Bitmap",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    StorePasted(app, id, std::move(payload));
    WaitCursor wait;
    RefreshViewsAndSelect(app, id);
}
