#include "document/pe_image_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <span>

#include "document/pe_format.h"
#include "fileio/byte_order.h"

namespace pe {

namespace {

// Resource compilers align each resource's data to 8 bytes; so do we.
constexpr std::uint64_t kPayloadAlignment = 8;
constexpr std::uint32_t kRsrcCharacteristics = kScnInitializedData | kScnMemRead;
constexpr std::uint8_t kRsrcName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// Everything the output is made of, decided before a byte is written.
struct SavePlan {
    std::vector<std::uint8_t> header;  // patched copy of image[0, header.size())
    std::uint32_t rva = 0;             // of the new resource data
    std::uint64_t keepEnd = 0;         // image[header.size(), keepEnd) follows unchanged
    std::uint64_t rawPointer = 0;      // output offset of the new resource data
    std::uint64_t dataSize = 0;        // directory and padded payloads
    std::uint64_t rawSize = 0;         // dataSize rounded up to FileAlignment
    bool hasOverlay = false;           // bytes after the last section's data
    std::uint64_t overlayStart = 0;
    std::uint64_t overlayPad = 0;  // zeros that keep the overlay's offset modulo 8
    std::uint64_t checkSumOffset = 0;
    bool recomputeCheckSum = false;
};

// How far the old image reaches, in the file and in memory.
struct ImageExtent {
    std::uint64_t rawEnd = 0;      // end of the headers' and the sections' data
    std::uint64_t virtualEnd = 0;  // end of the last section in memory, aligned
};

// The section the new table goes into, and what changes with it.
struct TableSection {
    std::size_t index = 0;  // in the section table; the old count for a new section
    bool reuse = false;
    std::uint64_t rva = 0;
    std::uint64_t rawPointer = 0;
    std::uint64_t oldRawSize = 0;  // the reused section's data, no longer counted
    std::uint64_t headerEnd = 0;   // end of the section table, a new header included
    std::uint64_t sizeOfImage = 0;
};

// New file offsets of the structures after the last section that the headers
// point at.
struct MovedOverlay {
    std::uint32_t security = 0;
    std::uint32_t symbols = 0;
};

// The RVAs a section can claim: the loader maps VirtualSize bytes (or
// SizeOfRawData when that is 0) of an image, but maps an RVA of a data file
// through [VirtualAddress, VirtualAddress + SizeOfRawData). A new table must
// stay clear of both, or one of the two views would find other bytes there.
std::uint64_t Extent(const SectionHeader& s) {
    return std::max<std::uint64_t>(s.virtualSize, s.sizeOfRawData);
}

// What a payload takes in the resource data.
std::uint64_t Padded(const DibPayload& payload) {
    return AlignUp(payload.size(), kPayloadAlignment);
}

bool CheckStore(const BitmapStore& store, std::uint64_t& payloadBytes) {
    payloadBytes = 0;
    for (const auto& [id, payload] : store) {
        // A name is 16 bits; an ID outside the range would be written under
        // another number, so it is refused instead.
        if (id < kMinFileResourceId || id > kMaxFileResourceId) return false;
        if (payload.empty() || payload.size() > kMaxU32) return false;
        payloadBytes += Padded(payload);
        if (payloadBytes > kMaxU32) return false;
    }
    return true;
}

// type -> name -> language, each table followed by its entries; then the
// data entries; then the payloads.
std::uint64_t DirectoryBytes(std::uint64_t n) {
    if (n == 0) return kResourceDirectorySize;  // an empty root table
    return kResourceDirectorySize + kResourceEntrySize + kResourceDirectorySize +
           n * (kResourceEntrySize + kResourceDirectorySize + kResourceEntrySize +
                kResourceDataEntrySize);
}

bool HasCertificateTable(const ImageHeaders& h) {
    return h.directoryCount > kDirectorySecurity && h.directories[kDirectorySecurity].size != 0;
}

bool Overlaps(std::uint64_t aStart, std::uint64_t aSize, std::uint64_t bStart,
              std::uint64_t bSize) {
    return aStart < bStart + bSize && bStart < aStart + aSize;
}

// The plan rounds offsets and sizes up to these: powers of two, the section
// alignment no finer than the file's.
bool CheckAlignment(const ImageHeaders& h) {
    const std::uint64_t fa = h.fileAlignment, sa = h.sectionAlignment;
    if (!IsPowerOfTwo(h.fileAlignment) || fa > 0x10000) return false;
    return IsPowerOfTwo(h.sectionAlignment) && sa >= fa && sa <= 0x1000000;
}

bool MeasureImage(const ImageHeaders& h, std::uint64_t fileSize, ImageExtent& e) {
    // Headers that claim more than the file holds would have the new data
    // placed after a run of zeros of their choosing.
    if (h.sizeOfHeaders > fileSize) return false;
    const std::uint64_t sa = h.sectionAlignment;
    e.rawEnd = h.sizeOfHeaders;
    e.virtualEnd = AlignUp(h.sizeOfHeaders, sa);
    for (const SectionHeader& s : h.sections) {
        if (s.sizeOfRawData != 0) {
            const std::uint64_t end = std::uint64_t{s.pointerToRawData} + s.sizeOfRawData;
            if (end > fileSize) return false;  // data we could not carry over
            e.rawEnd = std::max(e.rawEnd, end);
        }
        e.virtualEnd = std::max(e.virtualEnd, s.virtualAddress + AlignUp(Extent(s), sa));
    }
    return true;
}

// The section whose memory holds the resource directory; sections.size()
// when there is none.
std::size_t FindResourceSection(const ImageHeaders& h) {
    const std::uint32_t resourceRva = h.directories[kDirectoryResource].address;
    if (resourceRva == 0) return h.sections.size();
    for (std::size_t i = 0; i < h.sections.size(); ++i) {
        const SectionHeader& s = h.sections[i];
        if (s.virtualAddress <= resourceRva && resourceRva < s.virtualAddress + Extent(s)) {
            return i;
        }
    }
    return h.sections.size();
}

// Whether the new table can take the place of section `index`'s contents: it
// is last in the table, in memory and in the file, the resource directory
// starts it, and nothing else the headers point at lives there.
bool CanReuseSection(const ImageHeaders& h, std::size_t index) {
    const std::uint64_t sa = h.sectionAlignment;
    const SectionHeader& r = h.sections[index];
    if (index + 1 != h.sections.size()) return false;
    if (h.directories[kDirectoryResource].address != r.virtualAddress) return false;
    for (std::size_t j = 0; j < index; ++j) {
        const SectionHeader& s = h.sections[j];
        if (s.virtualAddress + AlignUp(Extent(s), sa) > r.virtualAddress) return false;
        if (s.sizeOfRawData != 0 && r.sizeOfRawData != 0 &&
            std::uint64_t{s.pointerToRawData} + s.sizeOfRawData > r.pointerToRawData) {
            return false;
        }
    }
    const std::uint64_t extent = Extent(r);
    for (std::uint32_t d = 0; d < h.directoryCount; ++d) {
        if (d == kDirectoryResource || d == kDirectorySecurity) continue;
        const DataDirectory& dir = h.directories[d];
        if (dir.address == 0 || dir.size == 0) continue;
        if (Overlaps(dir.address, dir.size, r.virtualAddress, extent)) return false;
    }
    return true;
}

std::uint64_t SectionTableEnd(const ImageHeaders& h) {
    return std::uint64_t{h.sectionTableOffset} + h.sections.size() * kSectionHeaderSize;
}

// The table overwrites the old resource section where it stands; a section
// without file data gets its data after the other sections'.
void ReuseSection(const ImageHeaders& h, std::size_t index, TableSection& t) {
    const SectionHeader& r = h.sections[index];
    t.index = index;
    t.reuse = true;
    t.rva = r.virtualAddress;
    t.oldRawSize = r.sizeOfRawData;
    t.headerEnd = SectionTableEnd(h);
    if (r.sizeOfRawData != 0) {
        t.rawPointer = r.pointerToRawData;
        return;
    }
    std::uint64_t othersEnd = h.sizeOfHeaders;
    for (std::size_t j = 0; j < index; ++j) {
        const SectionHeader& s = h.sections[j];
        if (s.sizeOfRawData != 0) {
            othersEnd = std::max<std::uint64_t>(
                othersEnd, std::uint64_t{s.pointerToRawData} + s.sizeOfRawData);
        }
    }
    t.rawPointer = AlignUp(othersEnd, h.fileAlignment);
}

// A new ".rsrc" after the last section, in memory and in the file. Its header
// goes right after the table: it has to fit inside SizeOfHeaders, before any
// section's data, on bytes nobody uses.
bool AppendSection(std::span<const std::uint8_t> image, const ImageHeaders& h, const ImageExtent& e,
                   TableSection& t) {
    if (h.sections.size() >= kMaxSections) return false;
    const std::uint64_t tableEnd = SectionTableEnd(h);
    t.headerEnd = tableEnd + kSectionHeaderSize;
    if (t.headerEnd > h.sizeOfHeaders || t.headerEnd > image.size()) return false;
    for (const SectionHeader& s : h.sections) {
        if (s.sizeOfRawData != 0 && s.pointerToRawData < t.headerEnd) return false;
    }
    const auto slot = image.subspan(static_cast<std::size_t>(tableEnd), kSectionHeaderSize);
    if (std::any_of(slot.begin(), slot.end(), [](std::uint8_t b) { return b != 0; })) {
        return false;
    }
    t.index = h.sections.size();
    t.reuse = false;
    t.rva = e.virtualEnd;
    t.rawPointer = AlignUp(e.rawEnd, h.fileAlignment);
    return true;
}

bool ChooseSection(std::span<const std::uint8_t> image, const ImageHeaders& h, const ImageExtent& e,
                   TableSection& t) {
    const std::size_t index = FindResourceSection(h);
    if (index < h.sections.size() && CanReuseSection(h, index)) {
        ReuseSection(h, index, t);
        return true;
    }
    return AppendSection(image, h, e, t);
}

// Where the new resource data goes in the output, and its size. False when the
// image would outgrow the 32-bit fields that describe it.
bool PlaceTable(const ImageHeaders& h, std::uint64_t dataSize, TableSection& t, SavePlan& plan) {
    plan.rawPointer = t.rawPointer;
    plan.dataSize = dataSize;
    plan.rawSize = AlignUp(dataSize, h.fileAlignment);
    t.sizeOfImage = AlignUp(t.rva + dataSize, h.sectionAlignment);
    return t.sizeOfImage <= kMaxU32 && plan.rawPointer + plan.rawSize <= kMaxU32;
}

// What follows the last section's data in the file (a certificate table, a
// COFF symbol table, anything else) moves with it, by a multiple of 8 so a
// certificate table stays aligned as the format asks, and the headers'
// offsets into it move along. The bytes before the new data stay put.
bool PlaceOverlay(const ImageHeaders& h, std::uint64_t fileSize, const ImageExtent& e,
                  const TableSection& t, SavePlan& plan, MovedOverlay& moved) {
    plan.overlayStart = std::min(fileSize, e.rawEnd);
    plan.hasOverlay = plan.overlayStart < fileSize;
    plan.keepEnd = std::min(plan.rawPointer, plan.overlayStart);
    if (t.headerEnd > plan.keepEnd) return false;

    const std::uint64_t sectionEnd = plan.rawPointer + plan.rawSize;
    std::int64_t shift = 0;
    if (plan.hasOverlay) {
        plan.overlayPad = (plan.overlayStart - sectionEnd) & 7;
        shift = static_cast<std::int64_t>(sectionEnd + plan.overlayPad) -
                static_cast<std::int64_t>(plan.overlayStart);
    }
    auto move = [&](std::uint32_t offset, std::uint32_t& out) {
        out = offset;
        if (!plan.hasOverlay || offset < plan.overlayStart || offset >= fileSize) return true;
        const std::int64_t to = std::int64_t{offset} + shift;
        if (to < 0 || static_cast<std::uint64_t>(to) > kMaxU32) return false;
        out = static_cast<std::uint32_t>(to);
        return true;
    };
    if (HasCertificateTable(h) && !move(h.directories[kDirectorySecurity].address, moved.security))
        return false;
    return h.pointerToSymbolTable == 0 || move(h.pointerToSymbolTable, moved.symbols);
}

// The old headers with the fields the new table changes.
void PatchHeaders(std::span<const std::uint8_t> image, const ImageHeaders& h, const TableSection& t,
                  const MovedOverlay& moved, SavePlan& plan) {
    plan.header.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(t.headerEnd));
    std::uint8_t* hd = plan.header.data();
    const std::uint64_t opt = h.optionalOffset;
    std::uint8_t* section = hd + h.sectionTableOffset + t.index * kSectionHeaderSize;
    if (!t.reuse) {
        PutU16(hd + h.coffOffset + kCoffNumberOfSections,
               static_cast<std::uint16_t>(h.sections.size() + 1));
        std::memcpy(section, kRsrcName, sizeof kRsrcName);
        PutU32(section + kSecCharacteristics, kRsrcCharacteristics);
    }
    PutU32(section + kSecVirtualSize, static_cast<std::uint32_t>(plan.dataSize));
    PutU32(section + kSecVirtualAddress, static_cast<std::uint32_t>(t.rva));
    PutU32(section + kSecSizeOfRawData, static_cast<std::uint32_t>(plan.rawSize));
    PutU32(section + kSecPointerToRawData, static_cast<std::uint32_t>(plan.rawPointer));

