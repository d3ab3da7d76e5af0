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

std::wstring LeftOutMessage(int leftOut) {
    if (leftOut <= 0) return L"";
    const std::wstring count = std::to_wstring(leftOut);
    if (leftOut == 1) {
        return L"1 file was left out: its resource ID would lie outside 1 to 65535.";
    }
    return count + L" files were left out: their resource IDs would lie outside 1 to 65535.";
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
