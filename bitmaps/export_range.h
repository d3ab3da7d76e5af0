// Exporting the bitmaps of a typed range of resource IDs, and what the user
// is told afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmaps/export_all.h"
#include "document/container_doc.h"

// 64-bit so that a range as wide as the whole ID type is counted exactly.
struct RangeExportCounts {
    std::int64_t exported = 0;
    std::int64_t missing = 0;
    std::int64_t failed = 0;
    bool operator==(const RangeExportCounts&) const = default;
};

// The IDs of the store from the smaller to the larger of first and second,
// both included, ascending: the range may be typed in either order.
std::vector<ResourceId> StoredIdsInRange(const BitmapStore& store, ResourceId first,
                                         ResourceId second);

// Writes each stored ID of the range into folder as %05d.bmp (one separator
// added unless folder ends with one). An ID of the range without a bitmap
// counts as missing and touches no file; an ID whose file is not written, or
// whose path would not fit a 260-unit path buffer, counts as failed, and the
// export goes on. Each file is an exported copy (WriteBitmapFile). A step
// that stops the export leaves the IDs after it uncounted, but for the
// missing ones.
RangeExportCounts ExportBitmapsInRange(const ContainerDoc& doc, const std::wstring& folder,
                                       ResourceId first, ResourceId second,
                                       const ExportStep& step = {});

// The three-line summary shown after a range export.
std::wstring RangeExportSummary(const RangeExportCounts& counts);
