// .bmp files made by ImageMagick load, export unchanged, and read back in
// ImageMagick as the same picture: our files are valid to another program.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "native/bitmaps/bitmap_test_support.h"

using namespace orvix_test;

namespace {

struct Tools {
    std::string convert, identify, compare;
};

struct Result {
    int status;
    std::string output;
};

Result Shell(const std::string& command) {
    Result r{-1, {}};
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.output.append(buffer, n);
    r.status = ::pclose(pipe);
    return r;
}

std::string Quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

// Absolute paths only: a convert earlier on PATH may be something else.
std::optional<std::string> FindTool(const std::vector<std::string>& candidates) {
    for (const std::string& c : candidates) {
        std::error_code ec;
        if (!fs::exists(c, ec)) continue;
        if (Shell("'" + c + "' -version").output.find("ImageMagick") != std::string::npos) return c;
    }
    return std::nullopt;
}

std::optional<Tools> FindImageMagick() {
    auto convert = FindTool({"/usr/bin/convert-im6.q16", "/usr/bin/convert-im6.q16hdri",
                             "/usr/bin/convert-im6", "/usr/bin/convert"});
    auto identify = FindTool({"/usr/bin/identify-im6.q16", "/usr/bin/identify-im6.q16hdri",
                              "/usr/bin/identify-im6", "/usr/bin/identify"});
    auto compare = FindTool({"/usr/bin/compare-im6.q16", "/usr/bin/compare-im6.q16hdri",
                             "/usr/bin/compare-im6", "/usr/bin/compare"});
    if (!convert || !identify || !compare) return std::nullopt;
    return Tools{*convert, *identify, *compare};
}

enum class Shape { AsMade, TopDown, V4Header, InfoHeaderWithMasks };

struct Producer {
    const char* name;
    bool alphaSource;
    const char* args;  // convert options and the output prefix, before the file name
    Shape shape;
    std::uint32_t biSize;
    std::uint16_t bitCount;
    std::uint32_t compression;
};

// Row stride of an uncompressed bitmap.
std::size_t Stride(const Bytes& file) {
    const std::uint64_t width = LoadU32(&file.at(18)), bits = LoadU16(&file.at(28));
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

Bytes Reshape(const Bytes& file, Shape shape) {
    const std::uint32_t offBits = LoadU32(&file.at(10));
    Bytes out;
    switch (shape) {
        case Shape::AsMade:
            return file;
        case Shape::TopDown: {
            out = file;
            const std::size_t stride = Stride(file);
            const auto height = LoadI32(&file.at(22));
            for (std::int32_t row = 0; row < height; ++row) {
                std::copy_n(file.begin() + offBits + static_cast<long>(row * stride), stride,
                            out.begin() + offBits + static_cast<long>((height - 1 - row) * stride));
            }
            PutU32(&out.at(22), static_cast<std::uint32_t>(-height));
            return out;
        }
        case Shape::V4Header:
            // The V5 header less its colour-profile fields.
            out.assign(file.begin(), file.begin() + 14 + 108);
            PutU32(&out.at(14), 108);
            break;
        case Shape::InfoHeaderWithMasks:
            // A 40-byte header followed by the three masks the V5 header held.
            out.assign(file.begin(), file.begin() + 14 + 52);
            PutU32(&out.at(14), 40);
            break;
    }
    const std::uint32_t newOffBits = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), file.begin() + offBits, file.end());
    PutU32(&out.at(2), static_cast<std::uint32_t>(out.size()));
    PutU32(&out.at(10), newOffBits);
    return out;
}

struct ImageMagickTest : ::testing::Test {
    ScratchFolder scratch;
    Tools im;

    void SetUp() override {
        auto tools = FindImageMagick();
        if (!tools) GTEST_SKIP() << "ImageMagick (convert, identify, compare) not installed";
        im = *tools;
    }
    // Pixel difference count between two pictures, as ImageMagick sees them.
    std::string Difference(const fs::path& a, const fs::path& b, bool colourOnly = false) {
        Result r = Shell("'" + im.compare + "' -metric AE " + (colourOnly ? "-alpha off " : "") +
                         Quote(a) + " " + Quote(b) + " null:");
        // Newer versions add a normalised figure in brackets after the count.
        return r.output.substr(0, r.output.find(' '));
    }
};

