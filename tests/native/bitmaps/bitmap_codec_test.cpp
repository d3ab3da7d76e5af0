// .bmp files in and out of the store, and which payloads can be drawn
// without reading past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/clipboard_image.h"
#include "bitmaps/dib_layout.h"
#include "bitmaps/png_convert.h"
#include "bitmaps/preview_view.h"
#include "support/dib_files.h"

using namespace orvix_test;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

}  // namespace

// Every header kind, its exact fit and one byte short: where the pixels
// start (the exported bfOffBits), and whether the platform draws it.
TEST(CodecTest, LayoutOfEveryHeaderKindExactFitAndOneByteShort) {
    ScratchFolder scratch;
    const struct {
        const char* what;
        DibFields fields;
        std::size_t size;  // the exact fit
        std::uint32_t offBits;
        bool drawable;
    } cases[] = {
        // clang-format off
        {"core 8-bit 2x2", {.biSize = 12, .width = 2, .height = 2, .bitCount = 8}, 788, 794, true},
        {"core 24-bit 3x2", {.biSize = 12, .width = 3, .height = 2}, 36, 26, true},
        {"core 1-bit 33x1", {.biSize = 12, .width = 33, .bitCount = 1}, 26, 32, true},
        {"OS/2 16-byte 4-bit 9x2", {.biSize = 16, .width = 9, .height = 2, .bitCount = 4}, 96, 94,
         true},
        {"OS/2 64-byte 8-bit, 2 colours", {.biSize = 64, .width = 5, .bitCount = 8, .clrUsed = 2},
         80, 86, true},
        {"OS/2 Huffman", {.biSize = 64, .width = 8, .height = 8, .bitCount = 1, .compression = 3,
         .sizeImage = 10}, 82, 86, false},
        {"OS/2 RLE24", {.biSize = 64, .compression = 4, .sizeImage = 3}, 67, 78, false},
        {"24-bit 1x1", {}, 44, 54, true},
        {"24-bit 3x2 top-down", {.width = 3, .height = -2}, 64, 54, true},
        {"24-bit, 3 colours used", {.bitCount = 24, .clrUsed = 3}, 56, 66, true},
        {"8-bit 2x2", {.width = 2, .height = 2, .bitCount = 8}, 1072, 1078, true},
        {"8-bit 5x1, 3 colours", {.width = 5, .bitCount = 8, .clrUsed = 3}, 60, 66, true},
        {"4-bit 9x2", {.width = 9, .height = 2, .bitCount = 4}, 120, 118, true},
        {"1-bit 33x1", {.width = 33, .bitCount = 1}, 56, 62, true},
        {"2-bit", {.bitCount = 2}, 60, 70, false},
        {"16-bit bit fields", {.bitCount = 16, .compression = 3}, 56, 66, true},
        {"bit fields, then 256 colours", {.width = 2, .height = 2, .bitCount = 16,
         .compression = 3, .clrUsed = 256}, 1084, 1090, true},
        {"alpha bit fields", {.bitCount = 32, .compression = 6}, 60, 70, true},
        {"52-byte header, bit fields", {.biSize = 52, .bitCount = 32, .compression = 3}, 56, 66,
         true},
        {"56-byte header, alpha bit fields", {.biSize = 56, .bitCount = 32, .compression = 6}, 60,
         70, true},
        {"V4 bit fields", {.biSize = 108, .bitCount = 16, .compression = 3}, 112, 122, true},
        {"V5 bit fields", {.biSize = 124, .bitCount = 32, .compression = 3}, 128, 138, true},
        {"V5 8-bit", {.biSize = 124, .bitCount = 8}, 1152, 1162, true},
        {"RLE8", {.width = 4, .height = 4, .bitCount = 8, .compression = 1, .sizeImage = 10}, 1074,
         1078, true},
        {"RLE4", {.width = 4, .height = 4, .bitCount = 4, .compression = 2, .sizeImage = 6}, 110,
         118, true},
        {"RLE8 top-down", {.height = -1, .bitCount = 8, .compression = 1, .sizeImage = 4}, 1068,
         1078, false},
        {"JPEG", {.bitCount = 0, .compression = 4, .sizeImage = 4}, 44, 54, false},
        {"PNG", {.biSize = 124, .bitCount = 0, .compression = 5, .sizeImage = 9}, 133, 138, false},
        // clang-format on
    };
    for (const auto& c : cases) {
        const DibPayload exact = MakeDib(c.fields, c.size);
        const DibLayout layout = ReadDibLayout(exact);
        EXPECT_EQ(layout.drawable, c.drawable) << c.what << ": " << DibNotDrawnText(layout);
        EXPECT_EQ(DibDrawingInfo(exact, layout).empty(), !c.drawable) << c.what;
        EXPECT_EQ(DibHeaderLength(exact), c.offBits - 14) << c.what;
        ContainerDoc d;
        ASSERT_TRUE(StoreBitmapFile(d, 1, MakeBmpFile(exact, c.offBits))) << c.what;
        ASSERT_TRUE(WriteBitmapFile(d, 1, (scratch / "out.bmp").wstring())) << c.what;
        EXPECT_EQ(ReadBytes(scratch / "out.bmp"), MakeBmpFile(exact, c.offBits)) << c.what;
        const DibPayload shortOne(exact.begin(), exact.end() - 1);
        EXPECT_FALSE(StoreBitmapFile(d, 2, MakeBmpFile(shortOne, c.offBits)))
            << c.what << ", one byte short";
        EXPECT_FALSE(WriteBitmapFile(d, 2, (scratch / "2.bmp").wstring()))
            << c.what << ": nothing stored";
    }
    EXPECT_EQ(scratch.EntryCount(), 1u) << "a file of a refused export, or a temporary";
}

