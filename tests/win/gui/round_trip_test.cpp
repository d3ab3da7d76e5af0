// A folder of bitmaps of every kind through New, Change ID, Delete, Save,
// Open and Export All: what comes out must be the files that went in, and
// the saved file must read the same through the platform's own loader.
#include <map>

#include "gui_test.h"
#include "support/dib_files.h"
#include "support/platform_view.h"

namespace {

using Files = std::map<std::wstring, orvix_test::Bytes>;

// A .bmp file exactly as an export writes one back, so that any byte the
// round trip changes shows: 1 to 32 bits, bit-field masks after the header
// or inside a V4 header, top-down rows, sizes that need row padding.
orvix_test::Bytes CanonicalFile(int n) {
    const std::uint16_t bits[] = {1, 4, 8, 16, 24, 32, 16, 32, 24};
    const int kind = n % 9, width = 1 + n % 13, height = 1 + n % 5;
    const std::uint32_t header = kind == 7 ? 108 : 40;
    const std::uint32_t table = bits[kind] <= 8 ? 4u << bits[kind] : kind == 6 ? 12 : 0;
    const auto pixels = static_cast<std::size_t>((width * bits[kind] + 31) / 32 * 4 * height);
    orvix_test::Bytes dib = orvix_test::MakeDib(
        {header, width, kind == 8 ? -height : height, bits[kind], kind == 6 || kind == 7 ? 3u : 0u},
        header + table + pixels);
    for (std::size_t i = 40; i < dib.size(); ++i)
        dib[i] = static_cast<std::uint8_t>(i * 31 + static_cast<std::size_t>(n));
    return orvix_test::MakeBmpFile(dib, 14 + header + table);
}

std::wstring Name(ResourceId id) {
    return std::to_wstring(100000 + id).substr(1) + L".bmp";
}

}  // namespace

TEST_F(MainWindowTest, RoundTripGivesBackTheFilesThatWentIn) {
    std::filesystem::create_directories(scratch / L"in");
    std::filesystem::create_directories(scratch / L"out");
    Files expected;
    for (int n = 1; n <= 200; ++n) {
        const ResourceId id = n * 311;  // up to 62200: every one of the five digits matters
        expected[Name(id)] = CanonicalFile(n);
        orvix_test::WriteBytes(scratch / L"in" / Name(id), expected[Name(id)]);
    }
    const std::wstring container = Path(L"trip.obk");
    const auto select = [&](ResourceId id) {
        const auto ids = ListIds();
        SelectRow(static_cast<int>(std::find(ids.begin(), ids.end(), id) - ids.begin()));
    };

    Answer({ChooseFile(L"Save As", Path(L"trip")), Press(L"Create New OBK", IDC_NEW_FROM_FOLDER),
            ChooseFile(L"Select Folder", Path(L"in")), Press(L"Import Mode", IDYES)},
           CMD_NEW_CONTAINER_32);
    ASSERT_EQ(ListIds().size(), 200u);
    select(7 * 311);
    Answer({TypeId(L"65535")}, [&] { PressKeys({VK_F2}); });
    expected[L"65535.bmp"] = expected[Name(7 * 311)];
    expected.erase(Name(7 * 311));
    select(8 * 311);
    Answer({Press(L"Confirm", IDYES)}, CMD_CTX_DELETE_BITMAP);
    expected.erase(Name(8 * 311));
    Answer({}, [&] { PressKeys({VK_CONTROL, 'S'}); });  // a named file saves without a word
    EXPECT_FALSE(app().doc.dirty);
    Answer({ChooseFile(L"Open", container)}, CMD_OPEN);
    ASSERT_EQ(ListIds().size(), 199u);
    Answer({ChooseFile(L"Select Folder", Path(L"out"))}, CMD_EXPORT_ALL);

    Files written;
    for (const auto& entry : std::filesystem::directory_iterator(scratch / L"out"))
        written[entry.path().filename().wstring()] = orvix_test::ReadBytes(entry.path());
    std::vector<std::wstring> differing;
    for (const auto& [name, bytes] : expected) {
        if (!written.count(name) || written.at(name) != bytes) differing.push_back(name);
    }
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(differing.empty()) << differing.size() << " files differ, the first "
                                   << std::filesystem::path(differing.front()).string();
    EXPECT_TRUE(orvix_test::AskPlatform(container).bitmaps == app().doc.bitmaps)
        << "the platform lists the saved file differently";
}
