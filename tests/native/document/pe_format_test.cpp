// Header parsing, RVA mapping and the checksum on hand-made images,
// including every way the headers can be cut short.
#include <gtest/gtest.h>

#include <random>

#include "document/pe_format.h"
#include "support/pe_images.h"

using namespace orvix_test;

namespace {

Layout TwoSections(bool is64) {
    Layout l;
    l.is64 = is64;
    l.sections = {{".text", 0x1000, 0x180, 0x400, 0x200}, {".data", 0x2000, 0x10, 0x600, 0x200}};
    return l;
}

}  // namespace

// Both formats are read; what is not a PE image or is cut short is refused,
// and of one that is, the data directories are limited by their count and by
// SizeOfOptionalHeader.
TEST(PeHeaders, ReadsBothFormatsAndRefusesWhatIsNotAPeImageOrIsCutShort) {
    pe::ImageHeaders h;
    EXPECT_FALSE(pe::ParseImageHeaders(Bytes{}, h)) << "an empty file";
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        const Layout l = TwoSections(is64);
        ASSERT_TRUE(pe::ParseImageHeaders(BuildImage(l), h));
        EXPECT_EQ(h.is64, is64);
        EXPECT_EQ(h.DirectoriesOffset(), l.Dirs());
        ASSERT_EQ(h.sections.size(), 2u);
        const auto fixed = static_cast<std::uint32_t>(l.Dirs() - l.kOpt);
        const std::size_t count = l.Dirs() - 4;  // NumberOfRvaAndSizes
        const struct {
            const char* what;
            std::size_t at, width;
            std::uint32_t value;
            int directories;  // -1: refused
        } damages[] = {
            {"nothing", 0, 0, 0, 16},
            {"no MZ", 0x00, 2, 0x5A4E, -1},
            {"e_lfanew past the end", 0x3C, 4, 0x10000, -1},
            {"e_lfanew near 4 GiB", 0x3C, 4, 0xFFFFFFFE, -1},
            {"no PE signature", 0x80, 4, 0x00004551, -1},
            {"unknown optional header magic", 0x98, 2, 0x107, -1},
            {"SizeOfOptionalHeader below the fixed part", l.kCoff + 16, 2, fixed - 1, -1},
            {"section table past the end", l.kCoff + 2, 2, 0xFFFF, -1},
            {"NumberOfRvaAndSizes 2", count, 4, 2, 2},
            {"NumberOfRvaAndSizes 2^32 - 1", count, 4, 0xFFFFFFFF, 16},
            {"SizeOfOptionalHeader for 3", l.kCoff + 16, 2, fixed + 3 * 8, 3},
            {"SizeOfOptionalHeader for 3 and 7 bytes", l.kCoff + 16, 2, fixed + 3 * 8 + 7, 3},
        };
        for (const auto& d : damages) {
            Bytes b = BuildImage(l);
            le::Put(b, d.at, d.width, d.value);
            ASSERT_EQ(pe::ParseImageHeaders(b, h), d.directories >= 0) << d.what;
            if (d.directories >= 0) {
                EXPECT_EQ(h.directoryCount, static_cast<std::uint32_t>(d.directories)) << d.what;
            }
        }
        // Each length parses exactly when it holds what the headers claim.
        const struct {
            const char* where;
            std::uint16_t sections;
            std::size_t length;
        } cuts[] = {
            {"the DOS header", 2, 0x40},
            {"the PE signature", 2, 0x84},
            {"the COFF header", 2, 0x98},
            {"the optional header's fixed part", 0, l.Dirs()},
            {"SizeOfOptionalHeader, no sections", 0, l.SectionHeader(0)},
            {"the section table", 2, l.SectionHeader(2)},
        };
        for (const auto& c : cuts) {
            for (std::size_t length : {c.length, c.length - 1}) {
                Bytes cut = BuildImage(l);
                le::Put16(cut, l.kCoff + 2, c.sections);
                cut.resize(length);
                const bool fits = length == c.length && c.length >= l.SectionHeader(0);
                EXPECT_EQ(pe::ParseImageHeaders(cut, h), fits)
                    << "cut at 0x" << std::hex << length << ", the end of " << c.where;
            }
        }
    }
}

TEST(PeHeaders, RvaMapsThroughRawDataOfTheFirstSectionHoldingIt) {
    // A third section whose VirtualAddress + SizeOfRawData passes 4 GiB.
    const Layout l = TwoSections(true);
    Bytes b = BuildImage(l);
    le::Put16(b, l.kCoff + 2, 3);
    le::Put32(b, l.SectionHeader(2) + 0x0C, 0xFFFFF000);
    le::Put32(b, l.SectionHeader(2) + 0x10, 0xFFFFF000);
    le::Put32(b, l.SectionHeader(2) + 0x14, 0x800);
    pe::ImageHeaders h;
    ASSERT_TRUE(pe::ParseImageHeaders(b, h));
    const struct {
        std::uint32_t rva;
        bool allowHeaders;
        std::int64_t offset;  // -1: not mapped
    } cases[] = {
        {0x1000, false, 0x400}, {0x11FF, false, 0x5FF},
        {0x1200, false, -1},  // past SizeOfRawData, although in the page
        {0x2000, false, 0x600}, {0x0FFF, false, -1},
        {0x03FF, true, 0x3FF},  // below SizeOfHeaders
        {0x0400, true, -1},     {0xFFFFFFFF, false, 0x800 + 0xFFF},
    };
    for (const auto& c : cases) {
        std::uint64_t offset = 0;
        const bool maps = pe::RvaToFileOffset(h, c.rva, c.allowHeaders, offset);
        EXPECT_EQ(maps ? static_cast<std::int64_t>(offset) : -1, c.offset)
            << "rva 0x" << std::hex << c.rva;
    }
}

TEST(PeChecksum, AgreesWithTheWordByWordDefinitionInAnyPieces) {
    std::mt19937 rng(7);
    std::vector<Bytes> buffers = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00},  // words summing to 0x1FFFF: two carry folds
    };
    for (std::size_t size : {0u, 1u, 2u, 3u, 0x43u, 0x44u, 0x45u, 4097u, 100001u}) {
        buffers.emplace_back(size);
        for (auto& x : buffers.back())
            x = static_cast<std::uint8_t>(rng());
    }
    EXPECT_EQ(ReferenceChecksum(buffers[0], 0x40), 1u + 6u);
    for (const Bytes& b : buffers) {
        const std::size_t field = 0x40;  // may lie past the end: then it is not in the data
        const std::uint32_t expected = ReferenceChecksum(b, field);
        EXPECT_EQ(pe::ComputeImageChecksum(b, field), expected) << "size " << b.size();
        pe::ImageChecksum pieces;  // split at random points, odd ones included
        pieces.checkSumFieldOffset = field;
        for (std::size_t at = 0, n = 0; at < b.size(); at += n) {
            n = std::min<std::size_t>(b.size() - at, rng() % 7);
            pieces.Add(std::span<const std::uint8_t>(b).subspan(at, n));
        }
        EXPECT_EQ(pieces.Finish(), expected) << "size " << b.size() << " in pieces";
    }
}