    PutU32(hd + opt + kOptSizeOfImage, static_cast<std::uint32_t>(t.sizeOfImage));
    const std::uint64_t initialized =
        (h.sizeOfInitializedData >= t.oldRawSize ? h.sizeOfInitializedData - t.oldRawSize : 0) +
        plan.rawSize;
    PutU32(hd + opt + kOptSizeOfInitializedData,
           static_cast<std::uint32_t>(std::min(initialized, kMaxU32)));
    std::uint8_t* dirs = hd + h.DirectoriesOffset();
    PutU32(dirs + 8 * kDirectoryResource, static_cast<std::uint32_t>(t.rva));
    PutU32(dirs + 8 * kDirectoryResource + 4, static_cast<std::uint32_t>(plan.dataSize));
    if (HasCertificateTable(h)) {
        PutU32(dirs + 8 * kDirectorySecurity, moved.security);
    }
    if (h.pointerToSymbolTable != 0) {
        PutU32(hd + h.coffOffset + kCoffPointerToSymbolTable, moved.symbols);
    }

    plan.checkSumOffset = opt + kOptCheckSum;
    plan.recomputeCheckSum = h.checkSum != 0;
    if (plan.recomputeCheckSum) PutU32(hd + plan.checkSumOffset, 0);
}

// prefix: the image's first bytes (ReadImagePrefix); fileSize: its length.
bool PlanSave(std::span<const std::uint8_t> prefix, std::uint64_t fileSize,
              const BitmapStore& store, SavePlan& plan) {
    std::uint64_t payloadBytes = 0;
    if (!CheckStore(store, payloadBytes)) return false;
    ImageHeaders h;
    if (!ParseImageHeaders(prefix, h)) return false;
    if (h.directoryCount <= kDirectoryResource) return false;  // no slot for the table
    if (!CheckAlignment(h)) return false;

    ImageExtent extent;
    TableSection table;
    MovedOverlay moved;
    if (!MeasureImage(h, fileSize, extent)) return false;
    if (!ChooseSection(prefix, h, extent, table)) return false;
    if (!PlaceTable(h, DirectoryBytes(store.size()) + payloadBytes, table, plan)) return false;
    if (!PlaceOverlay(h, fileSize, extent, table, plan, moved)) return false;
    plan.rva = static_cast<std::uint32_t>(table.rva);
    PatchHeaders(prefix, h, table, moved, plan);
    return true;
}

std::uint64_t OutputSize(const SavePlan& plan, std::uint64_t imageSize) {
    std::uint64_t size = plan.rawPointer + plan.rawSize;
    if (plan.hasOverlay) size += plan.overlayPad + (imageSize - plan.overlayStart);
    return size;
}

using StoreIt = BitmapStore::const_iterator;

// The tables and data entries of the new resource data, made as they are
// written: a full container's are megabytes that would otherwise be zeroed,
// filled and copied once more.
template <class Out>
bool EmitDirectory(const BitmapStore& store, std::uint32_t sectionRva, Out& out) {
    const std::uint32_t n = static_cast<std::uint32_t>(store.size());
    constexpr std::uint32_t nameTable = kResourceDirectorySize + kResourceEntrySize;
    std::uint8_t head[nameTable + kResourceDirectorySize] = {};
    if (n == 0) return out.Bytes({head, kResourceDirectorySize});  // an empty root table

    const std::uint32_t languageTables =
        nameTable + kResourceDirectorySize + n * kResourceEntrySize;
    constexpr std::uint32_t languageTableSize = kResourceDirectorySize + kResourceEntrySize;
    const std::uint32_t dataEntries = languageTables + n * languageTableSize;

    PutU16(head + kResDirNumberOfIdEntries, 1);
    PutU32(head + kResourceDirectorySize, kResourceTypeBitmap);
    PutU32(head + kResourceDirectorySize + 4, nameTable | kResourceHighBit);
    PutU16(head + nameTable + kResDirNumberOfIdEntries, static_cast<std::uint16_t>(n));
    if (!out.Bytes(head)) return false;

    std::uint32_t k = 0;
    for (const auto& entry : store) {
        std::uint8_t name[kResourceEntrySize];
        PutU32(name, static_cast<std::uint32_t>(entry.first));
        PutU32(name + 4, (languageTables + k++ * languageTableSize) | kResourceHighBit);
        if (!out.Bytes(name)) return false;
    }
    for (k = 0; k < n; ++k) {
        std::uint8_t language[languageTableSize] = {};
        PutU16(language + kResDirNumberOfIdEntries, 1);
        // Language neutral, then the data entry.
        PutU32(language + kResourceDirectorySize + 4, dataEntries + k * kResourceDataEntrySize);
        if (!out.Bytes(language)) return false;
    }
    std::uint64_t payload = DirectoryBytes(n);
    for (const auto& entry : store) {
        std::uint8_t data[kResourceDataEntrySize] = {};
        PutU32(data, static_cast<std::uint32_t>(sectionRva + payload));
        PutU32(data + 4, static_cast<std::uint32_t>(entry.second.size()));
        if (!out.Bytes(data)) return false;
        payload += Padded(entry.second);
    }
    return true;
}

// Where payload starts in the old image when it is a view of it, with room
// there for its padding.
bool OffsetInImage(const ImageSource& image, const DibPayload& payload, std::uint64_t& offset) {
    if (!image.memory) return false;
    const auto begin = reinterpret_cast<std::uintptr_t>(image.memory);
    const auto at = reinterpret_cast<std::uintptr_t>(payload.data());
    if (at < begin || at - begin > image.size) return false;
    offset = at - begin;
    return Padded(payload) <= image.size - offset;
}

// The payloads in ID order. A payload that is a view of the old image, and
// those after it that follow it there as they follow it here (the untouched
// bitmaps of a loaded container), go into the output's room with one read of
// the image rather than from memory one by one: on POSIX the image is a
// mapping, and reading a large container through it maps in every page one
// at a time. The padding after each is written as zeros, whatever the old
// image held there.
template <class Out>
bool EmitPayloads(const ImageSource& image, const BitmapStore& store, Out& out) {
    for (StoreIt it = store.begin(); it != store.end();) {
        const DibPayload& payload = it->second;
        std::uint64_t offset = 0;
        std::span<std::uint8_t> room;
        if (!OffsetInImage(image, payload, offset)) {
            if (!out.Bytes(payload) || !out.Zeros(Padded(payload) - payload.size())) return false;
            ++it;
            continue;
        }
        if (!out.Room(room)) return false;
        if (Padded(payload) > room.size()) {  // in pieces of its own
            if (!out.Copy(offset, payload.size())) return false;
            if (!out.Zeros(Padded(payload) - payload.size())) return false;
            ++it;
            continue;
        }
        StoreIt end = it;
        std::uint64_t take = 0, at = 0;
        while (end != store.end() && OffsetInImage(image, end->second, at) && at == offset + take &&
               take + Padded(end->second) <= room.size()) {
            take += Padded(end->second);
            ++end;
        }
        const std::span<std::uint8_t> piece = room.first(static_cast<std::size_t>(take));
        if (!image.read(offset, piece)) return false;
        for (std::size_t done = 0; it != end; ++it) {
            const std::size_t size = it->second.size();
            const std::size_t padded = static_cast<std::size_t>(Padded(it->second));
            std::fill(piece.begin() + static_cast<std::ptrdiff_t>(done + size),
                      piece.begin() + static_cast<std::ptrdiff_t>(done + padded), std::uint8_t{0});
            done += padded;
        }
        if (!out.Commit(piece.size())) return false;
    }
    return true;
}

// Walks the output in order. Out has Bytes(span), Zeros(count), Copy(offset,
// count) of the old image, and Room(span&) and Commit(count) to fill its
// buffer in place, each returning false to stop.
template <class Out>
bool Emit(const SavePlan& plan, const ImageSource& image, const BitmapStore& store, Out& out) {
    const std::uint64_t headerSize = plan.header.size();
    if (!out.Bytes(plan.header)) return false;
    if (!out.Copy(headerSize, plan.keepEnd - headerSize)) return false;
    if (!out.Zeros(plan.rawPointer - plan.keepEnd)) return false;
    if (!EmitDirectory(store, plan.rva, out)) return false;
    if (!EmitPayloads(image, store, out)) return false;
    if (!out.Zeros(plan.rawSize - plan.dataSize)) return false;
    if (plan.hasOverlay) {
        if (!out.Zeros(plan.overlayPad)) return false;
        if (!out.Copy(plan.overlayStart, image.size - plan.overlayStart)) return false;
    }
    return true;
}

struct ChecksumOut {
    const ImageSource& image;
    ImageChecksum sum;
    std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(64 * 1024);
    bool Bytes(std::span<const std::uint8_t> b) {
        sum.Add(b);
        return true;
    }
    bool Zeros(std::uint64_t count) {
        static constexpr std::uint8_t kZeros[4096] = {};
        while (count > 0) {
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, 4096));
            sum.Add({kZeros, chunk});
            count -= chunk;
        }
        return true;
    }
    bool Copy(std::uint64_t offset, std::uint64_t count) {
        while (count > 0) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, scratch.size()));
            const std::span<std::uint8_t> piece(scratch.data(), n);
            if (!image.read(offset, piece)) return false;
            sum.Add(piece);
            offset += n;
            count -= n;
        }
        return true;
    }
    bool Room(std::span<std::uint8_t>& room) {
        room = scratch;
        return true;
    }
    bool Commit(std::size_t count) {
        sum.Add({scratch.data(), count});
        return true;
    }
};

