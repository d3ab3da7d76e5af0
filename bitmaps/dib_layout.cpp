#include "bitmaps/dib_layout.h"

#include <limits>

#include "fileio/byte_order.h"

namespace {

constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();

DibHeaderKind KindOfHeaderSize(std::uint32_t size) {
    switch (size) {
        case kCoreHeader:
            return DibHeaderKind::Core;
        case kInfoHeader:
        case 52:
        case 56:
            return DibHeaderKind::Info;
        case 108:
            return DibHeaderKind::V4;
        case 124:
            return DibHeaderKind::V5;
        default:
            // OS/2 2.x headers may stop after any field from the bit count on.
            return size >= 16 && size <= 64 ? DibHeaderKind::Os2v2 : DibHeaderKind::Unknown;
    }
}

DibFormat FormatOf(DibHeaderKind kind, std::uint32_t compression) {
    if (kind == DibHeaderKind::Core) return DibFormat::Rgb;
    if (kind == DibHeaderKind::Os2v2) {
        // OS/2 numbers 3 and 4 differently from Windows.
        static constexpr DibFormat kOs2[] = {DibFormat::Rgb, DibFormat::Rle8, DibFormat::Rle4,
                                             DibFormat::Huffman1D, DibFormat::Rle24};
        return compression < std::size(kOs2) ? kOs2[compression] : DibFormat::Unknown;
    }
    static constexpr DibFormat kWindows[] = {
        DibFormat::Rgb,  DibFormat::Rle8, DibFormat::Rle4,          DibFormat::Bitfields,
        DibFormat::Jpeg, DibFormat::Png,  DibFormat::AlphaBitfields};
    return compression < std::size(kWindows) ? kWindows[compression] : DibFormat::Unknown;
}

bool BitCountFits(DibFormat format, std::uint16_t bits) {
    switch (format) {
        case DibFormat::Rgb:
            return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
                   bits == 32;
        case DibFormat::Rle8:
            return bits == 8;
        case DibFormat::Rle4:
            return bits == 4;
        case DibFormat::Bitfields:
        case DibFormat::AlphaBitfields:
            return bits == 16 || bits == 32;
        case DibFormat::Huffman1D:
            return bits == 1;
        case DibFormat::Rle24:
            return bits == 24;
        case DibFormat::Jpeg:
        case DibFormat::Png:
            return true;  // the embedded image says what it holds
        case DibFormat::Unknown:
            break;
    }
    return false;
}

bool Uncompressed(DibFormat format) {
    return format == DibFormat::Rgb || format == DibFormat::Bitfields ||
           format == DibFormat::AlphaBitfields;
}

std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > kSaturated - b ? kSaturated : a + b;
}

void Refuse(DibLayout& layout, DibProblem problem, std::uint64_t value) {
    if (layout.problem != DibProblem::None) return;  // the first one found stands
    layout.problem = problem;
    layout.problemValue = value;
}

bool Drawable(const DibLayout& l) {
    if (l.problem != DibProblem::None) return false;
    switch (l.format) {
        case DibFormat::Rgb:
            if (l.kind == DibHeaderKind::Core)
                return l.bitCount == 1 || l.bitCount == 4 || l.bitCount == 8 || l.bitCount == 24;
            return l.bitCount != 2;
        case DibFormat::Bitfields:
        case DibFormat::AlphaBitfields:
            return true;
        case DibFormat::Rle8:
        case DibFormat::Rle4:
            return l.height > 0;  // run-length pixels are only ever bottom-up
        default:
            return false;
    }
}

}  // namespace

