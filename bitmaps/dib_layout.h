// Where the parts of a packed DIB lie: the one reading of its header that
// storing, exporting, previewing and listing all share. Every header kind a
// .bmp writer uses is known here, so nothing else computes an offset.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class DibHeaderKind {
    Unknown,
    Core,   // BITMAPCOREHEADER: 12 bytes, 16-bit sizes, 3-byte colour entries
    Os2v2,  // OS/2 2.x: 16 to 64 bytes, its own compression numbers
    Info,   // BITMAPINFOHEADER (40), and with masks inside (52, 56)
    V4,     // 108
    V5,     // 124
};

// What the pixels are, whichever numbering the header kind uses for it.
enum class DibFormat {
    Unknown,
    Rgb,
    Rle8,
    Rle4,
    Bitfields,
    AlphaBitfields,
    Jpeg,
    Png,
    Huffman1D,
    Rle24,
};

// The first thing that proves a payload cannot be a bitmap, in the order the
// reading finds it; value says which number was wrong.
enum class DibProblem {
    None,
    HeaderOutside,  // value: the header's length
    UnknownHeader,  // value: biSize
    Width,          // value: the width, not positive
    Height,         // value: the height, 0
    Planes,         // value: the plane count, not 1
    Compression,    // value: the compression number
    BitCount,       // value: the bit count, unknown for the compression
    TableOutside,   // value: where header, masks and colour table end
    PixelsOutside,  // value: where the pixels end
};

struct DibLayout {
    DibHeaderKind kind = DibHeaderKind::Unknown;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: rows stored top-down
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;  // as the header numbers it
    DibFormat format = DibFormat::Unknown;
    std::uint32_t sizeImage = 0;
    // Masks stored after the header (3 or 4 after a 40-byte one), then the
    // colour table, then the pixels: each offset counts from the payload start.
    std::uint32_t masksAfterHeader = 0;
    std::uint64_t tableOffset = 0;
    std::uint64_t tableEntries = 0;
    std::uint32_t entrySize = 4;
    std::uint64_t pixelOffset = 0;
    // What the header says the pixels take; for compressed pixels without a
    // declared size, the rest of the payload.
    std::uint64_t pixelBytes = 0;
    std::uint64_t payloadSize = 0;
    // True once header, masks and colour table are known to lie inside the
    // payload: pixelOffset can then stand in a file header.
    bool located = false;
    DibProblem problem = DibProblem::None;
    std::uint64_t problemValue = 0;
    // The platform's drawing code draws it (after ToDrawable in the preview).
    bool drawable = false;
};

// Reads a payload of payloadSize bytes from its first bytes; head needs only
// the header and the masks after it (at most 124 bytes), not the whole payload.
DibLayout ReadDibLayout(std::span<const std::uint8_t> head, std::uint64_t payloadSize);
inline DibLayout ReadDibLayout(std::span<const std::uint8_t> payload) {
    return ReadDibLayout(payload, payload.size());
}

// Enough of a payload for ReadDibLayout.
inline constexpr std::size_t kDibLayoutHeadBytes = 124;

// "core", "info", "v4", "v5", "os2v2" (and "unknown").
const char* DibHeaderKindName(DibHeaderKind kind);
// "RGB", "RLE8", "RLE4", "BITFIELDS", "ALPHABITFIELDS", "JPEG", "PNG",
// "HUFFMAN1D", "RLE24", or the number.
std::string DibCompressionName(const DibLayout& layout);
// One line for a refused payload: which field, which value. Empty when none.
std::string DibProblemText(const DibLayout& layout);
// Why the platform cannot draw a payload; empty when it can.
std::string DibNotDrawnText(const DibLayout& layout);

// The BITMAPINFO to hand the platform's drawing code along with the pixels at
// layout.pixelOffset: the payload's own header and colour table, rewritten
// where the drawing code reads them otherwise (an OS/2 2.x header as a
// 40-byte one, alpha bit fields as bit fields, a run-length size filled in),
// with zeros after it for whatever that code reads on its own terms. Empty
// for a bitmap that is not drawable.
std::vector<std::uint8_t> DibDrawingInfo(std::span<const std::uint8_t> payload,
                                         const DibLayout& layout);
