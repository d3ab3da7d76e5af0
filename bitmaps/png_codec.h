// The PNG format itself, read and written by the platform's own codecs:
// Debian's libspng on Linux, the Windows Imaging Component on Windows. What
// the pixels become is decided in png_convert.h, the same for both.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bitmaps/png_convert.h"

// A decoded PNG as straight RGBA: palettes expanded, transparency applied,
// grey expanded, interlacing undone, no colour management. Samples are 8-bit,
// or 16-bit when the file's are (rounded to 8 bits by the caller, by one rule
// for both platforms).
struct PngSamples {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool sixteenBit = false;
    std::vector<std::uint8_t> rgba8;
    std::vector<std::uint16_t> rgba16;
};

// False, with problem set, for bytes that are not a whole, sound PNG (a bad
// CRC, a cut stream, chunks out of order).
bool DecodePngSamples(std::span<const std::uint8_t> png, PngSamples& out, std::string& problem);

// 8-bit RGB, or RGBA when alpha, non-interlaced.
bool EncodePng(const RgbaImage& image, bool alpha, std::vector<std::uint8_t>& png);
