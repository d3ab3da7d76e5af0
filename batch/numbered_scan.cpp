#include "batch/numbered_scan.h"
#include "fileio/path_separator.h"
#include "fileio/wide_path.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {

bool IsAsciiDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

}  // namespace

// Nine code units in UTF-16 and in UTF-32 alike, since any other character
// already disqualifies the name.
bool ParseNumberedName(const std::wstring& name, std::int32_t& number, bool& png, bool anyCase) {
    if (name.size() != 9) return false;
    const auto is = [&](std::wstring_view extension) {
        return anyCase ? EndsWithAsciiNoCase(name, extension) : name.ends_with(extension);
    };
    if (!is(L".bmp") && !is(L".png")) return false;
    png = is(L".png");
    std::int32_t value = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        if (!IsAsciiDigit(name[i])) return false;
        value = value * 10 + static_cast<std::int32_t>(name[i] - L'0');
    }
    number = value;
    return true;
}

bool InScanOrder(const NumberedBitmapFile& a, const NumberedBitmapFile& b) {
    return a.number != b.number ? a.number < b.number : !a.png && b.png;
}

void ScanNumberedBitmaps(const std::wstring& folder, std::vector<NumberedBitmapFile>& result,
                         bool anyCase) {
    result.clear();
    // Without a trailing separator the folder and the names would run
    // together into paths that name something else.
    if (!folder.empty() && !IsPathSeparator(folder.back())) return;

    try {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::directory_iterator it(folder.empty() ? fs::path(".") : WidePath(folder), ec);
        if (ec) return;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            const fs::directory_entry& entry = *it;
            std::error_code typeError;
            if (entry.is_directory(typeError)) continue;

            std::wstring name;
            try {
                name = WideFromPath(entry.path().filename());
            } catch (const std::exception&) {
                continue;  // not valid UTF-8: it cannot name a qualifying file
            }
            std::int32_t number = 0;
            bool png = false;
            if (!ParseNumberedName(name, number, png, anyCase)) continue;
            result.push_back(NumberedBitmapFile{number, folder + name, png});
        }
        // A listing that failed part-way still yields what it found.
        std::sort(result.begin(), result.end(), InScanOrder);
    } catch (const std::exception&) {
        // Out of memory or a folder name the file system cannot represent:
        // nothing trustworthy was listed.
        result.clear();
    }
}

std::size_t TakeBitmapsOverPngs(std::vector<NumberedBitmapFile>& files) {
    // Sorted by number with the ".bmp" first, so the one to keep comes first.
    const auto kept = std::unique(files.begin(), files.end(),
                                  [](const NumberedBitmapFile& a, const NumberedBitmapFile& b) {
                                      return a.number == b.number;
                                  });
    const auto shadowed = static_cast<std::size_t>(files.end() - kept);
    files.erase(kept, files.end());
    return shadowed;
}
