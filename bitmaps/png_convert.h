// PNG images in and out of the store. A container holds DIBs only: a PNG
// becomes a DIB when it goes in and a DIB becomes a PNG on the way out. The
// rules of that conversion live here, portably; decoding and encoding the PNG
// format itself is the platform's (png_codec.h), so that both builds give
// the same DIB bytes and PNG pixels for the same input.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/container_doc.h"

// Straight (not premultiplied) 8-bit RGBA, rows top-down.
struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;
};

// The largest PNG taken: either side, and the decoded RGBA bytes.
inline constexpr std::uint32_t kMaxPngSide = 32768;
inline constexpr std::uint64_t kMaxPngDecodedBytes = std::uint64_t{512} << 20;

// True when bytes begin with the PNG signature: content, not a name, says
// what a file is.
bool IsPng(std::span<const std::uint8_t> bytes);

// Reads the size from the IHDR chunk and checks it against the limits, so
// that nothing is allocated for a picture that would be refused. Empty when
// the picture may be decoded; else why not.
std::string PngSizeProblem(std::span<const std::uint8_t> bytes);

// A 16-bit sample to 8 bits, rounded to the nearest.
inline std::uint8_t RoundSample16(std::uint16_t v) {
    return static_cast<std::uint8_t>((std::uint32_t{v} * 255 + 32767) / 65535);
}

// The DIB for a decoded picture: 24-bit BI_RGB when every pixel is opaque,
// else 32-bit straight alpha in a BITMAPV5HEADER with BI_BITFIELDS masks
// 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000; rows bottom-up.
DibPayload DibFromRgba(const RgbaImage& image);

// Decodes a DIB's pixels (every layout ReadDibLayout reads and the platform
// draws: palettes, 16-bit masks, 24 and 32 bits, top-down, RLE4 and RLE8).
// hasAlpha tells whether any pixel is less than opaque: a 32-bit BI_RGB
// bitmap whose fourth bytes are all 0 is opaque. False, with problem set,
// for a payload it cannot decode.
bool RgbaFromDib(std::span<const std::uint8_t> payload, RgbaImage& image, bool& hasAlpha,
                 std::string& problem);

// PNG bytes to the payload stored for them; problem says why not (the
// platform decoder's refusal or a limit).
bool PayloadFromPng(std::span<const std::uint8_t> png, DibPayload& payload, std::string& problem);

// A payload as PNG bytes: RGBA only when it carries real alpha.
bool PngFromPayload(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& png,
                    std::string& problem);

// Stores a .bmp file or a PNG image under id, told apart by content (the
// signature, not the name), as StoreBitmapFile does; problem says why not.
bool StoreImageFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& bytes,
                    std::string* problem = nullptr);

// True when a chosen file name asks for PNG (ends in ".png", any case).
bool NamesPngFile(const std::wstring& path);

// Writes the payload of id as a PNG file, an exported copy as
// WriteBitmapFile writes one.
bool WritePngFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path,
                  std::string* problem = nullptr);
