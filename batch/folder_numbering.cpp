#include "batch/folder_numbering.h"

namespace {

constexpr std::int64_t kFirstFileId = 1;
constexpr std::int64_t kLastFileId = 65535;

}  // namespace

std::optional<std::int32_t> FolderNumbering::Take(const NumberedBitmapFile& file) {
    std::int64_t id = file.number;
    if (!numeric_) id = next_++;
    if (id < kFirstFileId || id > kLastFileId) {
        ++leftOut_;
        return std::nullopt;
    }
    return static_cast<std::int32_t>(id);
}

std::wstring LeftOutMessage(int leftOut, int shadowedPngs) {
    std::wstring text;
    if (leftOut == 1) {
        text = L"1 file was left out: its resource ID would lie outside 1 to 65535.";
    } else if (leftOut > 1) {
        text = std::to_wstring(leftOut) +
               L" files were left out: their resource IDs would lie outside 1 to 65535.";
    }
    if (shadowedPngs > 0 && !text.empty()) text += L"\n";
    if (shadowedPngs == 1) {
        text += L"1 .png file was left out: a .bmp file has its number.";
    } else if (shadowedPngs > 1) {
        text += std::to_wstring(shadowedPngs) +
                L" .png files were left out: .bmp files have their numbers.";
    }
    return text;
}

bool OverwritePolicy::Answer(OverwriteAnswer answer) {
    switch (answer) {
        case OverwriteAnswer::No:
            return false;
        case OverwriteAnswer::NoToAll:
            decided_ = true;
            overwriteAll_ = false;
            return false;
        case OverwriteAnswer::YesToAll:
            decided_ = true;
            overwriteAll_ = true;
            return true;
        case OverwriteAnswer::Yes:
        case OverwriteAnswer::Cancel:
        case OverwriteAnswer::NotShown:
        default:
            return true;
    }
}