// What a .bmp file stores, or why it stores nothing: the file header, then
// what proves the bitmap broken; and why a PNG image stores nothing, found
// before anything is allocated. A refusal leaves the store as it was.
TEST(CodecTest, StoringTakesOutTheGapAndRefusesBrokenBitmapsAndPictures) {
    const Bytes good = ReadBytes(fs::path(ORVIX_PNG_FIXTURES) / "pal8.png");
    const auto withSize = [&](std::uint32_t w, std::uint32_t h) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) {
            b[16 + i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
            b[20 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
        }
        return b;
    };
    Bytes badCrc = good;
    const std::string idat = "IDAT";  // a byte of its data
    *(std::search(badCrc.begin(), badCrc.end(), idat.begin(), idat.end()) + 5) ^= 0x40;
    const Bytes pixel = MakeDib({}, 44);
    const Bytes core = MakeDib({.biSize = 12, .width = 2, .bitCount = 8}, 12 + 6 + 4);
    Bytes fullCore = core;
    fullCore.insert(fullCore.begin() + 18, 254 * 3, 0);
    Bytes notBm = MakeBmpFile(pixel, 54);
    notBm[1] = 'A';
    Bytes gap = MakeBmpFile(pixel, 60);  // six unused bytes before the pixels
    gap.insert(gap.begin() + 54, {1, 2, 3, 4, 5, 6});
    const auto file = [](DibFields f, std::size_t size) {
        return MakeBmpFile(MakeDib(f, size), 14);
    };
    const struct {
        const char* what;
        Bytes file;
        std::string problem;  // empty: stored, as payload
        Bytes payload = {};
    } cases[] = {
        {"the gap after the table taken out", gap, "", pixel},
        {"bfOffBits inside the header: the header decides", MakeBmpFile(pixel, 20), "", pixel},
        {"an OS/2 table of 2 of 256 colours: filled up", MakeBmpFile(core, 14 + 18), "", fullCore},
        {"13 bytes", Bytes(13, 'B'), "no BM file header"},
        {"starts with BA", notBm, "no BM file header"},
        {"bfOffBits 13", MakeBmpFile(pixel, 13), "bfOffBits 13 lies outside its 58 bytes"},
        {"bfOffBits past the end", MakeBmpFile(pixel, 59), "bfOffBits 59 lies outside"},
        {"nothing after the file header, where bfOffBits points", MakeBmpFile(Bytes{}, 14),
         "its 4-byte header does not fit"},
        {"a 1-byte bitmap", MakeBmpFile(Bytes{40}, 14), "its 4-byte header does not fit in its 1"},
        {"header longer than the bitmap", file({.biSize = 124}, 100), "its 124-byte header"},
        {"biSize 0xFFFFFFFF", file({.biSize = 0xFFFFFFFF}, 44), "biSize 4294967295 is not"},
        {"biSize 39", file({.biSize = 39 + 30}, 100), "biSize 69 is not"},
        {"width -4", file({.width = -4}, 60), "biWidth is -4"},
        {"core width 0", file({.biSize = 12, .width = 0}, 20), "bcWidth is 0"},
        {"height 0", file({.height = 0}, 44), "biHeight is 0"},
        {"planes 2", file({.planes = 2}, 44), "biPlanes is 2, not 1"},
        {"compression 9", file({.compression = 9}, 44), "biCompression 9 is not a known"},
        {"24-bit bit fields", file({.compression = 3}, 64), "biBitCount 24 is not valid for BIT"},
        {"RLE8 at 4 bits", file({.bitCount = 4, .compression = 1}, 120), "biBitCount 4 is not"},
        {"bit count 0", file({.bitCount = 0}, 48), "biBitCount 0 is not valid for RGB"},
        {"OS/2 compression 5", file({.biSize = 64, .compression = 5}, 80), "biCompression 5"},
        {"colour table past the end", file({.bitCount = 8}, 100),
         "its colour table ends at byte 1064, past its 100"},
        {"colour count of 2^30", file({.clrUsed = 0x40000000u}, 100),
         "its colour table ends at byte 4294967336"},
        {"widest row, 88 pixel bytes", file({.width = kMax}, 128),
         "its pixels end at byte 6442450984"},
        {"widest row, tallest", file({.width = kMax, .height = kMin, .bitCount = 32}, 128),
         "its pixels end at byte 18446744065119617064"},
        {"JPEG longer than the bitmap", file({.bitCount = 0, .compression = 4, .sizeImage = 9}, 48),
         "its pixels end at byte 49"},
        {"a PNG image with a bad CRC", badCrc, "not a sound PNG image"},
        {"a PNG image 40000 pixels wide", withSize(40000, 1), "its size 40000 x 1 exceeds 32768"},
        {"20000 x 20000", withSize(20000, 20000), "its size 20000 x 20000 needs more than 512 MiB"},
        {"no PNG header chunk", Bytes(good.begin(), good.begin() + 20), "its header chunk"},
    };
    const DibPayload previous = MakeDib({.width = 2}, 48);
    for (const auto& c : cases) {
        ContainerDoc d;
        d.bitmaps[5] = previous;
        std::string problem;
        EXPECT_EQ(StoreImageFile(d, 5, c.file, &problem), c.problem.empty()) << c.what;
        EXPECT_EQ(problem.substr(0, c.problem.size()), c.problem) << c.what << ": " << problem;
        EXPECT_EQ(d.dirty, c.problem.empty()) << c.what;
        EXPECT_EQ(d.bitmaps[5], c.problem.empty() ? c.payload : previous) << c.what;
    }
    EXPECT_TRUE(PayloadFitsBitmapFile(0xFFFFFFFFull - 14)) << "bfSize counts the 14-byte header";
    EXPECT_FALSE(PayloadFitsBitmapFile(0xFFFFFFFFull - 13));
}

