// Feeds arbitrary bytes to the PNG path: decoding and conversion either
// refuse with a reason or give a payload that is a drawable bitmap of the
// decoded size, which converts back to a PNG holding the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include <zlib.h>

#include "bitmaps/dib_layout.h"
#include "bitmaps/png_convert.h"

namespace {

// Most mutations break a chunk's CRC and stop at the first check; with the
// CRCs made right again, the decoder and the conversion behind it are
// reached. Every other input still goes in as it came, every other run.
std::vector<std::uint8_t> WithCrcsMended(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> png(data, data + size);
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = std::uint32_t{png[at]} << 24 |
                                     std::uint32_t{png[at + 1]} << 16 |
                                     std::uint32_t{png[at + 2]} << 8 | png[at + 3];
        if (length > png.size() - at - 12) break;
        const uLong crc = crc32(0, png.data() + at + 4, static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i)
            png[at + 8 + length + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += length + 12;
    }
    return png;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> mended = WithCrcsMended(data, size);
    const bool asCame = size > 0 && data[size - 1] % 2 == 0;
    const std::span<const std::uint8_t> png =
        asCame ? std::span<const std::uint8_t>(data, size) : std::span<const std::uint8_t>(mended);
    DibPayload dib;
    std::string problem;
    if (!PayloadFromPng(png, dib, problem)) {
        if (problem.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const DibLayout layout = ReadDibLayout(dib);
    if (!layout.drawable || layout.pixelOffset + layout.pixelBytes != dib.size()) std::abort();

    RgbaImage pixels;
    bool alpha = false;
    if (!RgbaFromDib(dib, pixels, alpha, problem)) std::abort();
    if (alpha != (layout.bitCount == 32)) std::abort();
    std::vector<std::uint8_t> again;
    DibPayload back;
    if (!PngFromPayload(dib, again, problem) || !PayloadFromPng(again, back, problem) ||
        !(back == dib)) {
        std::abort();
    }
    return 0;
}
