#include "bitmaps/png_convert.h"

#include <algorithm>
#include <bit>
#include <exception>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/dib_layout.h"
#include "bitmaps/png_codec.h"
#include "fileio/byte_order.h"
#include "fileio/new_file.h"
#include "fileio/path_separator.h"

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kSrgb = 0x73524742;      // LCS_sRGB
constexpr std::uint32_t kGmImages = 4;           // LCS_GM_IMAGES
constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

std::uint32_t LoadBigU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::string SizeProblem(std::uint64_t width, std::uint64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width == 0 || height == 0) return "its size " + size + " is empty";
    if (width > kMaxPngSide || height > kMaxPngSide) {
        return "its size " + size + " exceeds " + std::to_string(kMaxPngSide) + " pixels a side";
    }
    if (width * height * 4 > kMaxPngDecodedBytes) {
        return "its size " + size + " needs more than " +
               std::to_string(kMaxPngDecodedBytes >> 20) + " MiB decoded";
    }
    return "";
}

// One colour channel of a masked pixel, widened or narrowed to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        max = (std::uint64_t{1} << std::popcount(m >> shift)) - 1;
    }
    std::uint8_t Of(std::uint32_t pixel, std::uint8_t absent) const {
        if (max == 0) return absent;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>(std::min<std::uint64_t>(255, (v * 255 + max / 2) / max));
    }
};

// Walks run-length pixels into one palette index per pixel, bottom row
// first; pixels the data skips keep index 0.
void DecodeRunLength(std::span<const std::uint8_t> data, bool fourBit, std::uint32_t width,
                     std::uint32_t height, std::vector<std::uint8_t>& indices) {
    indices.assign(std::size_t{width} * height, 0);
    std::uint64_t x = 0, y = 0;
    std::size_t at = 0;
    const auto put = [&](std::uint8_t index) {
        if (x < width && y < height) indices[y * width + x] = index;
        ++x;
    };
    while (at + 1 < data.size() && y < height) {
        const std::uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (std::uint8_t i = 0; i < count; ++i)
                put(fourBit ? static_cast<std::uint8_t>(i % 2 ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (at + 1 >= data.size()) break;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {
            const std::size_t bytes = fourBit ? (value + 1u) / 2 : value;
            for (std::uint8_t i = 0; i < value; ++i) {
                const std::size_t byte = at + (fourBit ? i / 2u : i);
                if (byte >= data.size()) break;
                put(fourBit ? static_cast<std::uint8_t>(i % 2 ? data[byte] & 0x0F : data[byte] >> 4)
                            : data[byte]);
            }
            at += (bytes + 1) / 2 * 2;  // absolute runs end on a 16-bit boundary
        }
    }
}

}  // namespace

bool IsPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kSignature &&
           std::equal(kSignature, kSignature + 8, bytes.begin());
}

std::string PngSizeProblem(std::span<const std::uint8_t> bytes) {
    if (!IsPng(bytes)) return "not a PNG image";
    if (bytes.size() < 8 + 8 + 13 || LoadBigU32(bytes.data() + 8) != 13 ||
        !std::equal(bytes.begin() + 12, bytes.begin() + 16, "IHDR")) {
        return "its header chunk (IHDR) is missing or cut short";
    }
    return SizeProblem(LoadBigU32(bytes.data() + 16), LoadBigU32(bytes.data() + 20));
}

