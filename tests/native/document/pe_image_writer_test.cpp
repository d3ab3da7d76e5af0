// Where a save puts the new resource table and which bytes it may change,
// checked on hand-made images whose every section byte is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>

#include "document/blank_container.h"
#include "document/pe_image_writer.h"
#include "document/pe_resource_reader.h"
#include "support/pe_images.h"

using namespace orvix_test;
using le::Get16;
using le::Get32;

namespace {

const BitmapStore kStore = {{1, Payload(100, 1)}, {2, Payload(3, 2)}, {40000, Payload(777, 4)}};

Bytes Save(const Bytes& image, const BitmapStore& store = kStore) {
    Bytes out;
    EXPECT_TRUE(pe::BuildImageWithBitmaps(image, store, out));
    return out;
}

BitmapStore Read(const Bytes& image) {
    BitmapStore s;
    EXPECT_TRUE(pe::ReadBitmapResources(image, s));
    return s;
}

// Below end, a save changes only these fields of the headers of an image laid
// out as l, and its section table, one header longer.
void ExpectOnlyPatchableBytesChanged(const Bytes& before, const Bytes& after, const Layout& l,
                                     std::size_t end) {
    const std::pair<std::size_t, std::size_t> fields[] = {
        {l.kCoff + 2, 2},    // NumberOfSections
        {l.kCoff + 8, 4},    // PointerToSymbolTable
        {l.kOpt + 0x08, 4},  // SizeOfInitializedData
        {l.kOpt + 0x38, 4},  // SizeOfImage
        {l.kOpt + 0x40, 4},  // CheckSum
        {l.Dirs() + 16, 8},  // resource directory
        {l.Dirs() + 32, 8},  // security directory
        {l.SectionHeader(0), 40 * (l.sections.size() + 1)},
    };
    for (std::size_t i = 0; i < end; ++i) {
        if (std::none_of(std::begin(fields), std::end(fields),
                         [i](const auto& f) { return i - f.first < f.second; })) {
            ASSERT_EQ(after[i], before[i]) << "byte 0x" << std::hex << i;
        }
    }
}

// A DLL-like image whose resource section is followed by a relocation
// section, so a save cannot reuse it.
Layout RelocAfterRsrc() {
    Layout l;
    l.sections = {{".text", 0x1000, 0x150, 0x400, 0x200, 0x60000020},
                  {".rsrc", 0x2000, 0x300, 0x600, 0x400},
                  {".reloc", 0x3000, 0x0C, 0xA00, 0x200, 0x42000040}};
    return l;
}

}  // namespace

TEST(ImageWriter, SavesIntoABlankImageAddThenReuseTheLastSection) {
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        const auto blankArray = pe::MakeBlankImage(is64);
        const Bytes blank(blankArray.begin(), blankArray.end());
        Layout l;
        l.is64 = is64;
        l.sections.resize(1);
        const std::size_t h = l.SectionHeader(1);
        BitmapStore big = kStore;
        for (int id = 100; id < 200; ++id)
            big[id] = Payload(500, id);
        // Tables of 40 + 48 per bitmap, then each payload padded to 8; the
        // section's data rounded up to FileAlignment.
        const struct {
            const char* what;
            BitmapStore store;
            std::uint32_t dataSize, rawSize, sizeOfImage;
        } saves[] = {
            {"first save", kStore, 40 + 48 * 3 + 104 + 8 + 784, 0x600, 0x2000},
            {"grown", big, 40 + 48 * 103 + 104 + 8 + 784 + 100 * 504, 0xDC00, 0xF000},
            {"shrunk", {{9, Payload(5, 9)}}, 40 + 48 + 8, 0x200, 0x2000},
        };
        Bytes image = blank;
        for (const auto& s : saves) {
            image = Save(image, s.store);
            EXPECT_EQ(Read(image), s.store) << s.what;
            EXPECT_EQ(Get16(image, l.kCoff + 2), 2) << s.what << ": one resource section";
            EXPECT_EQ(std::string(image.begin() + h, image.begin() + h + 8),
                      std::string(".rsrc\0\0\0", 8));
            const std::tuple<const char*, std::size_t, std::uint32_t> fields[] = {
                {"VirtualSize", h + 0x08, s.dataSize},
                {"VirtualAddress", h + 0x0C, 0x1000},
                {"SizeOfRawData", h + 0x10, s.rawSize},
                {"PointerToRawData", h + 0x14, 0x200},
                {"Characteristics", h + 0x24, 0x40000040},
                {"SizeOfImage", l.kOpt + 0x38, s.sizeOfImage},
                {"SizeOfInitializedData", l.kOpt + 0x08, s.rawSize},
                {"CheckSum, zero before", l.kOpt + 0x40, 0},
                {"resource directory", l.Dirs() + 16, 0x1000},
                {"its size", l.Dirs() + 20, s.dataSize},
            };
            for (const auto& [name, at, value] : fields)
                EXPECT_EQ(Get32(image, at), value) << s.what << ": " << name;
            EXPECT_EQ(image.size(), 0x200u + s.rawSize) << s.what;
            ExpectOnlyPatchableBytesChanged(blank, image, l, 512);
        }
    }
}

