#include "document/pe_resource_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "document/pe_format.h"
#include "fileio/byte_order.h"

namespace pe {

namespace {

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
    bool IsDirectory() const { return (target & kResourceHighBit) != 0; }
    std::uint32_t TargetOffset() const { return target & ~kResourceHighBit; }
};

// Reads the small structures of the tree through a few cached blocks of the
// source: the tables of a large container are compact, its payloads are not.
struct CachedReader {
    static constexpr std::size_t kBlocks = 8;
    const ImageSource* source = nullptr;
    std::size_t blockSize = 0;                   // 64 KiB, or less for a smaller image
    std::unique_ptr<std::uint8_t[]> data;        // allocated on the first read
    std::array<std::uint64_t, kBlocks> block{};  // block index + 1; 0 when empty
    std::array<std::uint64_t, kBlocks> used{};   // for evicting the least recently used
    std::uint64_t clock = 0;
    bool ioError = false;  // a read inside the file failed: the load fails, skips nothing

    explicit CachedReader(const ImageSource& s)
        : source(&s),
          blockSize(static_cast<std::size_t>(
              std::clamp<std::uint64_t>(s.size, 1, std::uint64_t{64 * 1024}))) {}

    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= source->size && length <= source->size - offset;
    }
    // The cached copy of block b, loaded if needed; null when unreadable.
    const std::uint8_t* Block(std::uint64_t b) {
        std::size_t slot = 0;
        for (std::size_t i = 0; i < kBlocks; ++i) {
            if (block[i] == b + 1) {
                used[i] = ++clock;
                return data.get() + i * blockSize;
            }
            if (used[i] < used[slot]) slot = i;
        }
        if (!data) data.reset(new std::uint8_t[kBlocks * blockSize]);
        const std::uint64_t start = b * blockSize;
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, source->size - start));
        std::uint8_t* at = data.get() + slot * blockSize;
        if (!source->read(start, std::span<std::uint8_t>(at, length))) {
            block[slot] = 0;
            ioError = true;
            return nullptr;
        }
        block[slot] = b + 1;
        used[slot] = ++clock;
        return at;
    }
    bool Bytes(std::uint64_t offset, std::size_t length, std::uint8_t* out) {
        if (!Has(offset, length)) return false;
        if (source->memory) {
            std::copy_n(source->memory + offset, length, out);
            return true;
        }
        while (length > 0) {
            const std::uint8_t* b = Block(offset / blockSize);
            if (!b) return false;
            const std::size_t within = static_cast<std::size_t>(offset % blockSize);
            const std::size_t n = std::min(length, blockSize - within);
            std::copy_n(b + within, n, out);
            out += n;
            offset += n;
            length -= n;
        }
        return true;
    }
    bool U16(std::uint64_t offset, std::uint16_t& v) {
        std::uint8_t b[2];
        if (!Bytes(offset, 2, b)) return false;
        v = LoadU16(b);
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t& v) {
        std::uint8_t b[4];
        if (!Bytes(offset, 4, b)) return false;
        v = LoadU32(b);
        return true;
    }
};

struct ResourceTree {
    explicit ResourceTree(const ImageSource& s) : reader(s) {}
    CachedReader reader;
    std::uint64_t root = 0;  // file offset of the root table; the tree's offsets count from here
    // Entries examined by first-entry fallbacks. Language tables can overlap,
    // so a crafted file could otherwise make every name rescan a huge table.
    std::uint64_t fallbackBudget = 0;
};

bool ReadDirectory(ResourceTree& tree, std::uint32_t relative, Directory& dir) {
    dir.offset = tree.root + relative;
    std::uint16_t named = 0, ids = 0;
    if (!tree.reader.U16(dir.offset + kResDirNumberOfNamedEntries, named) ||
        !tree.reader.U16(dir.offset + kResDirNumberOfIdEntries, ids)) {
        return false;
    }
    dir.named = named;
    dir.total = std::uint32_t{named} + ids;
    // The whole entry array has to be in the file; a table that claims more
    // entries than the file holds is refused rather than read in part.
    return tree.reader.Has(dir.offset + kResourceDirectorySize,
                           std::uint64_t{dir.total} * kResourceEntrySize);
}

