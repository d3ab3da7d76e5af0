// .bmp files as ImageMagick writes them (made by imagemagick/make_fixtures.py)
// load, keep their layout and export byte for byte as they came: our files
// are valid to another program exactly when its own were.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "fileio/whole_file.h"
#include "support/test_files.h"

using namespace orvix_test;

TEST(ImageMagickFiles, LoadAndExportUnchanged) {
    const fs::path fixtures = fs::path(__FILE__).parent_path() / "imagemagick";
    // 1 to 32 bits, RLE8, top-down, V4 and V5 headers, bit-field masks: each
    // file's name says which.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fixtures)) {
        if (entry.path().extension() == ".bmp") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 16u);
    ContainerDoc doc;
    ResourceId id = 0;
    for (const auto& f : files) {
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(f.wstring(), file)) << f;
        ASSERT_TRUE(StoreBitmapFile(doc, ++id, file)) << f;
        EXPECT_EQ(doc.bitmaps[id], Bytes(file.begin() + 14, file.end())) << f;
        EXPECT_EQ(14 + DibHeaderLength(doc.bitmaps[id]), le::Get32(file, 10)) << f << ": bfOffBits";
        EXPECT_TRUE(DibPixelsInBounds(doc.bitmaps[id])) << f;
    }
    ScratchFolder scratch;
    ASSERT_TRUE(ExportAllBitmaps(doc, scratch.dir.wstring()));
    id = 0;
    for (const auto& f : files) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.bmp", ++id);
        EXPECT_EQ(ReadBytes(scratch / name), ReadBytes(f)) << f;
    }
}
