// Feeds arbitrary bytes to the .bmp reader and checks the header arithmetic
// against a second, deliberately naive computation in 128-bit integers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bitmaps/bitmap_codec.h"

namespace {

using Wide = unsigned __int128;
using SignedWide = __int128;

std::uint64_t Field(const std::vector<std::uint8_t>& p, std::size_t offset, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v |= std::uint64_t{p[offset + i]} << (8 * i);
    return v;
}

SignedWide SignedField32(const std::vector<std::uint8_t>& p, std::size_t offset) {
    return SignedWide(static_cast<std::int32_t>(Field(p, offset, 4)));
}

Wide ReferenceHeaderLength(const std::vector<std::uint8_t>& p) {
    Wide clrUsed = Field(p, 32, 4), bitCount = Field(p, 14, 2), compression = Field(p, 16, 4);
    const Wide masks = compression == 3 && Field(p, 0, 4) < 52 ? 3 : 0;
    return Wide(Field(p, 0, 4)) + 4 * (clrUsed         ? clrUsed
                                       : bitCount <= 8 ? Wide(1) << bitCount
                                                       : masks);
}

bool ReferenceInBounds(const std::vector<std::uint8_t>& p) {
    const Wide size = p.size();
    if (size < 40) return false;
    const Wide biSize = Field(p, 0, 4);
    const SignedWide width = SignedField32(p, 4), height = SignedField32(p, 8);
    const Wide bitCount = Field(p, 14, 2), compression = Field(p, 16, 4);
    const Wide sizeImage = Field(p, 20, 4), clrUsed = Field(p, 32, 4);
    if (biSize < 40 || width <= 0 || height == 0) return false;

    const Wide header = ReferenceHeaderLength(p);
    if (header > size || header > 0xFFFFFFFFu) return false;
    Wide colours = clrUsed != 0 ? clrUsed : bitCount <= 8 ? (Wide(1) << bitCount) : 0;
    Wide info = (compression == 3 && biSize < 52) ? 52 : biSize;
    if (info + 4 * colours > size) return false;

    if (compression == 0 || compression == 3) {
        const bool rgbDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
        if (!(bitCount == 16 || bitCount == 32 || (compression == 0 && rgbDepth))) return false;
        const Wide stride = (Wide(width) * bitCount + 31) / 32 * 4;
        return header + stride * Wide(height < 0 ? -height : height) <= size;
    }
    if (compression == 1 || compression == 2) {
        if (bitCount != (compression == 1 ? 8u : 4u) || height < 0) return false;
        return sizeImage != 0 && header + sizeImage <= size;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> file(data, data + size);
    ContainerDoc doc;
    doc.bitmaps[7] = {1, 2, 3};
    const bool stored = StoreBitmapFile(doc, 7, file);

    const bool expectStored = size > 14 && data[0] == 'B' && data[1] == 'M' &&
                              Field(file, 10, 4) >= 14 && Field(file, 10, 4) <= size;
    if (stored != expectStored) std::abort();
    if (stored != doc.dirty) std::abort();
    const DibPayload& payload = doc.bitmaps.at(7);
    if (stored) {
        if (payload.size() != size - 14 || std::memcmp(payload.data(), data + 14, size - 14) != 0)
            std::abort();
    } else if (payload != DibPayload{1, 2, 3}) {
        std::abort();
    }

    // The header arithmetic must agree whether or not the file was accepted,
    // so run it on the raw bytes too.
    for (const DibPayload* p : {&payload, &file}) {
        const std::uint32_t length = DibHeaderLength(*p);
        if (p->size() < 40) {
            if (length != 0) std::abort();
        } else if (length != static_cast<std::uint32_t>(ReferenceHeaderLength(*p))) {
            std::abort();
        }
        const bool inBounds = DibPixelsInBounds(*p);
        if (inBounds != ReferenceInBounds(*p)) std::abort();
        if (inBounds) {
            // Touch the first and last byte a drawing call could read, so a
            // wrong verdict shows up as an out-of-bounds read as well.
            volatile std::uint8_t sink = (*p)[length];
            sink = p->back();
            (void)sink;
        }
    }
    return 0;
}
