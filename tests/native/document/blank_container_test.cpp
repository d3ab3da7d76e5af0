// The blank image against a golden one composed here from the published
// layout, field by field at absolute file offsets.
#include <gtest/gtest.h>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "support/test_files.h"

using namespace orvix_test;

namespace {

// {offset in PE32, in PE32+, width, value in PE32, in PE32+}, the rest zero:
// the DOS header, the signature and COFF header; the optional header's magic,
// linker version, ImageBase, alignments, versions, sizes, subsystem and
// NumberOfRvaAndSizes; the section header of an empty ".text".
struct Field {
    std::size_t at32, at64, width;
    std::uint64_t v32, v64;
};
constexpr Field kGolden[] = {
    {0x00, 0x00, 2, 0x5A4D, 0x5A4D},
    {0x02, 0x02, 2, 0x90, 0x90},
    {0x04, 0x04, 2, 3, 3},
    {0x08, 0x08, 2, 4, 4},
    {0x3C, 0x3C, 4, 0x80, 0x80},
    {0x80, 0x80, 4, 0x4550, 0x4550},
    {0x84, 0x84, 2, 0x014C, 0x8664},
    {0x86, 0x86, 2, 1, 1},
    {0x94, 0x94, 2, 0xE0, 0xF0},
    {0x96, 0x96, 2, 0x210E, 0x2022},
    {0x98, 0x98, 2, 0x010B, 0x020B},
    {0x9A, 0x9A, 1, 14, 14},
    {0xB4, 0xB0, 4, 0x10000000, 0x140000000},
    {0xB8, 0xB8, 4, 0x1000, 0x1000},
    {0xBC, 0xBC, 4, 0x200, 0x200},
    {0xC0, 0xC0, 2, 6, 6},
    {0xC8, 0xC8, 2, 6, 6},
    {0xD0, 0xD0, 4, 0x1000, 0x1000},
    {0xD4, 0xD4, 4, 0x200, 0x200},
    {0xDC, 0xDC, 2, 2, 2},
    {0xF4, 0x104, 4, 16, 16},
    {0x178, 0x188, 5, 0x747865742E, 0x747865742E},
    {0x184, 0x194, 4, 0x1000, 0x1000},
    {0x19C, 0x1AC, 4, 0x60000020, 0x60000020},
};

Bytes GoldenBlank(bool is64) {
    Bytes b(512, 0);
    for (const Field& f : kGolden)
        le::Put(b, is64 ? f.at64 : f.at32, is64 && f.width == 4 && f.v64 > 0xFFFFFFFF ? 8 : f.width,
                is64 ? f.v64 : f.v32);
    return b;
}

}  // namespace

TEST(BlankContainer, BothVariantsMatchTheGoldenImageAndLoadEmpty) {
    ScratchFolder scratch;
    for (bool is64 : {false, true}) {
        const auto made = pe::MakeBlankImage(is64);
        const Bytes golden = GoldenBlank(is64);
        for (std::size_t i = 0; i < 512; ++i) {
            ASSERT_EQ(made[i], golden[i])
                << (is64 ? "PE32+" : "PE32") << " differs at offset 0x" << std::hex << i;
        }
        // The file written is the image, replacing whatever was there.
        const auto path = scratch / "new.obk";
        WriteBytes(path, Bytes(5000, 0xEE));
        ASSERT_TRUE(WriteBlankContainer(path.wstring(), is64));
        EXPECT_EQ(ReadBytes(path), golden);
        EXPECT_EQ(scratch.EntryCount(), 1u) << "a temporary file was left";
        ContainerDoc doc;
        doc.dirty = true;
        ASSERT_TRUE(LoadContainer(doc, path.wstring()));
        EXPECT_TRUE(doc.loaded);
        EXPECT_FALSE(doc.dirty);
        EXPECT_TRUE(doc.bitmaps.empty());
    }
    EXPECT_FALSE(WriteBlankContainer((scratch / "missing" / "a.obk").wstring(), false));
    EXPECT_EQ(scratch.EntryCount(), 1u);
}