Entry EntryAt(ResourceTree& tree, const Directory& dir, std::uint32_t index) {
    Entry e;
    const std::uint64_t at =
        dir.offset + kResourceDirectorySize + std::uint64_t{index} * kResourceEntrySize;
    // ReadDirectory checked that the array is in the file; a read error
    // leaves a zero entry, which names nothing readable.
    tree.reader.U32(at, e.name);
    tree.reader.U32(at + 4, e.target);
    return e;
}

bool FindById(ResourceTree& tree, const Directory& dir, std::uint16_t id, bool wantDirectory,
              Entry& found) {
    std::int64_t lo = dir.named, hi = std::int64_t{dir.total} - 1;
    while (lo <= hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        const Entry e = EntryAt(tree, dir, static_cast<std::uint32_t>(mid));
        const std::uint16_t entryId = static_cast<std::uint16_t>(e.name);
        if (entryId == id) {
            if (e.IsDirectory() != wantDirectory) return false;
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
        if (tree.fallbackBudget == 0) return false;
        --tree.fallbackBudget;
        const Entry e = EntryAt(tree, dir, i);
        if (!e.IsDirectory()) {
            found = e;
            return true;
        }
    }
    return false;
}

bool FindLowestData(ResourceTree& tree, const Directory& dir, Entry& found) {
    bool any = false;
    for (std::uint32_t i = dir.named; i < dir.total; ++i) {
        if (tree.fallbackBudget == 0) return false;
        --tree.fallbackBudget;
        const Entry e = EntryAt(tree, dir, i);
        if (e.IsDirectory()) continue;
        if (!any || static_cast<std::uint16_t>(e.name) < static_cast<std::uint16_t>(found.name)) {
            found = e;
            any = true;
        }
    }
    return any;
}

// The language version the loader hands out when no language is named.
bool ChooseLanguage(ResourceTree& tree, const Directory& languages, const LanguageOrder& order,
                    Entry& dataEntry) {
    for (std::uint16_t lang : order.tried) {
        if (FindById(tree, languages, lang, false, dataEntry)) return true;
    }
    if (order.thenLowest) return FindLowestData(tree, languages, dataEntry);
    return FindFirstData(tree, languages, dataEntry);
}

// Where the bytes a data entry describes are in the file. False (skip) for a
// zero size, an RVA in no section or bytes that run past the end of the file.
bool LocateData(ResourceTree& tree, const ImageHeaders& headers, const Entry& dataEntry,
                std::uint64_t& offset, std::uint32_t& size) {
    const std::uint64_t at = tree.root + dataEntry.TargetOffset();
    std::uint32_t rva = 0;
    if (!tree.reader.Has(at, kResourceDataEntrySize)) return false;
    if (!tree.reader.U32(at, rva) || !tree.reader.U32(at + 4, size)) return false;
    if (size == 0) return false;
    if (!RvaToFileOffset(headers, rva, false, offset)) return false;
    return tree.reader.Has(offset, size);
}

struct Located {
    ResourceId id = 0;
    std::uint32_t size = 0;
    std::uint64_t offset = 0;
    DibPayload* payload = nullptr;
};

// Hands each piece (its offset and size) with its bytes to take, in file
// order, read through one window of at most windowLimit bytes: one large
// read serves many small bitmaps, and a piece as large as the window gets a
// read of its own.
template <class Piece, class Take>
bool ReadInFileOrder(const ImageSource& source, std::vector<Piece>& pieces,
                     std::uint64_t windowLimit, const Take& take) {
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.offset < b.offset; });
    const std::size_t windowSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(source.size, windowLimit));
    std::vector<std::uint8_t> window, large;
    std::uint64_t windowStart = 0, windowLength = 0;
    for (Piece& piece : pieces) {
        if (piece.size >= windowSize) {
            large.resize(piece.size);
            if (!source.read(piece.offset, large) || !take(piece, large)) return false;
            continue;
        }
        if (piece.offset < windowStart || piece.offset + piece.size > windowStart + windowLength) {
            window.resize(windowSize);
            windowStart = piece.offset;
            windowLength = std::min<std::uint64_t>(windowSize, source.size - piece.offset);
            if (!source.read(windowStart,
                             std::span<std::uint8_t>(window.data(),
                                                     static_cast<std::size_t>(windowLength)))) {
                return false;
            }
        }
        if (!take(piece, std::span<const std::uint8_t>(window.data() + (piece.offset - windowStart),
                                                       piece.size))) {
            return false;
        }
    }
    return true;
}

