#include "bitmaps/clipboard_image.h"

#include <algorithm>

#include "bitmaps/dib_layout.h"
#include "bitmaps/png_convert.h"
#include "document/display_text.h"

ClipboardImage ChoosePasteFormat(const std::vector<ClipboardImage>& listed) {
    const auto dib = std::find_if(listed.begin(), listed.end(), [](ClipboardImage format) {
        return format == ClipboardImage::Dib || format == ClipboardImage::DibV5;
    });
    if (dib != listed.end()) return *dib;
    return std::count(listed.begin(), listed.end(), ClipboardImage::Png) ? ClipboardImage::Png
                                                                         : ClipboardImage::None;
}

ClipboardCopy ClipboardCopyOf(const DibPayload& payload) {
    ClipboardCopy copy{payload.ToBytes(), {}};
    RgbaImage image;
    bool hasAlpha = false;
    std::string problem;
    if (RgbaFromDib(copy.dib, image, hasAlpha, problem) && hasAlpha)
        copy.dibV5 = DibFromRgba(image).ToBytes();
    return copy;
}

bool PayloadFromClipboard(ClipboardImage format, std::span<const std::uint8_t> bytes,
                          DibPayload& payload) {
    std::string problem;
    if (format == ClipboardImage::Png) return PayloadFromPng(bytes, payload, problem);
    if (format != ClipboardImage::Dib && format != ClipboardImage::DibV5) return false;
    const DibLayout layout = ReadDibLayout(bytes);
    if (layout.problem != DibProblem::None || !layout.located) return false;
    const auto length =
        std::min<std::uint64_t>(bytes.size(), layout.pixelOffset + layout.pixelBytes);
    payload = DibPayload(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
}

std::wstring ReplaceWithClipboardQuestion(ResourceId id) {
    return L"Replace bitmap " + ResourceIdLabel(id) + L" with the image on the clipboard?";
}
