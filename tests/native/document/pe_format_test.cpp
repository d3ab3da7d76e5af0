// Header parsing, RVA mapping and the checksum on hand-made images,
// including every way the headers can be cut short.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "document/pe_format.h"
#include "pe_test_support.h"

using namespace testpe;

namespace {

Layout TwoSections(bool is64) {
    Layout l;
    l.is64 = is64;
    l.sections = {{".text", 0x1000, 0x180, 0x400, 0x200}, {".data", 0x2000, 0x10, 0x600, 0x200}};
    return l;
}

}  // namespace

TEST(PeHeaders, ReadsBothFormats) {
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        Layout l = TwoSections(is64);
        Bytes b = BuildImage(l);
        SetDirectory(b, l, 2, 0x2000, 0x10);
        pe::ImageHeaders h;
        ASSERT_TRUE(pe::ParseImageHeaders(b, h));
        EXPECT_EQ(h.is64, is64);
        EXPECT_EQ(h.sectionTableOffset, l.SectionTable());
        EXPECT_EQ(h.DirectoriesOffset(), l.Dirs());
        EXPECT_EQ(h.fileAlignment, 0x200u);
        EXPECT_EQ(h.sectionAlignment, 0x1000u);
        EXPECT_EQ(h.sizeOfHeaders, 0x400u);
        EXPECT_EQ(h.directoryCount, 16u);
        EXPECT_EQ(h.directories[2].address, 0x2000u);
        ASSERT_EQ(h.sections.size(), 2u);
        EXPECT_EQ(h.sections[1].pointerToRawData, 0x600u);
    }
}

TEST(PeHeaders, RefusesCutShortHeadersAndAcceptsExactFit) {
    for (bool is64 : {false, true}) {
        const Layout l = TwoSections(is64);
        const std::size_t fixedEnd = l.Opt() + (is64 ? 0x70 : 0x60);
        struct Cut {
            const char* where;
            std::uint16_t sections;
            std::size_t length;
            bool parses;
        };
        const Cut cuts[] = {
            {"inside the DOS header", 2, 0x3F, false},
            {"inside the PE signature", 2, 0x83, false},
            {"inside the COFF header", 2, 0x97, false},
            {"inside the optional header's fixed part", 0, fixedEnd - 1, false},
            {"before the end of SizeOfOptionalHeader", 0, l.SectionTable() - 1, false},
            {"at the end of SizeOfOptionalHeader, no sections", 0, l.SectionTable(), true},
            {"one byte into the last section header", 2, l.SectionHeader(2) - 1, false},
            {"at the end of the section table", 2, l.SectionHeader(2), true},
        };
        for (const Cut& c : cuts) {
            Bytes b = BuildImage(l);
            Put16(b, l.Coff() + 2, c.sections);
            b.resize(c.length);
            pe::ImageHeaders h;
            EXPECT_EQ(pe::ParseImageHeaders(b, h), c.parses)
                << (is64 ? "PE32+, cut " : "PE32, cut ") << c.where << " (length 0x" << std::hex
                << c.length << ")";
        }
    }
}

TEST(PeHeaders, RefusesWhatIsNotAPeImage) {
    const Bytes good = BuildImage(TwoSections(true));
    struct Damage {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        int width;
    };
    const Damage damages[] = {
        {"no MZ", 0x00, 0x5A4E, 2},
        {"e_lfanew past the end", 0x3C, 0x10000, 4},
        {"e_lfanew near 4 GiB", 0x3C, 0xFFFFFFFE, 4},
        {"no PE signature", 0x80, 0x00004551, 4},
        {"unknown optional header magic", 0x98, 0x107, 2},
        {"SizeOfOptionalHeader below the fixed part", 0x84 + 16, 0x6F, 2},
        {"section table past the end", 0x84 + 2, 0xFFFF, 2},
    };
    for (const Damage& d : damages) {
        Bytes b = good;
        if (d.width == 2) {
            Put16(b, d.at, static_cast<std::uint16_t>(d.value));
        } else {
            Put32(b, d.at, d.value);
        }
        pe::ImageHeaders h;
        EXPECT_FALSE(pe::ParseImageHeaders(b, h)) << d.what;
    }
    pe::ImageHeaders h;
    EXPECT_FALSE(pe::ParseImageHeaders(Bytes{}, h));
    const std::string text = "This is a text file, not an image.\n";
    EXPECT_FALSE(pe::ParseImageHeaders(Bytes(text.begin(), text.end()), h));
}

