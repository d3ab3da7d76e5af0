#include "document/pe_resource_reader.h"

#include <algorithm>
#include <limits>

#include "document/pe_format.h"

namespace pe {

namespace {

constexpr std::uint32_t kResourceDirectorySize = 16;
constexpr std::uint32_t kResourceEntrySize = 8;
constexpr std::uint32_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

// Lookups walk the tree the way the loader does: binary search among the
// numeric entries, and an entry of the wrong kind (a directory where data is
// wanted or the reverse) ends the search unfound.
struct Directory {
    std::uint64_t offset = 0;  // file offset of the table
    std::uint32_t named = 0;
    std::uint32_t total = 0;  // named + numeric entries
};

struct Entry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
    bool IsDirectory() const { return (target & kHighBit) != 0; }
    std::uint32_t TargetOffset() const { return target & ~kHighBit; }
};

struct ResourceTree {
    ByteReader reader;
    std::uint64_t root = 0;  // file offset of the root table; the tree's offsets count from here
    // Entries examined by first-entry fallbacks. Language tables can overlap,
    // so a crafted file could otherwise make every name rescan a huge table.
    std::uint64_t fallbackBudget = 0;
};

bool ReadDirectory(const ResourceTree& tree, std::uint32_t relative, Directory& dir) {
    dir.offset = tree.root + relative;
    std::uint16_t named = 0, ids = 0;
    if (!tree.reader.U16(dir.offset + 12, named) || !tree.reader.U16(dir.offset + 14, ids)) {
        return false;
    }
    dir.named = named;
    dir.total = std::uint32_t{named} + ids;
    // The whole entry array has to be in the file; a table that claims more
    // entries than the file holds is refused rather than read in part.
    return tree.reader.Has(dir.offset + kResourceDirectorySize,
                           std::uint64_t{dir.total} * kResourceEntrySize);
}

Entry EntryAt(const ResourceTree& tree, const Directory& dir, std::uint32_t index) {
    Entry e;
    const std::uint64_t at =
        dir.offset + kResourceDirectorySize + std::uint64_t{index} * kResourceEntrySize;
    tree.reader.U32(at, e.name);  // in range: ReadDirectory checked the array
    tree.reader.U32(at + 4, e.target);
    return e;
}

bool FindById(const ResourceTree& tree, const Directory& dir, std::uint16_t id, bool wantDirectory,
              Entry& found) {
    std::int64_t lo = dir.named, hi = std::int64_t{dir.total} - 1;
    while (lo <= hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        const Entry e = EntryAt(tree, dir, static_cast<std::uint32_t>(mid));
        const std::uint16_t entryId = static_cast<std::uint16_t>(e.name);
        if (entryId == id) {
            if (e.IsDirectory() != wantDirectory)
                return false;
            found = e;
            return true;
        }
        if (entryId > id) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return false;
}

bool FindFirstData(ResourceTree& tree, const Directory& dir, Entry& found) {
    for (std::uint32_t i = 0; i < dir.total; ++i) {
        if (tree.fallbackBudget == 0)
            return false;
        --tree.fallbackBudget;
        const Entry e = EntryAt(tree, dir, i);
        if (!e.IsDirectory()) {
            found = e;
            return true;
        }
    }
    return false;
}

// The language version the loader hands out when no language is named.
bool ChooseLanguage(ResourceTree& tree, const Directory& languages,
                    std::span<const std::uint16_t> order, Entry& dataEntry) {
    for (std::uint16_t lang : order) {
        if (FindById(tree, languages, lang, false, dataEntry))
            return true;
    }
    return FindFirstData(tree, languages, dataEntry);
}

// Copies the bytes a data entry describes. False (skip) for a zero size, an
// RVA in no section or bytes that run past the end of the file.
bool ReadData(const ResourceTree& tree, const ImageHeaders& headers, const Entry& dataEntry,
              DibPayload& out) {
    const std::uint64_t at = tree.root + dataEntry.TargetOffset();
    std::uint32_t rva = 0, size = 0;
    if (!tree.reader.U32(at, rva) || !tree.reader.U32(at + 4, size))
        return false;
    if (!tree.reader.Has(at, kResourceDataEntrySize))
        return false;
    if (size == 0)
        return false;
    std::uint64_t offset = 0;
    if (!RvaToFileOffset(headers, rva, false, offset))
        return false;
    if (!tree.reader.Has(offset, size))
        return false;
    const auto first = tree.reader.bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    out.assign(first, first + size);
    return true;
}

}  // namespace

bool ReadBitmapResources(std::span<const std::uint8_t> image, BitmapStore& out,
                         std::span<const std::uint16_t> languageOrder) {
    out.clear();
    ImageHeaders headers;
    if (!ParseImageHeaders(image, headers))
        return false;
    if (headers.directoryCount <= kDirectoryResource)
        return true;
    const DataDirectory resources = headers.directories[kDirectoryResource];
    if (resources.address == 0)
        return true;

    ResourceTree tree;
    tree.reader = ByteReader{image};
    if (!RvaToFileOffset(headers, resources.address, true, tree.root))
        return true;
    tree.fallbackBudget = (std::uint64_t{1} << 22) + image.size();

    Directory root, names;
    Entry typeEntry;
    if (!ReadDirectory(tree, 0, root))
        return true;
    if (!FindById(tree, root, kResourceTypeBitmap, true, typeEntry))
        return true;
    if (!ReadDirectory(tree, typeEntry.TargetOffset(), names))
        return true;

    // Names may share one data entry; copies of it are capped so that a small
    // file cannot ask for unbounded memory. Honest files never come close.
    const std::uint64_t copyLimit =
        std::max<std::uint64_t>(std::uint64_t{8} * image.size(), std::uint64_t{256} << 20);
    std::uint64_t copied = 0;

    for (std::uint32_t i = 0; i < names.total; ++i) {
        const Entry listed = EntryAt(tree, names, i);
        if (listed.name & kHighBit)
            continue;  // a string name
        const std::uint16_t id = static_cast<std::uint16_t>(listed.name);
        if (out.count(id))
            continue;  // a duplicate name is read once

        // Look the ID up again, as a by-name find does, rather than trusting
        // the enumerated entry: with duplicate or unsorted IDs they differ.
        Entry nameEntry, dataEntry;
        Directory languages;
        if (!FindById(tree, names, id, true, nameEntry))
            continue;
        if (!ReadDirectory(tree, nameEntry.TargetOffset(), languages))
            continue;
        if (!ChooseLanguage(tree, languages, languageOrder, dataEntry))
            continue;

        DibPayload payload;
        if (!ReadData(tree, headers, dataEntry, payload))
            continue;
        copied += payload.size();
        if (copied > copyLimit)
            return false;
        out.insert_or_assign(out.end(), id, std::move(payload));
    }
    return true;
}

}  // namespace pe