// What a save refuses before a byte reaches its sink, and the room a new
// section header needs: the table of three ends at 0x188 + 120 = 0x200, and
// the new one needs 40 more bytes within SizeOfHeaders, before any section's
// data and free of other data, each row of which fits exactly or fails one
// byte short. At the loader's limit of 96 sections there is no adding a 97th.
TEST(ImageWriter, RefusesImagesItCannotCarryOverOrFindRoomIn) {
    Layout l = RelocAfterRsrc();
    l.fileAlignment = 1;  // lets a section's data start at any byte
    const struct {
        const char* what;
        std::size_t at, width;
        std::uint32_t value;
        bool saves;
    } cases[] = {
        {"nothing", 0, 0, 0, true},
        {"no slot for data directory 2", l.kOpt + 0x6C, 4, 2, false},
        {"section data past the end of the file", l.SectionHeader(2) + 0x10, 4, 0x400, false},
        {"FileAlignment not a power of two", l.kOpt + 0x24, 4, 0x300, false},
        {"SectionAlignment below FileAlignment", l.kOpt + 0x24, 4, 0x2000, false},
        {"SizeOfHeaders past the end of the file", l.kOpt + 0x3C, 4, 0x10000000, false},
        {"not a PE image", 0, 1, 'X', false},
        {"SizeOfHeaders ending with the new header", l.kOpt + 0x3C, 4, 0x228, true},
        {"SizeOfHeaders a byte short of it", l.kOpt + 0x3C, 4, 0x227, false},
        {"the first section's data right after it", l.SectionHeader(0) + 0x14, 4, 0x228, true},
        {"the first section's data on its last byte", l.SectionHeader(0) + 0x14, 4, 0x227, false},
        {"a byte used right after its slot", 0x228, 1, 1, true},
        {"a byte used in its slot", 0x227, 1, 1, false},
    };
    for (const auto& c : cases) {
        Bytes image = BuildImage(l), out;
        SetDirectory(image, l, 2, 0x2000, 0x300);
        le::Put(image, c.at, c.width, c.value);
        EXPECT_EQ(pe::WriteImageWithBitmaps(image, kStore,
                                            [&out](std::span<const std::uint8_t> bytes) {
                                                out.insert(out.end(), bytes.begin(), bytes.end());
                                                return true;
                                            }),
                  c.saves)
            << c.what;
        if (c.saves) {
            EXPECT_EQ(Read(out), kStore) << c.what;
        } else {
            EXPECT_TRUE(out.empty()) << c.what << ": bytes reached the sink";
        }
    }
    Layout many;
    many.sizeOfHeaders = 0x1200;
    for (std::uint32_t i = 0; i < 96; ++i)
        many.sections.push_back({".d", 0x1000 * (i + 1), 0x10, 0x1200 + 0x200 * i, 0x200});
    Bytes out;
    EXPECT_FALSE(pe::BuildImageWithBitmaps(BuildImage(many), kStore, out)) << "96 sections";
    many.sections.pop_back();
    EXPECT_TRUE(pe::BuildImageWithBitmaps(BuildImage(many), kStore, out)) << "95 sections";
}

