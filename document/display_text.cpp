#include "document/display_text.h"

#include <cstdio>

std::wstring ResourceIdLabel(ResourceId id) {
    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(id));
    std::wstring label;
    for (int i = 0; i < count; ++i)
        label += static_cast<wchar_t>(digits[i]);
    return label;
}

std::wstring WindowCaption(const ContainerDoc& doc) {
    std::wstring caption = L"Orvix";
    if (!doc.loaded) return caption;
    caption += L" - ";
    caption += doc.path;
    if (doc.dirty) caption += L" *";
    return caption;
}

namespace {

bool ParseId(std::wstring_view text, ResourceId lowest, ResourceId& id) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty()) return false;
    ResourceId value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<ResourceId>(c - L'0');
        // Checked per digit, so a long run of digits never overflows.
        if (value > kMaxFileResourceId) return false;
    }
    if (value < lowest) return false;
    id = value;
    return true;
}

}  // namespace

bool ParseResourceIdField(std::wstring_view text, ResourceId& id) {
    return ParseId(text, kMinNewResourceId, id);
}

bool ParseStoredResourceId(std::wstring_view text, ResourceId& id) {
    return ParseId(text, kMinFileResourceId, id);
}

std::wstring ChangedOnDiskQuestion(const std::wstring& path) {
    return path + L" has changed on disk since it was opened. Overwrite it?";
}