// Gathers the output into writes of one buffer each: a container holds tens
// of thousands of payloads, and a write per payload would dominate the save.
// Large payloads go through the buffer too: measured, the extra copy costs
// less than writes straight from many separately allocated blocks.
struct BufferedOut {
    static constexpr std::size_t kMaxBuffer = std::size_t{256} << 10;
    const ByteSink& sink;
    const ImageSource& image;
    std::unique_ptr<std::uint8_t[]> buffer;  // not zeroed: every byte is written before use
    std::size_t capacity = 0;
    std::size_t used = 0;

    BufferedOut(const ByteSink& s, const ImageSource& source, std::uint64_t outputSize)
        : sink(s),
          image(source),
          capacity(static_cast<std::size_t>(
              std::clamp<std::uint64_t>(outputSize, 1, std::uint64_t{kMaxBuffer}))) {
        buffer.reset(new std::uint8_t[capacity]);
    }

    bool Flush() {
        if (used == 0) return true;
        const bool ok = sink(std::span<const std::uint8_t>(buffer.get(), used));
        used = 0;
        return ok;
    }
    bool Bytes(std::span<const std::uint8_t> b) {
        while (!b.empty()) {
            if (used == capacity && !Flush()) return false;
            const std::size_t n = std::min(b.size(), capacity - used);
            std::memcpy(buffer.get() + used, b.data(), n);
            used += n;
            b = b.subspan(n);
        }
        return true;
    }
    bool Zeros(std::uint64_t count) {
        while (count > 0) {
            if (used == capacity && !Flush()) return false;
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, capacity - used));
            std::memset(buffer.get() + used, 0, chunk);
            used += chunk;
            count -= chunk;
        }
        return true;
    }
    bool Room(std::span<std::uint8_t>& room) {
        if (used == capacity && !Flush()) return false;
        room = {buffer.get() + used, capacity - used};
        return true;
    }
    bool Commit(std::size_t count) {
        used += count;
        return true;
    }
    // Old image bytes go straight into the buffer, a buffer's worth at a time.
    bool Copy(std::uint64_t offset, std::uint64_t count) {
        while (count > 0) {
            if (used == capacity && !Flush()) return false;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, capacity - used));
            if (!image.read(offset, std::span<std::uint8_t>(buffer.get() + used, n))) return false;
            used += n;
            offset += n;
            count -= n;
        }
        return true;
    }
};

