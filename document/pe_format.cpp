#include "document/pe_format.h"

#include <algorithm>

#include "fileio/byte_order.h"

namespace pe {

bool ByteReader::U8(std::uint64_t offset, std::uint8_t& out) const {
    if (!Has(offset, 1)) return false;
    out = bytes[static_cast<std::size_t>(offset)];
    return true;
}

bool ByteReader::U16(std::uint64_t offset, std::uint16_t& out) const {
    if (!Has(offset, 2)) return false;
    out = LoadU16(bytes.data() + offset);
    return true;
}

bool ByteReader::U32(std::uint64_t offset, std::uint32_t& out) const {
    if (!Has(offset, 4)) return false;
    out = LoadU32(bytes.data() + offset);
    return true;
}

bool ByteReader::U64(std::uint64_t offset, std::uint64_t& out) const {
    if (!Has(offset, 8)) return false;
    out = LoadU64(bytes.data() + offset);
    return true;
}

ImageSource SpanSource(std::span<const std::uint8_t> bytes) {
    ImageSource source;
    source.size = bytes.size();
    source.memory = bytes.data();
    source.read = [bytes](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (offset > bytes.size() || out.size() > bytes.size() - offset) return false;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
    return source;
}

bool ReadImagePrefix(const ImageSource& source, std::vector<std::uint8_t>& prefix) {
    constexpr std::uint64_t kMaxPrefix = std::uint64_t{16} << 20;
    std::uint64_t need = 4096;
    // Each round learns more of where the headers end: e_lfanew first, then
    // the optional header's size and the section count behind it.
    for (int round = 0; round < 4; ++round) {
        const std::uint64_t length = std::min(source.size, need);
        if (length > kMaxPrefix) return false;
        prefix.resize(static_cast<std::size_t>(length));
        if (!source.read(0, prefix)) return false;
        if (length == source.size) return true;

        ByteReader r{prefix};
        std::uint32_t ntOffset = 0;
        std::uint16_t sections = 0, optionalSize = 0;
        if (!r.U32(kDosLfanewOffset, ntOffset)) return true;  // too short to be an image anyway
        const std::uint64_t coff = std::uint64_t{ntOffset} + kSignatureSize;
        std::uint64_t want = coff + kCoffHeaderSize;
        if (r.U16(coff + kCoffNumberOfSections, sections) &&
            r.U16(coff + kCoffSizeOfOptionalHeader, optionalSize)) {
            want += optionalSize + (std::uint64_t{sections} + 1) * kSectionHeaderSize;
            if (want <= length) return true;
        }
        need = std::max(want, need);
    }
    return true;
}

bool ParseImageHeaders(std::span<const std::uint8_t> image, ImageHeaders& out) {
    out = ImageHeaders{};
    ByteReader r{image};

    std::uint16_t dosMagic = 0;
    if (!r.U16(kDosMagicOffset, dosMagic) || dosMagic != 0x5A4D) return false;
    if (!r.Has(0, kDosHeaderSize)) return false;
    std::uint32_t ntOffset = 0;
    if (!r.U32(kDosLfanewOffset, ntOffset)) return false;

    std::uint32_t signature = 0;
    if (!r.U32(ntOffset, signature) || signature != 0x00004550) return false;
    const std::uint64_t coff = std::uint64_t{ntOffset} + kSignatureSize;
    if (!r.Has(coff, kCoffHeaderSize)) return false;

    std::uint16_t sectionCount = 0, optionalSize = 0;
    r.U16(coff + kCoffNumberOfSections, sectionCount);
    r.U16(coff + kCoffSizeOfOptionalHeader, optionalSize);
    r.U32(coff + kCoffPointerToSymbolTable, out.pointerToSymbolTable);

    const std::uint64_t opt = coff + kCoffHeaderSize;
    std::uint16_t magic = 0;
    if (!r.U16(opt + kOptMagic, magic)) return false;
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return false;
    out.is64 = magic == kMagicPe32Plus;

    // The fixed part of the optional header, up to NumberOfRvaAndSizes, has
    // to be there both in the file and inside SizeOfOptionalHeader.
    const std::uint32_t fixedSize =
        (out.is64 ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes32) + 4;
    if (optionalSize < fixedSize || !r.Has(opt, fixedSize)) return false;

    out.ntOffset = ntOffset;
    out.coffOffset = static_cast<std::uint32_t>(coff);
    out.optionalOffset = static_cast<std::uint32_t>(opt);
    out.optionalSize = optionalSize;
    r.U32(opt + kOptSizeOfInitializedData, out.sizeOfInitializedData);
    if (out.is64) {
        r.U64(opt + kOptImageBase64, out.imageBase);
    } else {
        std::uint32_t base = 0;
        r.U32(opt + kOptImageBase32, base);
        out.imageBase = base;
    }
    r.U32(opt + kOptSectionAlignment, out.sectionAlignment);
    r.U32(opt + kOptFileAlignment, out.fileAlignment);
    r.U32(opt + kOptSizeOfImage, out.sizeOfImage);
    r.U32(opt + kOptSizeOfHeaders, out.sizeOfHeaders);
    r.U32(opt + kOptCheckSum, out.checkSum);
    r.U32(opt + (out.is64 ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes32),
          out.numberOfRvaAndSizes);

    const std::uint32_t dirRoom = (optionalSize - fixedSize) / 8;
    out.directoryCount = std::min({out.numberOfRvaAndSizes, kMaxDataDirectories, dirRoom});
    for (std::uint32_t i = 0; i < out.directoryCount; ++i) {
        const std::uint64_t at = std::uint64_t{out.DirectoriesOffset()} + 8u * i;
        if (!r.U32(at, out.directories[i].address) || !r.U32(at + 4, out.directories[i].size)) {
            out.directoryCount = i;  // cut short by the end of the file
            break;
        }
    }

    const std::uint64_t table = opt + optionalSize;
    if (!r.Has(table, std::uint64_t{sectionCount} * kSectionHeaderSize)) return false;
    out.sectionTableOffset = static_cast<std::uint32_t>(table);
    out.sections.resize(sectionCount);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + std::uint64_t{i} * kSectionHeaderSize;
        SectionHeader& s = out.sections[i];
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), 8, s.name.begin());
        r.U32(at + kSecVirtualSize, s.virtualSize);
        r.U32(at + kSecVirtualAddress, s.virtualAddress);
        r.U32(at + kSecSizeOfRawData, s.sizeOfRawData);
        r.U32(at + kSecPointerToRawData, s.pointerToRawData);
        r.U32(at + kSecCharacteristics, s.characteristics);
    }
    return true;
}