DibLayout ReadDibLayout(std::span<const std::uint8_t> head, std::uint64_t payloadSize) {
    DibLayout l;
    l.payloadSize = payloadSize;
    if (payloadSize < 4 || head.size() < 4) {
        Refuse(l, DibProblem::HeaderOutside, 4);
        return l;
    }
    l.headerSize = LoadU32(head.data());
    l.kind = KindOfHeaderSize(l.headerSize);
    if (l.kind == DibHeaderKind::Unknown) {
        Refuse(l, DibProblem::UnknownHeader, l.headerSize);
        return l;
    }
    if (payloadSize < l.headerSize || head.size() < l.headerSize) {
        Refuse(l, DibProblem::HeaderOutside, l.headerSize);
        return l;
    }
    // A short OS/2 header leaves out its later fields, which count as 0.
    const auto field32 = [&](std::size_t at) -> std::uint32_t {
        return at + 4 <= l.headerSize ? LoadU32(head.data() + at) : 0;
    };
    std::uint32_t clrUsed = 0;
    if (l.kind == DibHeaderKind::Core) {
        l.width = LoadU16(head.data() + 4);
        l.height = LoadU16(head.data() + 6);
        l.planes = LoadU16(head.data() + 8);
        l.bitCount = LoadU16(head.data() + 10);
        l.entrySize = 3;
    } else {
        l.width = static_cast<std::int32_t>(field32(4));
        l.height = static_cast<std::int32_t>(field32(8));
        l.planes = LoadU16(head.data() + 12);
        l.bitCount = LoadU16(head.data() + 14);
        l.compression = field32(16);
        l.sizeImage = field32(20);
        clrUsed = field32(32);
    }
    l.format = FormatOf(l.kind, l.compression);

    // Bit-field masks follow a header too short to hold them.
    const bool windowsHeader =
        l.kind == DibHeaderKind::Info || l.kind == DibHeaderKind::V4 || l.kind == DibHeaderKind::V5;
    const std::uint32_t masks = l.format == DibFormat::Bitfields        ? 3
                                : l.format == DibFormat::AlphaBitfields ? 4
                                                                        : 0;
    const std::uint32_t masksEnd = kInfoHeader + 4 * masks;
    if (windowsHeader && l.headerSize < masksEnd)
        l.masksAfterHeader = (masksEnd - l.headerSize) / 4;
    l.tableOffset = std::uint64_t{l.headerSize} + 4 * std::uint64_t{l.masksAfterHeader};

    // Embedded images carry their own palette; above 8 bits a table is an
    // optional optimisation palette, present only when counted.
    if (l.format == DibFormat::Jpeg || l.format == DibFormat::Png) {
        l.tableEntries = 0;
    } else if (clrUsed != 0) {
        l.tableEntries = clrUsed;
    } else if (l.bitCount <= 8) {
        l.tableEntries = std::uint64_t{1} << l.bitCount;
    }
    l.pixelOffset = l.tableOffset + l.tableEntries * l.entrySize;
    l.located = l.pixelOffset <= payloadSize;

    if (Uncompressed(l.format) && l.width > 0) {
        const std::uint64_t stride =
            (static_cast<std::uint64_t>(l.width) * l.bitCount + 31) / 32 * 4;
        const std::uint64_t rows = static_cast<std::uint64_t>(l.height < 0 ? -l.height : l.height);
        l.pixelBytes = SaturatingProduct(stride, rows);
    } else if (l.sizeImage != 0) {
        l.pixelBytes = l.sizeImage;
    } else if (l.located) {
        // Only the data itself says where run-length or embedded pixels end.
        l.pixelBytes = payloadSize - l.pixelOffset;
    }

    if (l.width <= 0) Refuse(l, DibProblem::Width, static_cast<std::uint64_t>(l.width));
    if (l.height == 0) Refuse(l, DibProblem::Height, 0);
    if (l.planes != 1) Refuse(l, DibProblem::Planes, l.planes);
    if (l.format == DibFormat::Unknown) Refuse(l, DibProblem::Compression, l.compression);
    if (!BitCountFits(l.format, l.bitCount)) Refuse(l, DibProblem::BitCount, l.bitCount);
    if (!l.located) Refuse(l, DibProblem::TableOutside, l.pixelOffset);
    const std::uint64_t pixelEnd = SaturatingSum(l.pixelOffset, l.pixelBytes);
    if (pixelEnd > payloadSize) Refuse(l, DibProblem::PixelsOutside, pixelEnd);
    l.drawable = Drawable(l);
    return l;
}

const char* DibHeaderKindName(DibHeaderKind kind) {
    switch (kind) {
        case DibHeaderKind::Core:
            return "core";
        case DibHeaderKind::Os2v2:
            return "os2v2";
        case DibHeaderKind::Info:
            return "info";
        case DibHeaderKind::V4:
            return "v4";
        case DibHeaderKind::V5:
            return "v5";
        case DibHeaderKind::Unknown:
            break;
    }
    return "unknown";
}

