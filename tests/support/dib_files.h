// Device-independent bitmaps and .bmp files made field by field for the
// bitmap tests, native and under Wine.
#pragma once

#include <algorithm>

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
};

// A payload of totalSize bytes (at least 40) whose header carries the fields;
// every byte after the header is a recognisable filler.
inline Bytes MakeDib(const DibFields& f, std::size_t totalSize) {
    Bytes b(totalSize, 0xC3);
    std::fill(b.begin(), b.begin() + 40, 0);
    le::Put32(b, 0, f.biSize);
    le::Put32(b, 4, static_cast<std::uint32_t>(f.width));
    le::Put32(b, 8, static_cast<std::uint32_t>(f.height));
    le::Put16(b, 12, 1);
    le::Put16(b, 14, f.bitCount);
    le::Put32(b, 16, f.compression);
    le::Put32(b, 20, f.sizeImage);
    le::Put32(b, 32, f.clrUsed);
    return b;
}

// A .bmp file: "BM", the 14-byte file header with the given bfOffBits, the payload.
inline Bytes MakeBmpFile(const Bytes& payload, std::uint32_t offBits) {
    Bytes file(14 + payload.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    le::Put32(file, 2, static_cast<std::uint32_t>(14 + payload.size()));
    le::Put32(file, 10, offBits);
    std::copy(payload.begin(), payload.end(), file.begin() + 14);
    return file;
}

}  // namespace orvix_test
