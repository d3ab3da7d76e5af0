// Feeds arbitrary bytes to the PNG path: decoding and conversion either
// refuse with a reason or give a payload that is a drawable bitmap of the
// decoded size, which converts back to a PNG holding the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "bitmaps/dib_layout.h"
#include "bitmaps/png_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> png(data, size);
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
