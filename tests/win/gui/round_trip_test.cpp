// A folder of bitmaps of every kind through New, Change ID, Delete, Save,
// Open and Export All: what comes out must be the files that went in.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "gui_test.h"
#include "resources/resource_ids.h"

namespace {

using Files = std::map<std::wstring, std::vector<std::uint8_t>>;

std::wstring NumberedName(ResourceId id) {
    return std::to_wstring(100000 + id).substr(1) + L".bmp";
}

std::vector<std::uint32_t> Colours(std::uint32_t count, int n) {
    std::vector<std::uint32_t> table(count);
    for (std::uint32_t i = 0; i < count; ++i)
        table[i] = (i * 0x10307u + static_cast<std::uint32_t>(n)) & 0xFFFFFF;
    return table;
}

// A .bmp file exactly as the export writes one back, so that any byte the
// round trip changes shows. The kind cycles through 1, 4, 8, 16, 24 and 32
// bits, 16 and 32-bit masks, RLE8 with a short palette, a top-down image and
// a V4 header whose masks lie inside it.
std::vector<std::uint8_t> CanonicalBitmap(int n) {
    const std::vector<std::uint32_t> masks16 = {0xF800, 0x07E0, 0x001F};
    const std::vector<std::uint32_t> masks32 = {0xFF0000, 0xFF00, 0xFF};
    const Dib kinds[] = {
        {.bitCount = 1, .table = Colours(2, n)},
        {.bitCount = 4, .table = Colours(16, n)},
        {.bitCount = 8, .table = Colours(256, n)},
        {.bitCount = 16},
        {},
        {.bitCount = 32},
        {.bitCount = 16, .compression = BI_BITFIELDS, .table = masks16},
        {.bitCount = 32, .compression = BI_BITFIELDS, .table = masks32},
        {.bitCount = 8, .compression = BI_RLE8, .table = Colours(16, n), .clrUsed = 16},
        {.height = -1},
        {.bitCount = 32, .compression = BI_BITFIELDS, .headerSize = 108, .headerMasks = masks32},
    };
    Dib d = kinds[n % 11];
    d.width = 1 + n % 13;
    d.height *= 1 + n % 5;
    // Pixel values within what the colour table or the bit count allows.
    const std::uint32_t values = d.bitCount <= 8 ? std::max<std::uint32_t>(2, d.clrUsed) : 1 << 15;
    d.top = static_cast<std::uint32_t>(n) * 40503u % values;
    d.bottom = static_cast<std::uint32_t>(n) * 2654435761u % values;
    return BmpFile(d);
}

Files FilesIn(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().wstring()] = orvix_test::ReadBytes(entry.path());
    return files;
}

}  // namespace

TEST_F(MainWindowTest, RoundTripGivesBackTheFilesThatWentIn) {
    const auto source = scratch / "in", exported = scratch / "out";
    const std::wstring container = Path(L"trip.obk");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(exported);
    Files expected;
    for (int n = 1; n <= 200; ++n) {
        const ResourceId id = n * 311;  // names up to 62200: every digit of the five matters
        expected[NumberedName(id)] = CanonicalBitmap(n);
        orvix_test::WriteBytes(source / NumberedName(id), expected[NumberedName(id)]);
    }
    const auto selectId = [&](ResourceId id) {
        const std::vector<ResourceId> ids = ListIds();
        SelectRow(static_cast<int>(std::find(ids.begin(), ids.end(), id) - ids.begin()));
    };

    Answer({ChooseFile(L"Save As", Path(L"trip")), Press(L"Create New OBK", IDC_NEW_FROM_FOLDER),
            ChooseFile(L"Select Folder", source.wstring()), Press(L"Import Mode", IDYES)},
           CMD_NEW_CONTAINER_32);
    ASSERT_EQ(ListIds().size(), 200u) << Describe(robot);

    selectId(7 * 311);
    Answer({TypeInto(L"Resource ID", IDC_RESOURCE_ID_FIELD, L"65535")}, CMD_CTX_CHANGE_ID);
    expected[L"65535.bmp"] = expected[NumberedName(7 * 311)];
    expected.erase(NumberedName(7 * 311));

    selectId(8 * 311);
    Answer({Press(L"Confirm", IDYES)}, CMD_CTX_DELETE_BITMAP);
    expected.erase(NumberedName(8 * 311));

    Answer({}, CMD_SAVE);  // a named, saved-before file saves without a word
    EXPECT_FALSE(app().doc.dirty);
    Answer({ChooseFile(L"Open", container)}, CMD_OPEN);
    ASSERT_EQ(ListIds().size(), 199u) << Describe(robot);
    Answer({ChooseFile(L"Select Folder", exported.wstring())}, CMD_EXPORT_ALL);

    const Files written = FilesIn(exported);
    std::vector<std::wstring> differing;
    for (const auto& [name, bytes] : expected) {
        if (!written.count(name) || written.at(name) != bytes) differing.push_back(name);
    }
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(differing.empty()) << differing.size() << " files differ, the first "
                                   << Narrow(differing.empty() ? L"" : differing.front());
}