std::string DibCompressionName(const DibLayout& layout) {
    static const char* const kNames[] = {
        "?",    "RGB", "RLE8",      "RLE4", "BITFIELDS", "ALPHABITFIELDS",
        "JPEG", "PNG", "HUFFMAN1D", "RLE24"};
    if (layout.format == DibFormat::Unknown) return std::to_string(layout.compression);
    return kNames[static_cast<int>(layout.format)];
}

std::string DibProblemText(const DibLayout& l) {
    const std::string value = std::to_string(l.problemValue);
    const std::string core = l.kind == DibHeaderKind::Core ? "bc" : "bi";
    switch (l.problem) {
        case DibProblem::None:
            return "";
        case DibProblem::HeaderOutside:
            return "its " + value + "-byte header does not fit in its " +
                   std::to_string(l.payloadSize) + " bytes";
        case DibProblem::UnknownHeader:
            return "biSize " + value + " is not the size of any bitmap header";
        case DibProblem::Width:
            return core + "Width is " + std::to_string(l.width);
        case DibProblem::Height:
            return core + "Height is 0";
        case DibProblem::Planes:
            return core + "Planes is " + value + ", not 1";
        case DibProblem::Compression:
            return "biCompression " + value + " is not a known compression";
        case DibProblem::BitCount:
            return core + "BitCount " + value + " is not valid for " + DibCompressionName(l) +
                   " pixels";
        case DibProblem::TableOutside:
            return "its colour table ends at byte " + value + ", past its " +
                   std::to_string(l.payloadSize) + " bytes";
        case DibProblem::PixelsOutside:
            return "its pixels end at byte " + value + ", past its " +
                   std::to_string(l.payloadSize) + " bytes";
    }
    return "";
}

std::string DibNotDrawnText(const DibLayout& l) {
    if (l.drawable) return "";
    if (l.problem != DibProblem::None) return DibProblemText(l);
    switch (l.format) {
        case DibFormat::Jpeg:
            return "it holds a JPEG image, which bitmap drawing does not decode";
        case DibFormat::Png:
            return "it holds a PNG image, which bitmap drawing does not decode";
        case DibFormat::Huffman1D:
            return "OS/2 Huffman-coded pixels are not drawn by Windows";
        case DibFormat::Rle24:
            return "OS/2 RLE24 pixels are not drawn by Windows";
        case DibFormat::Rle8:
        case DibFormat::Rle4:
            return "run-length pixels stored top-down are not valid";
        default:
            return std::to_string(l.bitCount) + "-bit pixels are not drawn by Windows";
    }
}

std::vector<std::uint8_t> DibDrawingInfo(std::span<const std::uint8_t> payload,
                                         const DibLayout& layout) {
    if (!layout.drawable || payload.size() < layout.pixelOffset) return {};
    // The largest colour table and four masks: no drawing code reads more.
    constexpr std::size_t kSlack = 256 * 4 + 4 * 4;
    const auto tableStart = payload.begin() + static_cast<std::ptrdiff_t>(layout.tableOffset);
    const auto pixels = payload.begin() + static_cast<std::ptrdiff_t>(layout.pixelOffset);
    std::vector<std::uint8_t> info;
    if (layout.kind == DibHeaderKind::Os2v2) {
        info.assign(kInfoHeader, 0);
        PutU32(info.data(), kInfoHeader);
        PutU32(info.data() + 4, static_cast<std::uint32_t>(layout.width));
        PutU32(info.data() + 8, static_cast<std::uint32_t>(layout.height));
        PutU16(info.data() + 12, 1);
        PutU16(info.data() + 14, layout.bitCount);
        // RGB, RLE8 and RLE4 share their numbers with Windows.
        PutU32(info.data() + 16, layout.compression);
        PutU32(info.data() + 20, layout.sizeImage);
        PutU32(info.data() + 32, static_cast<std::uint32_t>(layout.tableEntries));
        info.insert(info.end(), tableStart, pixels);
    } else {
        info.assign(payload.begin(), pixels);
    }
    if (layout.kind != DibHeaderKind::Core) {
        if (layout.format == DibFormat::AlphaBitfields) PutU32(info.data() + 16, 3);
        if (layout.sizeImage == 0 && !Uncompressed(layout.format))
            PutU32(info.data() + 20, static_cast<std::uint32_t>(layout.pixelBytes));
    }
    info.resize(info.size() + kSlack, 0);
    return info;
}
