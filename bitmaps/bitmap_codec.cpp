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

#include "bitmaps/dib_layout.h"
#include "fileio/byte_order.h"
#include "fileio/new_file.h"

namespace {

constexpr std::size_t kBfOffBits = 10;

// The payload a .bmp file stands for, or why it is none. Pixels that a file
// header puts past the colour table are moved up to it, so that the payload
// is a packed DIB, as a bitmap resource must be; a file header that points
// into the table of a Windows header is wrong, and the info header decides.
bool PayloadOfFile(const std::vector<std::uint8_t>& fileBytes, DibPayload& payload,
                   std::string& problem) {
    if (!LooksLikeBitmapFile(fileBytes)) {
        problem = "no BM file header";
        return false;
    }
    const std::uint32_t offBits = LoadU32(fileBytes.data() + kBfOffBits);
    if (offBits < kBitmapFileHeaderSize || offBits > fileBytes.size()) {
        problem = "bfOffBits " + std::to_string(offBits) + " lies outside its " +
                  std::to_string(fileBytes.size()) + " bytes";
        return false;
    }
    const std::span<const std::uint8_t> dib(fileBytes.data() + kBitmapFileHeaderSize,
                                            fileBytes.size() - kBitmapFileHeaderSize);
    if (!PayloadFitsBitmapFile(dib.size())) {
        problem = "too large for a bitmap file";
        return false;
    }
    DibLayout layout = ReadDibLayout(dib);
    const std::uint64_t pixelsAt = std::uint64_t{offBits} - kBitmapFileHeaderSize;
    // An OS/2 file may end its colour table early and say so only through
    // bfOffBits; a bitmap resource has no bfOffBits, so the missing entries
    // are stored as black.
    const bool os2 = layout.kind == DibHeaderKind::Core || layout.kind == DibHeaderKind::Os2v2;
    const bool shortTable = os2 && pixelsAt >= layout.tableOffset &&
                            pixelsAt < layout.pixelOffset && layout.tableEntries <= 256 &&
                            (pixelsAt - layout.tableOffset) % layout.entrySize == 0;
    std::vector<std::uint8_t> bytes;
    if (shortTable) {
        const auto pixels = dib.begin() + static_cast<std::ptrdiff_t>(pixelsAt);
        bytes.assign(dib.begin(), pixels);
        bytes.resize(static_cast<std::size_t>(layout.pixelOffset), 0);
        bytes.insert(bytes.end(), pixels, dib.end());
    } else if (layout.located && pixelsAt > layout.pixelOffset) {
        const std::size_t table = static_cast<std::size_t>(layout.pixelOffset);
        bytes.assign(dib.begin(), dib.begin() + static_cast<std::ptrdiff_t>(table));
        bytes.insert(bytes.end(), dib.begin() + static_cast<std::ptrdiff_t>(pixelsAt), dib.end());
    } else {
        bytes.assign(dib.begin(), dib.end());
    }
    payload = DibPayload(std::move(bytes));
    layout = ReadDibLayout(payload);
    problem = DibProblemText(layout);
    return problem.empty();
}

}  // namespace

bool LooksLikeBitmapFile(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= kBitmapFileHeaderSize && bytes[0] == 'B' && bytes[1] == 'M';
}

bool PayloadFitsBitmapFile(std::uint64_t payloadLength) {
    return payloadLength < (std::uint64_t{1} << 32) - kBitmapFileHeaderSize;
}

bool StoreBitmapFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& fileBytes,
                     std::string* problem) {
    std::string why;
    DibPayload payload;
    try {
        if (!PayloadOfFile(fileBytes, payload, why)) {
            if (problem) *problem = std::move(why);
            return false;
        }
    } catch (const std::exception&) {
        if (problem) *problem = "out of memory";
        return false;
    }
    return PutPayload(doc, id, std::move(payload), problem);
}

bool PutPayload(ContainerDoc& doc, ResourceId id, DibPayload payload, std::string* problem) {
    try {
        doc.bitmaps.insert_or_assign(id, std::move(payload));
    } catch (const std::exception&) {
        // The store is unchanged when the new entry fails.
        if (problem) *problem = "out of memory";
        return false;
    }
    doc.dirty = true;
    return true;
}

std::uint32_t DibHeaderLength(const DibPayload& payload) {
    const DibLayout layout = ReadDibLayout(payload);
    // A located table ends inside the payload, which a .bmp file's 32-bit
    // size field already bounds.
    return layout.located ? static_cast<std::uint32_t>(layout.pixelOffset) : 0;
}

bool DibPixelsInBounds(const DibPayload& payload) {
    return ReadDibLayout(payload).problem == DibProblem::None;
}

bool MakeBitmapFileHeader(std::span<const std::uint8_t> payload,
                          std::array<std::uint8_t, kBitmapFileHeaderSize>& header) {
    if (!PayloadFitsBitmapFile(payload.size())) return false;
    const DibLayout layout = ReadDibLayout(payload);
    if (!layout.located) return false;
    header.fill(0);
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header.data() + 2, static_cast<std::uint32_t>(kBitmapFileHeaderSize + payload.size()));
    PutU32(header.data() + 10,
           static_cast<std::uint32_t>(kBitmapFileHeaderSize + layout.pixelOffset));
    return true;
}

bool WriteBitmapFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path) {
    const auto entry = doc.bitmaps.find(id);
    if (entry == doc.bitmaps.end()) return false;
    const DibPayload& payload = entry->second;
    std::array<std::uint8_t, kBitmapFileHeaderSize> header;
    if (!MakeBitmapFileHeader(payload, header)) return false;
    try {
        return WriteCopyFile(path, header, payload);
    } catch (const std::exception&) {
        return false;
    }
}