DibPayload DibFromRgba(const RgbaImage& image) {
    bool alpha = false;
    for (std::size_t i = 3; i < image.rgba.size() && !alpha; i += 4)
        alpha = image.rgba[i] != 255;
    const std::uint32_t bits = alpha ? 32 : 24;
    const std::size_t stride = (std::size_t{image.width} * bits + 31) / 32 * 4;
    const std::uint32_t headerSize = alpha ? kV5HeaderSize : 40;
    std::vector<std::uint8_t> dib(headerSize + stride * image.height, 0);
    std::uint8_t* h = dib.data();
    PutU32(h, headerSize);
    PutU32(h + 4, image.width);
    PutU32(h + 8, image.height);  // positive: bottom-up
    PutU16(h + 12, 1);
    PutU16(h + 14, static_cast<std::uint16_t>(bits));
    PutU32(h + 16, alpha ? kBiBitfields : 0);
    PutU32(h + 20, static_cast<std::uint32_t>(stride * image.height));
    PutU32(h + 24, kPixelsPerMetre);
    PutU32(h + 28, kPixelsPerMetre);
    if (alpha) {
        PutU32(h + 40, 0x00FF0000);
        PutU32(h + 44, 0x0000FF00);
        PutU32(h + 48, 0x000000FF);
        PutU32(h + 52, 0xFF000000);
        PutU32(h + 56, kSrgb);
        PutU32(h + 108, kGmImages);
    }
    for (std::uint32_t y = 0; y < image.height; ++y) {
        std::uint8_t* row = h + headerSize + stride * (image.height - 1 - y);
        const std::uint8_t* from = image.rgba.data() + std::size_t{y} * image.width * 4;
        for (std::uint32_t x = 0; x < image.width; ++x, from += 4) {
            *row++ = from[2];
            *row++ = from[1];
            *row++ = from[0];
            if (alpha) *row++ = from[3];
        }
    }
    return DibPayload(std::move(dib));
}

bool RgbaFromDib(std::span<const std::uint8_t> payload, RgbaImage& image, bool& hasAlpha,
                 std::string& problem) {
    const DibLayout l = ReadDibLayout(payload);
    if (!l.drawable) {
        problem = "cannot be converted: " + DibNotDrawnText(l);
        return false;
    }
    const auto width = static_cast<std::uint32_t>(l.width);
    const auto height = static_cast<std::uint32_t>(l.height < 0 ? -l.height : l.height);
    if (problem = SizeProblem(width, height); !problem.empty()) return false;
    const std::uint8_t* p = payload.data();
    const std::uint8_t* table = p + l.tableOffset;
    const auto colour = [&](std::uint32_t index, std::uint8_t* out) {
        if (index >= l.tableEntries) index = 0;
        const std::uint8_t* e = table + std::size_t{index} * l.entrySize;
        const bool present = index < l.tableEntries;
        out[0] = present ? e[2] : 0;
        out[1] = present ? e[1] : 0;
        out[2] = present ? e[0] : 0;
        out[3] = 255;
    };

    // Where the masks of masked pixels are, and what plain 16 and 32 bits mean.
    std::uint32_t masks[4] = {0, 0, 0, 0};
    if (l.format == DibFormat::Bitfields || l.format == DibFormat::AlphaBitfields) {
        const std::size_t count =
            l.format == DibFormat::AlphaBitfields || l.headerSize >= 56 ? 4 : 3;
        for (std::size_t i = 0; i < count; ++i)
            masks[i] = LoadU32(p + 40 + 4 * i);
    } else if (l.bitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (l.bitCount == 32) {
        masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
        masks[3] = 0xFF000000;
    }
    const Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);

    try {
        image.width = width;
        image.height = height;
        image.rgba.assign(std::size_t{width} * height * 4, 0);
        std::vector<std::uint8_t> indices;
        if (l.format == DibFormat::Rle8 || l.format == DibFormat::Rle4) {
            DecodeRunLength(payload.subspan(l.pixelOffset, l.pixelBytes),
                            l.format == DibFormat::Rle4, width, height, indices);
        }
        const std::size_t stride = (std::size_t{width} * l.bitCount + 31) / 32 * 4;
        for (std::uint32_t y = 0; y < height; ++y) {
            // Row y of the picture, counted from the top.
            const std::uint32_t stored = l.height < 0 ? y : height - 1 - y;
            const std::uint8_t* row = p + l.pixelOffset + stride * stored;
            std::uint8_t* out = image.rgba.data() + std::size_t{y} * width * 4;
            for (std::uint32_t x = 0; x < width; ++x, out += 4) {
                if (!indices.empty()) {
                    colour(indices[std::size_t{stored} * width + x], out);
                } else if (l.bitCount <= 8) {
                    const std::size_t bit = std::size_t{x} * l.bitCount;
                    const auto shift = static_cast<unsigned>(8 - l.bitCount - bit % 8);
                    colour((row[bit / 8] >> shift) & ((1u << l.bitCount) - 1), out);
                } else if (l.bitCount == 24) {
                    out[0] = row[3 * x + 2], out[1] = row[3 * x + 1], out[2] = row[3 * x];
                    out[3] = 255;
                } else {
                    const std::uint32_t v =
                        l.bitCount == 16 ? LoadU16(row + 2 * x) : LoadU32(row + 4 * x);
                    out[0] = r.Of(v, 0), out[1] = g.Of(v, 0), out[2] = b.Of(v, 0);
                    out[3] = a.Of(v, 255);
                }
            }
        }
    } catch (const std::exception&) {
        problem = "cannot be converted: out of memory";
        return false;
    }
    // Plain 32-bit pixels whose fourth bytes are all 0 never meant alpha.
    bool anyAlpha = false, allZero = true;
    for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
        anyAlpha = anyAlpha || image.rgba[i] != 255;
        allZero = allZero && image.rgba[i] == 0;
    }
    if (l.format == DibFormat::Rgb && l.bitCount == 32 && allZero) {
        for (std::size_t i = 3; i < image.rgba.size(); i += 4)
            image.rgba[i] = 255;
        anyAlpha = false;
    }
    hasAlpha = anyAlpha;
    return true;
}

