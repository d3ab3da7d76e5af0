// Device-independent bitmaps and .bmp files made field by field for the
// bitmap tests, native and under Wine.
#pragma once

#include <algorithm>
#include <span>

#include "support/test_files.h"

namespace orvix_test {

struct DibFields {
    std::uint32_t biSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
    std::uint16_t planes = 1;
};

// A payload of totalSize bytes whose header carries the fields (the 16-bit
// ones of a BITMAPCOREHEADER when biSize is 12); every byte after the header
// is a recognisable filler. Fields past totalSize are cut off.
inline Bytes MakeDib(const DibFields& f, std::size_t totalSize) {
    Bytes b(std::max<std::size_t>(totalSize, 40), 0xC3);
    const std::size_t header = std::min<std::size_t>(f.biSize, 40);
    std::fill(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(header), 0);
    le::Put32(b, 0, f.biSize);
    if (f.biSize == 12) {
        le::Put16(b, 4, static_cast<std::uint16_t>(f.width));
        le::Put16(b, 6, static_cast<std::uint16_t>(f.height));
        le::Put16(b, 8, f.planes);
        le::Put16(b, 10, f.bitCount);
    } else {
        // An OS/2 2.x header shorter than 40 bytes ends where its size says.
        const auto put32 = [&](std::size_t at, std::uint32_t v) {
            if (at + 4 <= header) le::Put32(b, at, v);
        };
        put32(4, static_cast<std::uint32_t>(f.width));
        put32(8, static_cast<std::uint32_t>(f.height));
        le::Put16(b, 12, f.planes);
        le::Put16(b, 14, f.bitCount);
        put32(16, f.compression);
        put32(20, f.sizeImage);
        put32(32, f.clrUsed);
    }
    b.resize(totalSize);
    return b;
}

// A .bmp file: "BM", the 14-byte file header with the given bfOffBits, the payload.
inline Bytes MakeBmpFile(std::span<const std::uint8_t> payload, std::uint32_t offBits) {
    Bytes file(14 + payload.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    le::Put32(file, 2, static_cast<std::uint32_t>(14 + payload.size()));
    le::Put32(file, 10, offBits);
    std::copy(payload.begin(), payload.end(), file.begin() + 14);
    return file;
}

}  // namespace orvix_test
