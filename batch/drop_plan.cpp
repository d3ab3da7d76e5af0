#include "batch/drop_plan.h"

#include <algorithm>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/png_convert.h"
#include "document/display_text.h"
#include "fileio/path_separator.h"

namespace {

std::wstring NameOf(const std::wstring& path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), IsPathSeparator);
    return std::wstring(last.base(), path.end());
}

}  // namespace

DroppedContent ClassifyDroppedFile(const std::wstring& path,
                                   const std::vector<std::uint8_t>& head) {
    if (EndsWithAsciiNoCase(path, L".obk")) return DroppedContent::Container;
    if (LooksLikeBitmapFile(head) || IsPng(head)) return DroppedContent::Image;
    return DroppedContent::Other;
}

DropPlan PlanDrop(const std::vector<DroppedFile>& files, bool onRow) {
    DropPlan plan;
    if (files.size() == 1 && files[0].content != DroppedContent::Other) {
        const bool image = files[0].content == DroppedContent::Image;
        plan.action = !image ? DropAction::Open : onRow ? DropAction::Replace : DropAction::Add;
        plan.file = files[0].path;
        return plan;
    }
    for (const DroppedFile& file : files) {
        NumberedBitmapFile numbered{0, file.path};
        const bool taken = files.size() > 1 && file.content == DroppedContent::Image &&
                           ParseNumberedName(NameOf(file.path), numbered.number, numbered.png);
        if (taken) plan.numbered.push_back(numbered);
        if (!taken) plan.refused.push_back(NameOf(file.path));
    }
    // In a folder scan's order, which the import's choice between a
    // number's two files relies on.
    std::sort(plan.numbered.begin(), plan.numbered.end(), InScanOrder);
    if (!plan.numbered.empty()) plan.action = DropAction::Import;
    return plan;
}

std::wstring DropRefusalMessage(const std::vector<std::wstring>& refused) {
    std::wstring message = L"These files were not taken:\n";
    for (const std::wstring& name : refused)
        message += L"\n" + name;
    return message +
           L"\n\nDrop one .obk file to open it, one .bmp or .png image to add it (on a row, to "
           L"replace that bitmap), or images named by their five-digit ID, as 00012.bmp, to "
           L"import them.";
}

std::wstring ReplaceDropQuestion(ResourceId id, const std::wstring& path) {
    return L"Replace bitmap " + ResourceIdLabel(id) + L" with " + NameOf(path) + L"?";
}