// PNG files of every colour type and depth (made by png/make_fixtures.py)
// become the DIB the conversion rules give for the pixels ImageMagick reads
// in them, whichever codec decodes them (libspng natively, the platform's
// under Wine), and come back out as PNG files with the same pixels.
TEST(PngConversion, EveryKindGivesTheDibOfItsPixelsAndComesBack) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(ORVIX_PNG_FIXTURES))) {
        if (entry.path().extension() != ".png") continue;
        ++count;
        const std::string name = entry.path().filename().string();
        DibPayload dib, again;
        std::string problem;
        ASSERT_TRUE(PayloadFromPng(ReadBytes(entry.path()), dib, problem)) << name << problem;
        RgbaImage pixels;
        bool alpha = false;
        ASSERT_TRUE(RgbaFromDib(dib, pixels, alpha, problem)) << name << problem;
        EXPECT_EQ(le::Get16(dib, 14), alpha ? 32 : 24) << name;
        fs::path truth = entry.path();
        if (fs::exists(truth.replace_extension(".rgba"))) {
            const RgbaImage expected{pixels.width, pixels.height, ReadBytes(truth)};
            EXPECT_EQ(dib, DibFromRgba(expected)) << name;
        } else {
            std::uint64_t hash = 0xcbf29ce484222325;
            for (std::uint8_t byte : pixels.rgba)
                hash = (hash ^ byte) * 0x100000001b3;
            const Bytes text = ReadBytes(truth.replace_extension(".fnv"));
            EXPECT_EQ(std::stoull(std::string(text.begin(), text.end()), nullptr, 16), hash)
                << name;
        }
        std::vector<std::uint8_t> png;
        ASSERT_TRUE(PngFromPayload(dib, png, problem)) << name << problem;
        ASSERT_TRUE(PayloadFromPng(png, again, problem)) << name << problem;
        EXPECT_EQ(again, dib) << name << ": the way back";
    }
    EXPECT_EQ(count, 23);
}

TEST(ClipboardImage, PasteTakesTheFirstDibItsOwnerPutThenPng) {
    using enum ClipboardImage;
    const struct {
        std::vector<ClipboardImage> listed;
        ClipboardImage taken;
    } cases[] = {{{}, None}, {{Png}, Png}, {{Dib, DibV5}, Dib}, {{Png, DibV5, Dib}, DibV5}};
    for (const auto& c : cases)
        EXPECT_EQ(ChoosePasteFormat(c.listed), c.taken) << c.listed.size() << " formats";
}

