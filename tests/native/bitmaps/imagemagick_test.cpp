// .bmp files as ImageMagick writes them, and in the layouts other writers use
// (made by imagemagick/make_fixtures.py), load, keep their layout and export
// byte for byte as they came, but for a gap before the pixels, which is taken
// out; ImageMagick, an independent decoder, sees the same picture in each
// exported file as in the file that went in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "support/test_files.h"

using namespace orvix_test;

namespace {

// What ImageMagick says of the pixels in which a and b differ.
std::string Compared(const fs::path& a, const fs::path& b) {
    const fs::path said = a.string() + ".said";
    std::system(("compare -metric AE '" + a.string() + "' '" + b.string() + "' null: 2>'" +
                 said.string() + "'")
                    .c_str());
    const Bytes text = ReadBytes(said);
    fs::remove(said);
    return std::string(text.begin(), text.end());
}

}  // namespace

TEST(ImageMagickFiles, LoadAndExportUnchanged) {
    const fs::path fixtures = fs::path(__FILE__).parent_path() / "imagemagick";
    // 1 to 32 bits, RLE8, top-down, V4 and V5 headers, bit-field masks: each
    // file's name says which.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fixtures)) {
        if (entry.path().extension() == ".bmp") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 22u);
    ContainerDoc doc;
    ResourceId id = 0;
    for (const auto& f : files) {
        Bytes file = ReadBytes(f);
        ASSERT_TRUE(StoreBitmapFile(doc, ++id, file)) << f;
        if (f.stem() == "24bit-gap") file.erase(file.begin() + 54, file.begin() + 60);
        EXPECT_EQ(doc.bitmaps[id], Bytes(file.begin() + 14, file.end())) << f;
        EXPECT_TRUE(DibPixelsInBounds(doc.bitmaps[id])) << f;
    }
    ScratchFolder scratch;
    ASSERT_TRUE(ExportAllBitmaps(doc, scratch.dir.wstring()));
    id = 0;
    for (const auto& f : files) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.bmp", ++id);
        if (f.stem() != "24bit-gap") {
            EXPECT_EQ(ReadBytes(scratch / name), ReadBytes(f)) << f;
        }
        // ImageMagick 6 reads no alpha bit fields.
        if (f.stem() != "32bit-alphabitfields") {
            EXPECT_EQ(Compared(scratch / name, f), "0") << f;
        }
    }
}
