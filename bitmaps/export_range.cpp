#include "bitmaps/export_range.h"

#include <algorithm>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"

std::vector<ResourceId> StoredIdsInRange(const BitmapStore& store, ResourceId first,
                                         ResourceId second) {
    const ResourceId low = std::min(first, second);
    const ResourceId high = std::max(first, second);
    // Walking the store instead of every number of the range keeps a range
    // ending at the largest ID from wrapping around, and wide ranges cheap.
    std::vector<ResourceId> ids;
    for (auto entry = store.lower_bound(low); entry != store.end() && entry->first <= high;
         ++entry) {
        ids.push_back(entry->first);
    }
    return ids;
}

RangeExportCounts ExportBitmapsInRange(const ContainerDoc& doc, const std::wstring& folder,
                                       ResourceId first, ResourceId second,
                                       const ExportStep& step) {
    const std::int64_t span = static_cast<std::int64_t>(std::max(first, second)) -
                              static_cast<std::int64_t>(std::min(first, second)) + 1;
    const std::vector<ResourceId> ids = StoredIdsInRange(doc.bitmaps, first, second);
    RangeExportCounts counts;
    counts.missing = span - static_cast<std::int64_t>(ids.size());
    for (ResourceId id : ids) {
        if (step && !step(static_cast<std::size_t>(counts.exported + counts.failed))) break;
        std::wstring path;
        if (NumberedBitmapPath(folder, id, path) && WriteBitmapFile(doc, id, path)) {
            ++counts.exported;
        } else {
            ++counts.failed;
        }
    }
    return counts;
}

std::wstring RangeExportSummary(const RangeExportCounts& counts) {
    return L"Exported: " + std::to_wstring(counts.exported) + L"\nMissing: " +
           std::to_wstring(counts.missing) + L"\nFailed: " + std::to_wstring(counts.failed);
}
