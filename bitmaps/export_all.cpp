#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

#include "bitmaps/export_all.h"

#include "bitmaps/bitmap_codec.h"
#include "fileio/path_separator.h"

namespace {

// Path buffers of the Windows shell hold 260 UTF-16 units with the terminator.
constexpr std::size_t kPathBufferUnits = 260;

// wchar_t is UTF-32 on POSIX; a character outside the BMP takes two units.
std::size_t Utf16Length(const std::wstring& text) {
#if WCHAR_MAX > 0xFFFF
    std::size_t units = 0;
    for (wchar_t c : text)
        units += static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
    return units;
#else
    return text.size();
#endif
}

}  // namespace

bool NumberedBitmapPath(const std::wstring& folder, ResourceId id, std::wstring& path,
                        const wchar_t* extension) {
    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(id));
    if (count <= 0 || static_cast<std::size_t>(count) >= sizeof digits) return false;

    try {
        std::wstring result = folder;
        if (!result.empty() && !IsPathSeparator(result.back())) result += kPathSeparator;
        for (int i = 0; i < count; ++i)
            result += static_cast<wchar_t>(digits[i]);
        result += extension;
        if (Utf16Length(result) >= kPathBufferUnits) return false;
        path = std::move(result);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ExportAllBitmaps(const ContainerDoc& doc, const std::wstring& folder, const ExportStep& step) {
    std::size_t done = 0;
    for (const auto& entry : doc.bitmaps) {
        if (step && !step(done++)) return true;
        std::wstring path;
        if (!NumberedBitmapPath(folder, entry.first, path) ||
            !WriteBitmapFile(doc, entry.first, path)) {
            return false;
        }
    }
    return true;
}