// A bitmap with alpha also goes as a V5 DIB; what comes back from either is
// the stored bytes, cut to the length the header gives.
TEST(ClipboardImage, CopyAndPasteKeepTheStoredBytes) {
    const DibPayload opaque = DibFromRgba({1, 1, {1, 2, 3, 255}});
    const DibPayload alpha = DibFromRgba({1, 1, {1, 2, 3, 128}});
    EXPECT_EQ(ClipboardCopyOf(opaque).dib, opaque.ToBytes());
    EXPECT_TRUE(ClipboardCopyOf(opaque).dibV5.empty());
    EXPECT_EQ(ClipboardCopyOf(alpha).dib, alpha.ToBytes());
    EXPECT_EQ(ClipboardCopyOf(alpha).dibV5, alpha.ToBytes());
    Bytes padded = opaque.ToBytes();
    padded.resize(padded.size() + 16);
    DibPayload pasted;
    EXPECT_TRUE(PayloadFromClipboard(ClipboardImage::Dib, padded, pasted));
    EXPECT_EQ(pasted, opaque);
    EXPECT_FALSE(PayloadFromClipboard(ClipboardImage::DibV5, Bytes{40, 0, 0}, pasted));
    EXPECT_FALSE(PayloadFromClipboard(ClipboardImage::Png, padded, pasted));
    EXPECT_EQ(ReplaceWithClipboardQuestion(9),
              L"Replace bitmap 00009 with the image on the clipboard?");
}

// The preview's zoom in a 400 x 300 pane: the size drawn, and scroll bars only
// where a chosen zoom outgrows the pane; fit shrinks whole, never enlarges.
TEST(PreviewView, DrawnSizeAtEachZoomAndFit) {
    const struct {
        std::int64_t w, h;
        int step;  // 4 is 1:1
        bool fit;
        DrawnSize drawn;
    } cases[] = {
        {20, 10, 6, false, {40, 20, false}},     {20, 10, 2, false, {10, 5, false}},
        {20, 10, 1, false, {7, 3, false}},       {2, 1, 0, false, {1, 1, false}},
        {20, 10, 12, false, {320, 160, false}},  {30, 10, 12, false, {480, 160, true}},
        {600, 500, 4, false, {600, 500, false}}, {600, 500, 4, true, {360, 300, false}},
        {800, 100, 9, true, {400, 50, false}},   {20, 10, 9, true, {20, 10, false}},
    };
    for (const auto& c : cases) {
        const DrawnSize d = PreviewDrawnSize(c.w, c.h, 400, 300, c.step, c.fit);
        EXPECT_EQ((std::vector<std::int64_t>{d.width, d.height, d.pans}),
                  (std::vector<std::int64_t>{c.drawn.width, c.drawn.height, c.drawn.pans}))
            << c.w << " x " << c.h << " step " << c.step << " fit " << c.fit;
    }
    EXPECT_EQ(ZoomInStep(0, 20, 10), 1);
    EXPECT_EQ(ZoomInStep(12, 20, 10), 12) << "16x is the last step";
    EXPECT_EQ(ZoomOutStep(12), 11);
    EXPECT_EQ(ZoomOutStep(0), 0) << "1/4x is the first step";
    EXPECT_EQ(ZoomInStep(7, 1 << 24, 1), 8) << "4 x 2^24 is drawn";
    EXPECT_EQ(ZoomInStep(8, 1 << 24, 1), 8) << "6 x 2^24 is past the longest side";
}

TEST(PreviewView, InfoTipSaysSizeDepthCompressionBytesAndWhyNotDrawn) {
    EXPECT_EQ(BitmapInfoTip(MakeDib({.width = 20, .height = 10}, 644)),
              L"20 \u00D7 10, 24-bit, RGB, 644 bytes");
    EXPECT_EQ(
        BitmapInfoTip(MakeDib(
            {.width = 5, .height = -3, .bitCount = 8, .compression = 1, .sizeImage = 4}, 1068)),
        L"5 \u00D7 3, 8-bit, RLE8, 1068 bytes\n"
        L"Not previewed: run-length pixels stored top-down are not valid");
    EXPECT_EQ(BitmapInfoTip(MakeDib({.width = 20, .height = 10}, 639)),
              L"20 \u00D7 10, 24-bit, RGB, 639 bytes\n"
              L"Not previewed: its pixels end at byte 640, past its 639 bytes");
}
