// .bmp files as ImageMagick writes them (made by imagemagick/make_fixtures.py)
// load, keep their layout and export byte for byte as they came: our files
// are valid to another program exactly when its own were.
#include <gtest/gtest.h>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "fileio/whole_file.h"
#include "support/test_files.h"

using namespace orvix_test;

TEST(ImageMagickFiles, LoadAndExportUnchanged) {
    const fs::path fixtures = fs::path(__FILE__).parent_path() / "imagemagick";
    const struct {
        const char* file;
        std::uint32_t biSize;
        std::uint16_t bitCount;
        std::uint32_t compression;
    } files[] = {
        {"1bit", 40, 1, 0},
        {"4bit", 40, 4, 0},
        {"8bit", 40, 8, 0},
        {"8bit-rle", 40, 8, 1},
        {"24bit", 40, 24, 0},
        {"32bit", 40, 32, 0},
        {"24bit-topdown", 40, 24, 0},
        {"8bit-topdown", 40, 8, 0},
        {"24bit-v5", 124, 24, 0},
        {"8bit-v5", 124, 8, 0},
        {"24bit-v4", 108, 24, 0},
        {"32bit-masks", 40, 32, 3},
        {"16bit-565-masks", 40, 16, 3},
        {"32bit-v5-masks", 124, 32, 3},
        {"16bit-565-v5-masks", 124, 16, 3},
        {"32bit-v4-masks", 108, 32, 3},
    };
    ContainerDoc doc;
    ResourceId id = 0;
    for (const auto& f : files) {
        const fs::path path = fixtures / (std::string(f.file) + ".bmp");
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(path.wstring(), file)) << path;
        ASSERT_EQ(le::Get32(file, 14), f.biSize) << f.file;
        ASSERT_EQ(le::Get16(file, 28), f.bitCount) << f.file;
        ASSERT_EQ(le::Get32(file, 30), f.compression) << f.file;
        ASSERT_TRUE(StoreBitmapFile(doc, ++id, file)) << f.file;
        EXPECT_EQ(doc.bitmaps[id], Bytes(file.begin() + 14, file.end())) << f.file;
        EXPECT_EQ(14 + DibHeaderLength(doc.bitmaps[id]), le::Get32(file, 10))
            << f.file << ": bfOffBits";
        EXPECT_TRUE(DibPixelsInBounds(doc.bitmaps[id])) << f.file;
    }
    ScratchFolder scratch;
    ASSERT_TRUE(ExportAllBitmaps(doc, scratch.dir.wstring()));
    id = 0;
    for (const auto& f : files) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.bmp", ++id);
        EXPECT_EQ(ReadBytes(scratch / name), ReadBytes(fixtures / (std::string(f.file) + ".bmp")))
            << f.file;
    }
}
