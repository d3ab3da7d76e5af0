#include "document/pe_image_writer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>

#include "document/pe_format.h"
#include "document/pe_resource_reader.h"

namespace pe {

namespace {

constexpr std::uint32_t kResourceDirectorySize = 16;
constexpr std::uint32_t kResourceEntrySize = 8;
constexpr std::uint32_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
// Resource compilers align each resource's data to 8 bytes; so do we.
constexpr std::uint64_t kPayloadAlignment = 8;
constexpr std::uint32_t kRsrcCharacteristics = kScnInitializedData | kScnMemRead;
constexpr std::uint8_t kRsrcName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// Everything the output is made of, decided before a byte is written.
struct SavePlan {
    std::vector<std::uint8_t> header;     // patched copy of image[0, header.size())
    std::vector<std::uint8_t> directory;  // tables and data entries of the new resource data
    std::uint64_t keepEnd = 0;            // image[header.size(), keepEnd) follows unchanged
    std::uint64_t rawPointer = 0;         // output offset of the new resource data
    std::uint64_t dataSize = 0;           // directory and padded payloads
    std::uint64_t rawSize = 0;            // dataSize rounded up to FileAlignment
    bool hasOverlay = false;              // bytes after the last section's data
    std::uint64_t overlayStart = 0;
    std::uint64_t overlayPad = 0;  // zeros that keep the overlay's offset modulo 8
    std::uint64_t checkSumOffset = 0;
    bool recomputeCheckSum = false;
};

// The RVAs a section can claim: the loader maps VirtualSize bytes (or
// SizeOfRawData when that is 0) of an image, but maps an RVA of a data file
// through [VirtualAddress, VirtualAddress + SizeOfRawData). A new table must
// stay clear of both, or one of the two views would find other bytes there.
std::uint64_t Extent(const SectionHeader& s) {
    return std::max<std::uint64_t>(s.virtualSize, s.sizeOfRawData);
}

bool CheckStore(const BitmapStore& store, std::uint64_t& payloadBytes) {
    payloadBytes = 0;
    for (const auto& [id, payload] : store) {
        // A name is 16 bits; an ID outside the range would be written under
        // another number, so it is refused instead.
        if (id < kMinFileResourceId || id > kMaxFileResourceId) return false;
        if (payload.empty() || payload.size() > kMaxU32) return false;
        payloadBytes += AlignUp(payload.size(), kPayloadAlignment);
        if (payloadBytes > kMaxU32) return false;
    }
    return true;
}

bool Overlaps(std::uint64_t aStart, std::uint64_t aSize, std::uint64_t bStart,
              std::uint64_t bSize) {
    return aStart < bStart + bSize && bStart < aStart + aSize;
}

// Whether the new table can take the place of section `index`'s contents: it
// is last in the table, in memory and in the file, the resource directory
// starts it, and nothing else the headers point at lives there.
bool CanReuseSection(const ImageHeaders& h, std::size_t index, std::uint64_t sa) {
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

void FillDirectory(const BitmapStore& store, std::uint32_t sectionRva, std::uint64_t dirBytes,
                   std::vector<std::uint8_t>& out) {
    out.assign(static_cast<std::size_t>(dirBytes), 0);
    std::uint8_t* d = out.data();
    const std::uint32_t n = static_cast<std::uint32_t>(store.size());
    if (n == 0) return;  // an empty root table

    // type -> name -> language, each table followed by its entries; then
    // the data entries; then the payloads.
    const std::uint32_t nameTable = kResourceDirectorySize + kResourceEntrySize;
    const std::uint32_t languageTables =
        nameTable + kResourceDirectorySize + n * kResourceEntrySize;
    const std::uint32_t languageTableSize = kResourceDirectorySize + kResourceEntrySize;
    const std::uint32_t dataEntries = languageTables + n * languageTableSize;

    PutU16(d + 14, 1);
    PutU32(d + kResourceDirectorySize, kResourceTypeBitmap);
    PutU32(d + kResourceDirectorySize + 4, nameTable | kHighBit);
    PutU16(d + nameTable + 14, static_cast<std::uint16_t>(n));

    std::uint64_t payload = dirBytes;
    std::uint32_t k = 0;
    for (const auto& [id, bytes] : store) {
        const std::uint32_t nameEntry = nameTable + kResourceDirectorySize + k * kResourceEntrySize;
        const std::uint32_t languageTable = languageTables + k * languageTableSize;
        const std::uint32_t dataEntry = dataEntries + k * kResourceDataEntrySize;
        PutU32(d + nameEntry, static_cast<std::uint32_t>(id));
        PutU32(d + nameEntry + 4, languageTable | kHighBit);
        PutU16(d + languageTable + 14, 1);
        PutU32(d + languageTable + kResourceDirectorySize, 0);  // language neutral
        PutU32(d + languageTable + kResourceDirectorySize + 4, dataEntry);
        PutU32(d + dataEntry, static_cast<std::uint32_t>(sectionRva + payload));
        PutU32(d + dataEntry + 4, static_cast<std::uint32_t>(bytes.size()));
        payload += AlignUp(bytes.size(), kPayloadAlignment);
        ++k;
    }
}

// prefix: the image's first bytes (ReadImagePrefix); fileSize: its length.
bool PlanSave(std::span<const std::uint8_t> image, std::uint64_t fileSize, const BitmapStore& store,
              SavePlan& plan) {
    std::uint64_t payloadBytes = 0;
    if (!CheckStore(store, payloadBytes)) return false;

    ImageHeaders h;
    if (!ParseImageHeaders(image, h)) return false;
    if (h.directoryCount <= kDirectoryResource) return false;  // no slot for the table
    const std::uint64_t fa = h.fileAlignment, sa = h.sectionAlignment;
    if (!IsPowerOfTwo(h.fileAlignment) || fa > 0x10000) return false;
    if (!IsPowerOfTwo(h.sectionAlignment) || sa < fa || sa > 0x1000000) return false;

    // Headers that claim more than the file holds would have the new data
    // placed after a run of zeros of their choosing.
    if (h.sizeOfHeaders > fileSize) return false;
    std::uint64_t rawEnd = h.sizeOfHeaders, virtualEnd = AlignUp(h.sizeOfHeaders, sa);
    for (const SectionHeader& s : h.sections) {
        if (s.sizeOfRawData != 0) {
            const std::uint64_t end = std::uint64_t{s.pointerToRawData} + s.sizeOfRawData;
            if (end > fileSize) return false;  // data we could not carry over
            rawEnd = std::max(rawEnd, end);
        }
        virtualEnd = std::max(virtualEnd, s.virtualAddress + AlignUp(Extent(s), sa));
    }
    plan.overlayStart = std::min(fileSize, rawEnd);
    plan.hasOverlay = plan.overlayStart < fileSize;

    // The section that will hold the table: the old resource section, or a
    // new one.
    const std::uint32_t resourceRva = h.directories[kDirectoryResource].address;
    std::size_t index = h.sections.size();
    if (resourceRva != 0) {
        for (std::size_t i = 0; i < h.sections.size(); ++i) {
            const SectionHeader& s = h.sections[i];
            if (s.virtualAddress <= resourceRva && resourceRva < s.virtualAddress + Extent(s)) {
                index = i;
                break;
            }
        }
    }
    const bool reuse = index < h.sections.size() && CanReuseSection(h, index, sa);
    std::uint64_t sectionRva = 0;
    std::uint64_t oldRawSize = 0;
    const std::uint64_t tableEnd =
        std::uint64_t{h.sectionTableOffset} + h.sections.size() * kSectionHeaderSize;
    std::uint64_t headerEnd = tableEnd;
    if (reuse) {
        const SectionHeader& r = h.sections[index];
        sectionRva = r.virtualAddress;
        oldRawSize = r.sizeOfRawData;
        if (r.sizeOfRawData != 0) {
            plan.rawPointer = r.pointerToRawData;
        } else {
            std::uint64_t othersEnd = h.sizeOfHeaders;
            for (std::size_t j = 0; j < index; ++j) {
                const SectionHeader& s = h.sections[j];
                if (s.sizeOfRawData != 0) {
                    othersEnd = std::max<std::uint64_t>(
                        othersEnd, std::uint64_t{s.pointerToRawData} + s.sizeOfRawData);
                }
            }
            plan.rawPointer = AlignUp(othersEnd, fa);
        }
    } else {
        if (h.sections.size() >= kMaxSections) return false;
        headerEnd = tableEnd + kSectionHeaderSize;
        // The new header goes right after the table: it has to fit inside
        // SizeOfHeaders, before any section's data, on bytes nobody uses.
        if (headerEnd > h.sizeOfHeaders || headerEnd > image.size()) return false;
        for (const SectionHeader& s : h.sections) {
            if (s.sizeOfRawData != 0 && s.pointerToRawData < headerEnd) return false;
        }
        const auto slot = image.subspan(static_cast<std::size_t>(tableEnd), kSectionHeaderSize);
        if (std::any_of(slot.begin(), slot.end(), [](std::uint8_t b) { return b != 0; })) {
            return false;
        }
        index = h.sections.size();
        sectionRva = virtualEnd;
        plan.rawPointer = AlignUp(rawEnd, fa);
    }
    plan.keepEnd = std::min(plan.rawPointer, plan.overlayStart);
    if (headerEnd > plan.keepEnd) return false;

    const std::uint64_t n = store.size();
    const std::uint64_t dirBytes = n == 0 ? kResourceDirectorySize
                                          : kResourceDirectorySize + kResourceEntrySize +
                                                kResourceDirectorySize +
                                                n * (kResourceEntrySize + kResourceDirectorySize +
                                                     kResourceEntrySize + kResourceDataEntrySize);
    plan.dataSize = dirBytes + payloadBytes;
    plan.rawSize = AlignUp(plan.dataSize, fa);
    const std::uint64_t sizeOfImage = AlignUp(sectionRva + plan.dataSize, sa);
    const std::uint64_t sectionEnd = plan.rawPointer + plan.rawSize;
    if (sizeOfImage > kMaxU32 || sectionEnd > kMaxU32) return false;

    // What follows the last section moves with it, by a multiple of 8 so a
    // certificate table stays aligned as the format asks.
    std::int64_t shift = 0;
    if (plan.hasOverlay) {
        plan.overlayPad = (plan.overlayStart - sectionEnd) & 7;
        shift = static_cast<std::int64_t>(sectionEnd + plan.overlayPad) -
                static_cast<std::int64_t>(plan.overlayStart);
    }
    auto moved = [&](std::uint32_t offset, std::uint32_t& out) {
        out = offset;
        if (!plan.hasOverlay || offset < plan.overlayStart || offset >= fileSize) return true;
        const std::int64_t to = std::int64_t{offset} + shift;
        if (to < 0 || static_cast<std::uint64_t>(to) > kMaxU32) return false;
        out = static_cast<std::uint32_t>(to);
        return true;
    };

    FillDirectory(store, static_cast<std::uint32_t>(sectionRva), dirBytes, plan.directory);

    plan.header.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(headerEnd));
    std::uint8_t* hd = plan.header.data();
    const std::uint64_t opt = h.optionalOffset;
    std::uint8_t* section = hd + h.sectionTableOffset + index * kSectionHeaderSize;
    if (!reuse) {
        PutU16(hd + h.coffOffset + kCoffNumberOfSections,
               static_cast<std::uint16_t>(h.sections.size() + 1));
        std::memcpy(section, kRsrcName, sizeof kRsrcName);
        PutU32(section + kSecCharacteristics, kRsrcCharacteristics);
    }
    PutU32(section + kSecVirtualSize, static_cast<std::uint32_t>(plan.dataSize));
    PutU32(section + kSecVirtualAddress, static_cast<std::uint32_t>(sectionRva));
    PutU32(section + kSecSizeOfRawData, static_cast<std::uint32_t>(plan.rawSize));
    PutU32(section + kSecPointerToRawData, static_cast<std::uint32_t>(plan.rawPointer));

    PutU32(hd + opt + kOptSizeOfImage, static_cast<std::uint32_t>(sizeOfImage));
    const std::uint64_t initialized =
        (h.sizeOfInitializedData >= oldRawSize ? h.sizeOfInitializedData - oldRawSize : 0) +
        plan.rawSize;
    PutU32(hd + opt + kOptSizeOfInitializedData,
           static_cast<std::uint32_t>(std::min(initialized, kMaxU32)));
    std::uint8_t* dirs = hd + h.DirectoriesOffset();
    PutU32(dirs + 8 * kDirectoryResource, static_cast<std::uint32_t>(sectionRva));
    PutU32(dirs + 8 * kDirectoryResource + 4, static_cast<std::uint32_t>(plan.dataSize));

    if (h.directoryCount > kDirectorySecurity && h.directories[kDirectorySecurity].size != 0) {
        std::uint32_t to = 0;
        if (!moved(h.directories[kDirectorySecurity].address, to)) return false;
        PutU32(dirs + 8 * kDirectorySecurity, to);
    }
    if (h.pointerToSymbolTable != 0) {
        std::uint32_t to = 0;
        if (!moved(h.pointerToSymbolTable, to)) return false;
        PutU32(hd + h.coffOffset + kCoffPointerToSymbolTable, to);
    }

    plan.checkSumOffset = opt + kOptCheckSum;
    plan.recomputeCheckSum = h.checkSum != 0;
    if (plan.recomputeCheckSum) PutU32(hd + plan.checkSumOffset, 0);
    return true;
}

std::uint64_t OutputSize(const SavePlan& plan, std::uint64_t imageSize) {
    std::uint64_t size = plan.rawPointer + plan.rawSize;
    if (plan.hasOverlay) size += plan.overlayPad + (imageSize - plan.overlayStart);
    return size;
}

// Walks the output in order. Out has Bytes(span), Zeros(count) and
// Copy(offset, count) of the old image, each returning false to stop.
template <class Out>
bool Emit(const SavePlan& plan, std::uint64_t imageSize, const BitmapStore& store, Out& out) {
    const std::uint64_t headerSize = plan.header.size();
    if (!out.Bytes(plan.header)) return false;
    if (!out.Copy(headerSize, plan.keepEnd - headerSize)) return false;
    if (!out.Zeros(plan.rawPointer - plan.keepEnd)) return false;
    if (!out.Bytes(plan.directory)) return false;
    for (const auto& entry : store) {
        const DibPayload& payload = entry.second;
        if (!out.Bytes(payload)) return false;
        if (!out.Zeros(AlignUp(payload.size(), kPayloadAlignment) - payload.size())) return false;
    }
    if (!out.Zeros(plan.rawSize - plan.dataSize)) return false;
    if (plan.hasOverlay) {
        if (!out.Zeros(plan.overlayPad)) return false;
        if (!out.Copy(plan.overlayStart, imageSize - plan.overlayStart)) return false;
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
};

// Gathers the output into writes of one buffer each: a container holds tens
// of thousands of payloads, and a write per payload would dominate the save.
// Large payloads go through the buffer too: measured, the extra copy costs
// less than writes straight from many separately allocated blocks.
struct BufferedOut {
    static constexpr std::size_t kMaxBuffer = std::size_t{1} << 20;
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
        if (!Emit(plan, image.size, store, sum)) return false;
        PutU32(plan.header.data() + plan.checkSumOffset, sum.sum.Finish());
    }
    const std::uint64_t outputSize = OutputSize(plan, image.size);
    if (reserve) reserve(outputSize);
    BufferedOut out(sink, image, outputSize);
    return Emit(plan, image.size, store, out) && out.Flush();
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