// Copies the located payloads out of the source, each cut to its first keep
// bytes: a listing needs the headers alone, and a small window then reads
// little more than them.
bool CopyPayloads(const ImageSource& source, std::vector<Located>& located, std::size_t keep) {
    for (Located& l : located)
        l.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(l.size, keep));
    return ReadInFileOrder(source, located, keep < 4096 ? 8192 : std::uint64_t{1} << 20,
                           [](const Located& l, std::span<const std::uint8_t> bytes) {
                               *l.payload = DibPayload(bytes.begin(), bytes.end());
                               return true;
                           });
}

}  // namespace

namespace {

// Hands take every numeric-ID bitmap's place in the file, each ID once, in
// the order the name table lists them (ascending by ID in a well-formed one).
template <class Take>
bool LocateEach(const ImageSource& image, const LanguageOrder& languageOrder, const Take& take,
                std::uint32_t* otherVersions = nullptr) {
    std::vector<std::uint8_t> prefix;
    ImageHeaders headers;
    if (!ReadImagePrefix(image, prefix) || !ParseImageHeaders(prefix, headers)) return false;
    if (headers.directoryCount <= kDirectoryResource) return true;
    const DataDirectory resources = headers.directories[kDirectoryResource];
    if (resources.address == 0) return true;

    ResourceTree tree(image);
    if (!RvaToFileOffset(headers, resources.address, true, tree.root)) return true;
    tree.fallbackBudget = (std::uint64_t{1} << 22) + image.size;

    Directory root, names;
    Entry typeEntry;
    if (!ReadDirectory(tree, 0, root) ||
        !FindById(tree, root, kResourceTypeBitmap, true, typeEntry) ||
        !ReadDirectory(tree, typeEntry.TargetOffset(), names)) {
        return !tree.reader.ioError;
    }

    // Names may share one data entry; copies of it are capped so that a small
    // file cannot ask for unbounded memory. Honest files never come close.
    const std::uint64_t copyLimit =
        std::max<std::uint64_t>(std::uint64_t{8} * image.size, std::uint64_t{256} << 20);
    std::uint64_t total = 0;

    // Where the IDs ascend strictly, a by-ID find of each listed ID lands on
    // that entry itself, and tens of thousands of searches can be skipped.
    bool ascending = true;
    std::uint32_t previous = 0;
    for (std::uint32_t i = names.named; i < names.total && ascending; ++i) {
        const std::uint32_t name = EntryAt(tree, names, i).name;
        ascending = name <= 0xFFFF && (i == names.named || name > previous);
        previous = name;
    }

    std::vector<bool> seen(0x10000);
    for (std::uint32_t i = 0; i < names.total; ++i) {
        const Entry listed = EntryAt(tree, names, i);
        if (listed.name & kResourceHighBit) continue;  // a string name
        const std::uint16_t id = static_cast<std::uint16_t>(listed.name);
        if (seen[id]) continue;  // a duplicate name is read once
        seen[id] = true;

        // Look the ID up again, as a by-name find does, rather than trusting
        // the enumerated entry: with duplicate or unsorted IDs they differ.
        Entry nameEntry, dataEntry;
        Directory languages;
        if (ascending && i >= names.named) {
            if (!listed.IsDirectory()) continue;
            nameEntry = listed;
        } else if (!FindById(tree, names, id, true, nameEntry)) {
            continue;
        }
        if (!ReadDirectory(tree, nameEntry.TargetOffset(), languages)) continue;
        if (!ChooseLanguage(tree, languages, languageOrder, dataEntry)) continue;
        if (otherVersions) *otherVersions += languages.total - 1;
        Located l;
        l.id = id;
        if (!LocateData(tree, headers, dataEntry, l.offset, l.size)) continue;
        total += l.size;
        if (total > copyLimit) return false;
        take(l);
    }

    // A table that could not be read is not a table that is not there.
    return !tree.reader.ioError;
}

// Every numeric-ID bitmap's place in the file, ascending by ID.
bool Locate(const ImageSource& image, const LanguageOrder& languageOrder,
            std::vector<Located>& located) {
    located.clear();
    if (!LocateEach(image, languageOrder, [&located](const Located& l) { located.push_back(l); }))
        return false;
    std::sort(located.begin(), located.end(),
              [](const Located& a, const Located& b) { return a.id < b.id; });
    return true;
}

bool ReadBitmaps(const ImageSource& image, BitmapStore& out, const LanguageOrder& languageOrder,
                 std::size_t keep, std::map<ResourceId, std::uint32_t>* sizes) {
    out.clear();
    std::vector<Located> located;
    if (!Locate(image, languageOrder, located)) return false;
    // Entries go into the store in ascending order, each at the end.
    for (Located& l : located) {
        l.payload = &out.try_emplace(out.end(), l.id)->second;
        if (sizes) (*sizes)[l.id] = l.size;
    }
    if (!CopyPayloads(image, located, keep)) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace

bool ReadBitmapResources(const ImageSource& image, BitmapStore& out,
                         const LanguageOrder& languageOrder) {
    return ReadBitmaps(image, out, languageOrder, SIZE_MAX, nullptr);
}

bool LocateBitmapResources(const ImageSource& image, std::vector<BitmapLocation>& out,
                           const LanguageOrder& languageOrder) {
    out.clear();
    std::vector<Located> located;
    if (!Locate(image, languageOrder, located)) return false;
    for (const Located& l : located)
        out.push_back({l.id, l.offset, l.size});
    return true;
}

bool CountOtherLanguageVersions(const ImageSource& image, std::uint32_t& count) {
    count = 0;
    return LocateEach(
        image, kEnglishUsLanguageOrder, [](const Located&) {}, &count);
}

bool StreamBitmapResources(const ImageSource& image, std::vector<BitmapLocation> where,
                           const BitmapTaker& take) {
    return ReadInFileOrder(image, where, std::uint64_t{1} << 20,
                           [&take](const BitmapLocation& l, std::span<const std::uint8_t> bytes) {
                               return take(l.id, bytes);
                           });
}

bool ReadBitmapHeads(const ImageSource& image, std::size_t keep, BitmapStore& heads,
                     std::map<ResourceId, std::uint32_t>& sizes,
                     const LanguageOrder& languageOrder) {
    sizes.clear();
    if (ReadBitmaps(image, heads, languageOrder, keep, &sizes)) return true;
    sizes.clear();
    return false;
}

bool ReadBitmapResources(std::span<const std::uint8_t> image, BitmapStore& out,
                         const LanguageOrder& languageOrder) {
    return ReadBitmapResources(SpanSource(image), out, languageOrder);
}

bool ViewBitmapResources(const std::shared_ptr<const void>& owner,
                         std::span<const std::uint8_t> image, BitmapStore& out,
                         const LanguageOrder& languageOrder) {
    out.clear();
    // Straight into the store: at the end, in one step, while the IDs ascend.
    const auto take = [&](const Located& l) {
        out.try_emplace(out.end(), l.id, DibPayload::View(owner, image.data() + l.offset, l.size));
    };
    if (LocateEach(SpanSource(image), languageOrder, take)) return true;
    out.clear();
    return false;
}

}  // namespace pe