TEST(PeHeaders, DataDirectoriesLimitedByCountAndHeaderSize) {
    struct Case {
        std::uint32_t numberOfRvaAndSizes;
        std::uint16_t optionalSize;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {16, 240, 16},
        {2, 240, 2},
        {0xFFFFFFFF, 240, 16},
        {16, 0x70 + 3 * 8, 3},
        {16, 0x70 + 3 * 8 + 7, 3},
    };
    for (const Case& c : cases) {
        Layout l = TwoSections(true);
        l.numberOfRvaAndSizes = c.numberOfRvaAndSizes;
        Bytes b = BuildImage(l);
        Put16(b, l.Coff() + 16, c.optionalSize);
        pe::ImageHeaders h;
        // A smaller optional header moves the section table; it only has to parse.
        ASSERT_TRUE(pe::ParseImageHeaders(b, h));
        EXPECT_EQ(h.directoryCount, c.expected) << "NumberOfRvaAndSizes " << c.numberOfRvaAndSizes
                                                << ", SizeOfOptionalHeader " << c.optionalSize;
    }
}

TEST(PeHeaders, RvaMapsThroughRawDataOfTheFirstSectionHoldingIt) {
    // A third section whose VirtualAddress + SizeOfRawData passes 4 GiB,
    // written by hand: BuildImage would allocate its raw size.
    const Layout l = TwoSections(true);
    Bytes b = BuildImage(l);
    Put16(b, l.Coff() + 2, 3);
    const std::size_t h3 = l.SectionHeader(2);
    Put32(b, h3 + 0x0C, 0xFFFFF000);
    Put32(b, h3 + 0x10, 0xFFFFF000);
    Put32(b, h3 + 0x14, 0x800);
    pe::ImageHeaders h;
    ASSERT_TRUE(pe::ParseImageHeaders(b, h));

    struct Case {
        std::uint32_t rva;
        bool allowHeaders;
        bool maps;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {0x1000, false, true, 0x400}, {0x11FF, false, true, 0x5FF},
        {0x1200, false, false, 0},  // past SizeOfRawData, although in the page
        {0x2000, false, true, 0x600}, {0x0FFF, false, false, 0},
        {0x03FF, true, true, 0x3FF},  // below SizeOfHeaders
        {0x0400, true, false, 0},     {0xFFFFFFFF, false, true, 0x800 + 0xFFF},
    };
    for (const Case& c : cases) {
        std::uint64_t offset = 0;
        EXPECT_EQ(pe::RvaToFileOffset(h, c.rva, c.allowHeaders, offset), c.maps)
            << "rva 0x" << std::hex << c.rva;
        if (c.maps) {
            EXPECT_EQ(offset, c.offset) << "rva 0x" << std::hex << c.rva;
        }
    }
}

TEST(PeChecksum, AgreesWithTheWordByWordDefinitionInAnyPieces) {
    std::mt19937 rng(7);
    for (std::size_t size : {0u, 1u, 2u, 3u, 0x43u, 0x44u, 0x45u, 4097u, 100001u}) {
        Bytes b(size);
        for (auto& x : b)
            x = static_cast<std::uint8_t>(rng());
        const std::size_t field = 0x40;  // may lie past the end: then it is not in the data
        const std::uint32_t expected = ReferenceChecksum(b, field);
        EXPECT_EQ(pe::ComputeImageChecksum(b, field), expected) << "size " << size;

        // Split at random points, odd ones included.
        pe::ImageChecksum pieces;
        pieces.checkSumFieldOffset = field;
        std::size_t at = 0;
        while (at < size) {
            std::size_t n = std::min<std::size_t>(size - at, rng() % 7);
            pieces.Add(std::span<const std::uint8_t>(b).subspan(at, n));
            at += n;
        }
        EXPECT_EQ(pieces.Finish(), expected) << "size " << size << " in pieces";
    }
}

TEST(PeChecksum, MatchesTheLinkersValue) {
    // A DLL made by the mingw-w64 linker, which fills in CheckSum.
    const auto dll = std::filesystem::path(__FILE__).parent_path() /
                     "../../fuzz/corpus/fuzz_container_load/mingw_mixed.dll";
    const Bytes b = Slurp(dll);
    if (b.empty()) GTEST_SKIP() << "missing " << dll;
    pe::ImageHeaders h;
    ASSERT_TRUE(pe::ParseImageHeaders(b, h));
    ASSERT_NE(h.checkSum, 0u);
    EXPECT_EQ(pe::ComputeImageChecksum(b, h.optionalOffset + pe::kOptCheckSum), h.checkSum);
}
