#include "bitmaps/bitmap_codec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <iterator>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "fileio/atomic_file.h"
#include "fileio/byte_order.h"

namespace {

// Offsets of the info-header fields the codec reads.
constexpr std::size_t kBiSize = 0;
constexpr std::size_t kBiWidth = 4;
constexpr std::size_t kBiHeight = 8;
constexpr std::size_t kBiBitCount = 14;
constexpr std::size_t kBiCompression = 16;
constexpr std::size_t kBiSizeImage = 20;
constexpr std::size_t kBiClrUsed = 32;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// BITMAPINFOHEADER followed by its three masks; GDI reads the masks from
// there for any header shorter than a BITMAPV2INFOHEADER.
constexpr std::uint64_t kInfoHeaderWithMasks = 52;

// Number of colour-table entries, or 3 for the bit-field masks.
std::uint64_t ColourEntryCount(const DibPayload& payload) {
    const std::uint32_t clrUsed = LoadU32(payload.data() + kBiClrUsed);
    if (clrUsed != 0) return clrUsed;
    const std::uint16_t bitCount = LoadU16(payload.data() + kBiBitCount);
    if (bitCount <= 8) return std::uint64_t{1} << bitCount;
    // Headers of 52 bytes and more (V2 to V5) carry the three masks inside;
    // only a shorter header is followed by them. Counting them after a V4 or
    // V5 header would put the pixels 12 bytes late in every exported file.
    const bool masksFollowHeader = LoadU32(payload.data() + kBiSize) < kInfoHeaderWithMasks;
    return LoadU32(payload.data() + kBiCompression) == kBiBitfields && masksFollowHeader ? 3 : 0;
}

// The same sum as DibHeaderLength without wrapping at 32 bits.
std::uint64_t WideHeaderLength(const DibPayload& payload) {
    return std::uint64_t{LoadU32(payload.data() + kBiSize)} + 4 * ColourEntryCount(payload);
}

bool ValidRgbBitCount(std::uint16_t bitCount) {
    switch (bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool PayloadFitsBitmapFile(std::uint64_t payloadLength) {
    return payloadLength < (std::uint64_t{1} << 32) - kBitmapFileHeaderSize;
}

bool StoreBitmapFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& fileBytes) {
    if (fileBytes.size() < kBitmapFileHeaderSize) return false;
    if (fileBytes[0] != 'B' || fileBytes[1] != 'M') return false;
    const std::uint32_t offBits = LoadU32(fileBytes.data() + 10);
    if (offBits < kBitmapFileHeaderSize) return false;
    if (offBits > fileBytes.size()) return false;
    // An empty payload cannot be saved as a resource, so accepting one would
    // leave the document impossible to save.
    if (fileBytes.size() == kBitmapFileHeaderSize) return false;
    if (!PayloadFitsBitmapFile(fileBytes.size() - kBitmapFileHeaderSize)) return false;

    try {
        DibPayload payload(fileBytes.begin() + kBitmapFileHeaderSize, fileBytes.end());
        doc.bitmaps.insert_or_assign(id, std::move(payload));
    } catch (const std::exception&) {
        return false;  // the store is unchanged when the copy or the new entry fails
    }
    doc.dirty = true;
    return true;
}

std::uint32_t DibHeaderLength(const DibPayload& payload) {
    if (payload.size() < kMinInterpretedPayloadSize) return 0;
    // Wraps exactly as 32-bit unsigned arithmetic would.
    return static_cast<std::uint32_t>(WideHeaderLength(payload));
}

bool DibPixelsInBounds(const DibPayload& payload) {
    const std::uint64_t size = payload.size();
    if (size < kMinInterpretedPayloadSize) return false;
    const std::uint8_t* p = payload.data();
    const std::uint32_t biSize = LoadU32(p + kBiSize);
    if (biSize < kMinInterpretedPayloadSize) return false;
    const std::int32_t width = LoadI32(p + kBiWidth);
    const std::int32_t height = LoadI32(p + kBiHeight);
    if (width <= 0 || height == 0) return false;
    const std::uint16_t bitCount = LoadU16(p + kBiBitCount);
    const std::uint32_t compression = LoadU32(p + kBiCompression);

    // Where the pixels start for whoever locates them with DibHeaderLength;
    // beyond 32 bits that length would have wrapped.
    const std::uint64_t header = WideHeaderLength(payload);
    if (header > size || header > std::numeric_limits<std::uint32_t>::max()) return false;
    const std::uint64_t available = size - header;

    // The drawing code reads the info block on its own terms: masks right
    // after a short header even when a colour count is given.
    std::uint64_t infoEnd = biSize;
    if (compression == kBiBitfields) infoEnd = std::max(infoEnd, kInfoHeaderWithMasks);
    const std::uint32_t clrUsed = LoadU32(p + kBiClrUsed);
    if (clrUsed != 0) {
        infoEnd += 4 * std::uint64_t{clrUsed};
    } else if (bitCount <= 8) {
        infoEnd += 4 * (std::uint64_t{1} << bitCount);
    }
    if (infoEnd > size) return false;

    switch (compression) {
        case kBiRgb:
        case kBiBitfields: {
            if (compression == kBiRgb && !ValidRgbBitCount(bitCount)) return false;
            if (compression == kBiBitfields && bitCount != 16 && bitCount != 32) return false;
            // width < 2^31 and bitCount <= 32, so the row fits easily in 64 bits.
            const std::uint64_t stride =
                (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
            // INT32_MIN has no positive counterpart in 32 bits.
            const std::uint64_t rows =
                height < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{height})
                           : static_cast<std::uint64_t>(height);
            // stride * rows can exceed 64 bits; compare by division instead.
            return stride <= available / rows;
        }
        case kBiRle8:
        case kBiRle4: {
            // Run-length data is always bottom-up, and only biSizeImage says
            // where it ends.
            if (bitCount != (compression == kBiRle8 ? 8 : 4)) return false;
            if (height < 0) return false;
            const std::uint32_t sizeImage = LoadU32(p + kBiSizeImage);
            return sizeImage != 0 && sizeImage <= available;
        }
        default:
            return false;
    }
}

bool MakeBitmapFileHeader(const DibPayload& payload,
                          std::array<std::uint8_t, kBitmapFileHeaderSize>& header) {
    if (payload.size() < kMinInterpretedPayloadSize) return false;
    if (!PayloadFitsBitmapFile(payload.size())) return false;
    header.fill(0);
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header.data() + 2, static_cast<std::uint32_t>(kBitmapFileHeaderSize + payload.size()));
    PutU32(header.data() + 10,
           static_cast<std::uint32_t>(kBitmapFileHeaderSize) + DibHeaderLength(payload));
    return true;
}

bool WriteBitmapFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path,
                     AtomicWriteBatch* batch) {
    const auto entry = doc.bitmaps.find(id);
    if (entry == doc.bitmaps.end()) return false;
    const DibPayload& payload = entry->second;
    std::array<std::uint8_t, kBitmapFileHeaderSize> header;
    if (!MakeBitmapFileHeader(payload, header)) return false;

    try {
        // A small file, the bulk of an export, goes out in one write; a large
        // payload goes out after its header rather than be copied.
        constexpr std::size_t kCopiedPayload = 64 * 1024;
        return WriteFileAtomically(
            path,
            [&](const AtomicWriteSink& sink) {
                if (payload.size() > kCopiedPayload) {
                    return sink(std::span<const std::uint8_t>(header)) &&
                           sink(std::span<const std::uint8_t>(payload));
                }
                std::vector<std::uint8_t> file(std::begin(header), std::end(header));
                file.insert(file.end(), payload.begin(), payload.end());
                return sink(std::span<const std::uint8_t>(file));
            },
            batch);
    } catch (const std::exception&) {
        return false;
    }
}