bool RvaToFileOffset(const ImageHeaders& headers, std::uint32_t rva, bool allowHeaders,
                     std::uint64_t& fileOffset) {
    if (allowHeaders && rva < headers.sizeOfHeaders) {
        fileOffset = rva;
        return true;
    }
    for (const SectionHeader& s : headers.sections) {
        // 64-bit sums: VirtualAddress + SizeOfRawData may pass 4 GiB.
        if (s.virtualAddress <= rva &&
            rva < std::uint64_t{s.virtualAddress} + std::uint64_t{s.sizeOfRawData}) {
            fileOffset = std::uint64_t{s.pointerToRawData} + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

namespace {

// Sums little-endian 16-bit words; n is even.
std::uint64_t SumWords(const std::uint8_t* p, std::size_t n) {
    std::uint64_t lo = 0, hi = 0;
    for (std::size_t i = 0; i < n; i += 2) {
        lo += p[i];
        hi += p[i + 1];
    }
    return lo + (hi << 8);
}

}  // namespace

void ImageChecksum::Add(std::span<const std::uint8_t> piece) {
    // The CheckSum field counts as zero wherever it falls in the pieces.
    const std::uint64_t start = length;
    const std::uint64_t end = start + piece.size();
    const std::uint64_t fieldEnd = checkSumFieldOffset + 4;
    if (start < fieldEnd && checkSumFieldOffset < end) {
        const std::size_t before =
            static_cast<std::size_t>(std::max(checkSumFieldOffset, start) - start);
        const std::size_t after = static_cast<std::size_t>(std::min(fieldEnd, end) - start);
        static constexpr std::uint8_t kZeros[4] = {};
        AddRaw(piece.first(before));
        AddRaw(std::span<const std::uint8_t>(kZeros, after - before));
        AddRaw(piece.subspan(after));
        return;
    }
    AddRaw(piece);
}

void ImageChecksum::AddRaw(std::span<const std::uint8_t> piece) {
    const std::uint8_t* p = piece.data();
    std::size_t n = piece.size();
    if (n == 0) return;
    length += n;
    if (oddByte) {
        sum += std::uint64_t{p[0]} << 8;
        ++p;
        --n;
        oddByte = false;
    }
    sum += SumWords(p, n & ~std::size_t{1});
    if (n & 1) {
        sum += p[n - 1];
        oddByte = true;
    }
}

std::uint32_t ImageChecksum::Finish() const {
    std::uint64_t s = sum;
    while (s >> 16)
        s = (s & 0xFFFF) + (s >> 16);
    return static_cast<std::uint32_t>(s + length);
}

std::uint32_t ComputeImageChecksum(std::span<const std::uint8_t> image,
                                   std::uint64_t checkSumFieldOffset) {
    ImageChecksum c;
    c.checkSumFieldOffset = checkSumFieldOffset;
    c.Add(image);
    return c.Finish();
}

}  // namespace pe
