#include "document/pe_resource_survey.h"

#include <algorithm>

#include "document/pe_resource_reader.h"
#include "fileio/byte_order.h"

namespace pe {

namespace {

// One table and its whole entry array in one read: the name table of a full
// container is half a megabyte, read once rather than entry by entry.
bool ReadTable(const ImageSource& image, std::uint64_t offset, std::vector<std::uint8_t>& entries,
               std::uint32_t& named) {
    std::uint8_t header[kResourceDirectorySize];
    if (offset > image.size || image.size - offset < kResourceDirectorySize ||
        !image.read(offset, header)) {
        return false;
    }
    named = LoadU16(header + kResDirNumberOfNamedEntries);
    const std::uint64_t total = std::uint64_t{named} + LoadU16(header + kResDirNumberOfIdEntries);
    const std::uint64_t at = offset + kResourceDirectorySize;
    if (total * kResourceEntrySize > image.size - at) return false;
    entries.resize(static_cast<std::size_t>(total * kResourceEntrySize));
    return image.read(at, entries);
}

}  // namespace

bool SurveyResources(const ImageSource& image, ResourceSurvey& out) {
    out = ResourceSurvey{};
    std::vector<std::uint8_t> prefix;
    ImageHeaders headers;
    if (!ReadImagePrefix(image, prefix) || !ParseImageHeaders(prefix, headers)) return false;
    out.is64 = headers.is64;
    out.fileSize = image.size;
    for (const SectionHeader& s : headers.sections) {
        if (s.sizeOfRawData == 0) continue;
        out.sectionsEnd =
            std::max(out.sectionsEnd, std::uint64_t{s.pointerToRawData} + s.sizeOfRawData);
    }
    if (headers.directoryCount <= kDirectoryResource) return true;
    const DataDirectory resources = headers.directories[kDirectoryResource];
    std::uint64_t root = 0;
    if (resources.address == 0 || !RvaToFileOffset(headers, resources.address, true, root)) {
        return true;
    }

    std::vector<std::uint8_t> types, names;
    std::uint32_t namedTypes = 0, namedNames = 0;
    if (!ReadTable(image, root, types, namedTypes)) return true;
    for (std::size_t i = 0; i < types.size(); i += kResourceEntrySize) {
        const std::uint32_t name = LoadU32(&types[i]);
        const std::uint32_t target = LoadU32(&types[i + 4]);
        if ((target & kResourceHighBit) == 0) continue;  // data where a table belongs
        if (!ReadTable(image, root + (target & ~kResourceHighBit), names, namedNames)) continue;
        const std::uint32_t count = static_cast<std::uint32_t>(names.size() / kResourceEntrySize);
        const bool namedType = (name & kResourceHighBit) != 0;
        if (!namedType && (name & 0xFFFF) == kResourceTypeBitmap) {
            out.namedBitmaps += namedNames;
            continue;
        }
        if (count == 0) continue;
        const std::int32_t typeId = namedType ? -1 : static_cast<std::int32_t>(name & 0xFFFF);
        auto at =
            std::find_if(out.otherTypes.begin(), out.otherTypes.end(),
                         [&](const ResourceSurvey::OtherType& t) { return t.typeId == typeId; });
        if (at == out.otherTypes.end()) {
            out.otherTypes.push_back({typeId, count});
        } else {
            at->names += count;
        }
    }
    std::sort(out.otherTypes.begin(), out.otherTypes.end(),
              [](const auto& a, const auto& b) { return a.typeId < b.typeId; });
    // A table the reader cannot walk holds no versions a load would take.
    if (!CountOtherLanguageVersions(image, out.otherLanguageBitmaps)) out.otherLanguageBitmaps = 0;
    return true;
}

}  // namespace pe