TEST_F(ImageMagickTest, ProducersLoadExportAndReadBack) {
    // 13 pixels wide so that rows of every depth need padding.
    const fs::path photo = scratch.dir / "photo.png", alpha = scratch.dir / "alpha.png";
    ASSERT_EQ(Shell("'" + im.convert + "' -seed 7 -size 13x7 plasma: " + Quote(photo)).status, 0);
    ASSERT_EQ(Shell("'" + im.convert + "' " + Quote(photo) +
                    " -alpha set -channel A -fx '(i+j)/20' +channel " + Quote(alpha))
                  .status,
              0);

    const std::vector<Producer> producers = {
        {"1-bit", false, "-type bilevel BMP3:", Shape::AsMade, 40, 1, 0},
        {"4-bit", false, "-colors 12 -type palette -compress None BMP3:", Shape::AsMade, 40, 4, 0},
        {"8-bit", false, "-colors 60 -type palette -compress None BMP3:", Shape::AsMade, 40, 8, 0},
        {"8-bit RLE", false, "-colors 60 -type palette -compress RLE BMP3:", Shape::AsMade, 40, 8,
         1},
        {"24-bit", false, "-type truecolor BMP3:", Shape::AsMade, 40, 24, 0},
        {"32-bit", true, "-define bmp3:alpha=true BMP3:", Shape::AsMade, 40, 32, 0},
        {"24-bit top-down", false, "-type truecolor BMP3:", Shape::TopDown, 40, 24, 0},
        {"8-bit top-down", false, "-colors 60 -type palette -compress None BMP3:", Shape::TopDown,
         40, 8, 0},
        {"24-bit V5", false, "-type truecolor BMP:", Shape::AsMade, 124, 24, 0},
        {"8-bit V5", false, "-colors 60 -type palette -compress None -define bmp:format=bmp4",
         Shape::AsMade, 124, 8, 0},
        {"24-bit V4", false, "-type truecolor BMP:", Shape::V4Header, 108, 24, 0},
        {"32-bit bit fields", true, "BMP:", Shape::InfoHeaderWithMasks, 40, 32, 3},
        {"16-bit 565 bit fields", false,
         "-define bmp:subtype=RGB565 BMP:", Shape::InfoHeaderWithMasks, 40, 16, 3},
        {"32-bit V5 bit fields", true, "BMP:", Shape::AsMade, 124, 32, 3},
        {"16-bit 565 V5 bit fields", false, "-define bmp:subtype=RGB565 BMP:", Shape::AsMade, 124,
         16, 3},
        {"32-bit V4 bit fields", true, "BMP:", Shape::V4Header, 108, 32, 3},
    };

    ContainerDoc doc;
    std::vector<fs::path> inputs;
    for (std::size_t i = 0; i < producers.size(); ++i) {
        const Producer& p = producers[i];
        SCOPED_TRACE(p.name);
        const fs::path made = scratch.dir / ("made" + std::to_string(i) + ".bmp");
        const fs::path input = scratch.dir / ("in" + std::to_string(i) + ".bmp");
        // An output prefix such as BMP3: belongs inside the quoted file name.
        std::string options = p.args, prefix;
        if (options.back() == ':') {
            const std::size_t cut = options.rfind(' ') + 1;  // npos + 1 is 0
            prefix = options.substr(cut);
            options.erase(cut);
        } else {
            options += " ";
        }
        Result r = Shell("'" + im.convert + "' " + Quote(p.alphaSource ? alpha : photo) + " " +
                         options + Quote(prefix + made.string()));
        ASSERT_EQ(r.status, 0) << r.output;
        const Bytes file = Reshape(Slurp(made), p.shape);
        Spill(input, file);
        inputs.push_back(input);

        ASSERT_EQ(LoadU32(&file.at(14)), p.biSize) << "biSize from this ImageMagick";
        ASSERT_EQ(LoadU16(&file.at(28)), p.bitCount) << "biBitCount from this ImageMagick";
        ASSERT_EQ(LoadU32(&file.at(30)), p.compression) << "biCompression from this ImageMagick";
        if (p.shape != Shape::AsMade) {
            // A 40-byte header has no alpha mask, so only the colours can match.
            EXPECT_EQ(Difference(made, input, p.shape == Shape::InfoHeaderWithMasks), "0")
                << "reshaped input shows another picture";
        }

        Bytes read;
        ASSERT_TRUE(ReadWholeFile(input.wstring(), read));
        ASSERT_EQ(read, file);
        const auto id = static_cast<ResourceId>(i + 1);
        ASSERT_TRUE(StoreBitmapFile(doc, id, read));
        const DibPayload& payload = doc.bitmaps[id];
        ASSERT_EQ(payload, Bytes(file.begin() + 14, file.end()));

        EXPECT_EQ(14 + DibHeaderLength(payload), LoadU32(&file.at(10)));
        EXPECT_TRUE(DibPixelsInBounds(payload));
    }

    const fs::path out = scratch.dir / "out";
    fs::create_directory(out);
    ASSERT_TRUE(ExportAllBitmaps(doc, out.wstring()));

    for (std::size_t i = 0; i < producers.size(); ++i) {
        const Producer& p = producers[i];
        SCOPED_TRACE(p.name);
        char name[32];
        std::snprintf(name, sizeof name, "%05zu.bmp", i + 1);
        const Bytes original = Slurp(inputs[i]), exported = Slurp(out / name);
        ASSERT_EQ(exported.size(), original.size());
        EXPECT_TRUE(std::equal(original.begin() + 14, original.end(), exported.begin() + 14))
            << "payload changed on export";
        EXPECT_EQ(LoadU32(&exported.at(2)), exported.size()) << "bfSize";
        EXPECT_EQ(Bytes(exported.begin(), exported.begin() + 14),
                  Bytes(original.begin(), original.begin() + 14))
            << "file header differs from the producer's";
        Result size =
            Shell("'" + im.identify + "' -regard-warnings -format '%w %h' " + Quote(out / name));
        EXPECT_EQ(size.status, 0) << size.output;
        EXPECT_EQ(size.output, "13 7");
        EXPECT_EQ(Difference(inputs[i], out / name), "0");
    }
}

}  // namespace

namespace {

TEST_F(ImageMagickTest, CoreHeaderIsStoredVerbatimButNeverPreviewed) {
    const fs::path made = scratch.dir / "core.bmp";
    Result r = Shell("'" + im.convert + "' -size 13x7 gradient:red-blue " +
                     Quote("BMP2:" + made.string()));
    ASSERT_EQ(r.status, 0) << r.output;
    const Bytes file = Slurp(made);
    ASSERT_EQ(LoadU32(&file.at(14)), 12u) << "BITMAPCOREHEADER expected from BMP2:";
    ContainerDoc doc;
    ASSERT_TRUE(StoreBitmapFile(doc, 1, file));
    EXPECT_EQ(doc.bitmaps[1], Bytes(file.begin() + 14, file.end()));
    EXPECT_FALSE(DibPixelsInBounds(doc.bitmaps[1]));
}

}  // namespace
