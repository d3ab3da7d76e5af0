// The blank image against a golden one composed here from the published
// layout, field by field at absolute file offsets.
#include <gtest/gtest.h>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "support/test_files.h"

using namespace orvix_test;
using le::Put16;
using le::Put32;

namespace {

Bytes GoldenBlank(bool is64) {
    Bytes b(512, 0);
    // DOS header
    Put16(b, 0x000, 0x5A4D);
    Put16(b, 0x002, 0x0090);
    Put16(b, 0x004, 3);
    Put16(b, 0x008, 4);
    Put32(b, 0x03C, 0x80);
    // signature and COFF header
    b[0x080] = 'P';
    b[0x081] = 'E';
    Put16(b, 0x084, is64 ? 0x8664 : 0x014C);
    Put16(b, 0x086, 1);
    Put16(b, 0x094, is64 ? 0x00F0 : 0x00E0);
    Put16(b, 0x096, is64 ? 0x2022 : 0x210E);
    // optional header
    Put16(b, 0x098, is64 ? 0x020B : 0x010B);
    b[0x09A] = 14;
    if (is64) {
        Put32(b, 0x0B0, 0x40000000);  // ImageBase 0x140000000, low half
        Put32(b, 0x0B4, 0x00000001);  // and high half
    } else {
        Put32(b, 0x0B4, 0x10000000);
    }
    Put32(b, 0x0B8, 0x1000);
    Put32(b, 0x0BC, 0x200);
    Put16(b, 0x0C0, 6);
    Put16(b, 0x0C8, 6);
    Put32(b, 0x0D0, 0x1000);
    Put32(b, 0x0D4, 0x200);
    Put16(b, 0x0DC, 2);
    Put32(b, is64 ? 0x104 : 0x0F4, 16);
    // section header
    const std::size_t s = is64 ? 0x188 : 0x178;
    const char name[] = ".text";
    for (std::size_t i = 0; i < 5; ++i)
        b[s + i] = static_cast<std::uint8_t>(name[i]);
    Put32(b, s + 0x0C, 0x1000);
    Put32(b, s + 0x24, 0x60000020);
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
    EXPECT_FALSE(WriteBlankContainer(scratch.dir.wstring(), false)) << "a folder is no file";
    EXPECT_EQ(scratch.EntryCount(), 1u);
}