bool Run(const ImageSource& image, const BitmapStore& store, const ByteSink& sink,
         const std::function<void(std::uint64_t)>& reserve) {
    std::vector<std::uint8_t> prefix;
    if (!ReadImagePrefix(image, prefix)) return false;
    SavePlan plan;
    if (!PlanSave(prefix, image.size, store, plan)) return false;
    prefix = {};
    if (plan.recomputeCheckSum) {
        ChecksumOut sum{image, {}};
        sum.sum.checkSumFieldOffset = plan.checkSumOffset;
        if (!Emit(plan, image, store, sum)) return false;
        PutU32(plan.header.data() + plan.checkSumOffset, sum.sum.Finish());
    }
    const std::uint64_t outputSize = OutputSize(plan, image.size);
    if (reserve) reserve(outputSize);
    BufferedOut out(sink, image, outputSize);
    return Emit(plan, image, store, out) && out.Flush();
}

}  // namespace

bool WriteImageWithBitmaps(const ImageSource& image, const BitmapStore& store,
                           const ByteSink& sink) {
    try {
        return Run(image, store, sink, nullptr);
    } catch (const std::exception&) {
        return false;
    }
}

bool WriteImageWithBitmaps(std::span<const std::uint8_t> image, const BitmapStore& store,
                           const ByteSink& sink) {
    return WriteImageWithBitmaps(SpanSource(image), store, sink);
}

bool BuildImageWithBitmaps(std::span<const std::uint8_t> image, const BitmapStore& store,
                           std::vector<std::uint8_t>& out) {
    try {
        std::vector<std::uint8_t> result;
        const ByteSink append = [&result](std::span<const std::uint8_t> b) {
            result.insert(result.end(), b.begin(), b.end());
            return true;
        };
        const auto reserve = [&result](std::uint64_t size) {
            result.reserve(static_cast<std::size_t>(size));
        };
        if (!Run(SpanSource(image), store, append, reserve)) return false;
        out = std::move(result);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace pe