bool PayloadFromPng(std::span<const std::uint8_t> png, DibPayload& payload, std::string& problem) {
    if (problem = PngSizeProblem(png); !problem.empty()) return false;
    try {
        PngSamples samples;
        if (!DecodePngSamples(png, samples, problem)) return false;
        if (problem = SizeProblem(samples.width, samples.height); !problem.empty()) return false;
        RgbaImage image;
        image.width = samples.width;
        image.height = samples.height;
        if (samples.sixteenBit) {
            image.rgba.resize(samples.rgba16.size());
            std::transform(samples.rgba16.begin(), samples.rgba16.end(), image.rgba.begin(),
                           RoundSample16);
        } else {
            image.rgba = std::move(samples.rgba8);
        }
        if (image.rgba.size() != std::size_t{image.width} * image.height * 4) {
            problem = "its pixels could not be read whole";
            return false;
        }
        payload = DibFromRgba(image);
        return true;
    } catch (const std::exception&) {
        problem = "out of memory";
        return false;
    }
}

bool PngFromPayload(std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& png,
                    std::string& problem) {
    RgbaImage image;
    bool alpha = false;
    if (!RgbaFromDib(payload, image, alpha, problem)) return false;
    if (!EncodePng(image, alpha, png)) {
        problem = "cannot be encoded as PNG";
        return false;
    }
    return true;
}

bool StoreImageFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& bytes,
                    std::string* problem) {
    if (!IsPng(bytes)) return StoreBitmapFile(doc, id, bytes, problem);
    DibPayload payload;
    std::string why;
    if (!PayloadFromPng(bytes, payload, why)) {
        if (problem) *problem = std::move(why);
        return false;
    }
    return PutPayload(doc, id, std::move(payload), problem);
}

bool NamesPngFile(const std::wstring& path) {
    return EndsWithAsciiNoCase(path, L".png");
}

bool WritePngFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path,
                  std::string* problem) {
    const auto entry = doc.bitmaps.find(id);
    if (entry == doc.bitmaps.end()) return false;
    std::vector<std::uint8_t> png;
    std::string why;
    if (!PngFromPayload(entry->second, png, why)) {
        if (problem) *problem = std::move(why);
        return false;
    }
    return WriteCopyFile(path, png, {});
}