TEST(ImageWriter, ResourceSectionNotLastGetsANewOneAndDataAfterTheLastFollows) {
    // An unstripped, signed-looking DLL: 4 bytes of COFF symbols at 0xBFC,
    // where the last section's data ends, and a certificate table at the
    // 8-aligned 0xC00; a checksum, which a save recomputes.
    Layout l = RelocAfterRsrc();
    l.sections[2].sizeOfRawData = 0x1FC;
    l.fileSize = 0xC58;
    l.checkSum = 0x1234;
    Bytes image = BuildImage(l);
    SetDirectory(image, l, 2, 0x2000, 0x300);
    SetDirectory(image, l, 5, 0x3000, 0x0C);
    for (std::size_t i = 0xBFC; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    le::Put32(image, l.kCoff + 8, 0xBFC);    // PointerToSymbolTable
    SetDirectory(image, l, 4, 0xC00, 0x58);  // certificate table: a file offset
    // Into a new section after .reloc (0xC00 + 0x400), then again into that
    // last section, which moves them back down; 8-aligned each time.
    const struct {
        BitmapStore store;
        std::uint32_t symbols;
    } saves[] = {{{{1, Payload(0x1F3, 1)}}, 0x1004}, {{{2, Payload(8, 2)}}, 0xE04}};
    Bytes out = image;
    for (const auto& s : saves) {
        out = Save(out, s.store);
        EXPECT_EQ(Read(out), s.store);
        EXPECT_EQ(Get32(out, l.kCoff + 8), s.symbols);
        EXPECT_EQ(Get32(out, l.Dirs() + 32), s.symbols + 4);
        EXPECT_EQ(Get32(out, l.Dirs() + 36), 0x58u);
        ASSERT_EQ(out.size(), s.symbols + 0x5Cu);
        EXPECT_TRUE(std::equal(image.begin() + 0xBFC, image.end(), out.begin() + s.symbols));
        EXPECT_EQ(Get32(out, l.kOpt + 0x40), ReferenceChecksum(out, l.kOpt + 0x40));
    }
    EXPECT_EQ(Get16(out, l.kCoff + 2), 4);
    EXPECT_EQ(Get32(out, l.SectionHeader(3) + 0x0C), 0x4000u) << "after .reloc in memory";
    EXPECT_EQ(Get32(out, l.SectionHeader(3) + 0x14), 0xC00u) << "after .reloc in the file";
    EXPECT_EQ(Get32(out, l.Dirs() + 16), 0x4000u);
    EXPECT_EQ(Get32(out, l.Dirs() + 40), 0x3000u) << "relocations untouched";
    ExpectOnlyPatchableBytesChanged(image, out, l, 0xBFC);
}

// A loaded container's bitmaps are views of its image, and a save copies the
// runs of them that lie there as they will in the new image straight from
// it: the result must be the image the same bitmaps as bytes of their own
// make, whatever the old image held in the padding between them, with a
// checksum to recompute or not, and with a bitmap larger than a copy's buffer.
TEST(ImageWriter, ViewsOfTheOldImageSaveAsTheirBytesWould) {
    const auto blankArray = pe::MakeBlankImage(true);
    Layout l;
    l.is64 = true;
    BitmapStore old = {{0, Payload(40, 0)}, {3, Payload(41, 3)}, {4, Payload(300001, 4)},
                       {7, Payload(43, 7)}, {9, Payload(48, 9)}, {12, Payload(45, 12)}};
    const Bytes image = Save(Bytes(blankArray.begin(), blankArray.end()), old);
    const struct {
        const char* what;
        std::function<void(BitmapStore&)> edit;
    } edits[] = {
        {"untouched", [](BitmapStore&) {}},
        {"one replaced", [](BitmapStore& s) { s[7] = Payload(9, 70); }},
        {"the first removed", [](BitmapStore& s) { s.erase(0); }},
        {"one moved behind the rest", [](BitmapStore& s) { s[500] = s[3], s.erase(3); }},
        {"the large one moved first", [](BitmapStore& s) { s[1] = s[4], s.erase(4); }},
        {"one added between", [](BitmapStore& s) { s[8] = Payload(3, 8); }},
    };
    for (const bool checksum : {false, true}) {
        auto file = std::make_shared<Bytes>(image);
        std::vector<pe::BitmapLocation> where;
        ASSERT_TRUE(pe::LocateBitmapResources(pe::SpanSource(*file), where));
        for (const pe::BitmapLocation& w : where)  // not the zeros this writer pads with
            std::fill_n(file->begin() + static_cast<std::ptrdiff_t>(w.offset + w.size),
                        (8 - w.size % 8) % 8, std::uint8_t{0xEE});
        if (checksum) le::Put32(*file, l.kOpt + 0x40, 0x5555);
        for (const auto& e : edits) {
            BitmapStore views, owned;
            ASSERT_TRUE(pe::ViewBitmapResources(file, views));
            e.edit(views);
            for (const auto& [id, payload] : views)
                owned[id] = payload.ToBytes();
            Bytes expected, actual;
            ASSERT_TRUE(pe::BuildImageWithBitmaps(*file, owned, expected));
            ASSERT_TRUE(pe::WriteImageWithBitmaps(
                pe::SpanSource(*file), views, [&actual](std::span<const std::uint8_t> b) {
                    actual.insert(actual.end(), b.begin(), b.end());
                    return true;
                }));
            EXPECT_EQ(actual, expected) << e.what << (checksum ? ", with a checksum" : "");
        }
    }
}
