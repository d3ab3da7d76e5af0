// A folder of bitmaps of every kind through New, Change ID, Delete, Save,
// Open and Export All: what comes out must be the files that went in, and
// the saved file must read the same through the platform's own loader.
#include <map>

#include "gui_test.h"

namespace {

using Files = std::map<std::wstring, orvix_test::Bytes>;

// A .bmp file exactly as an export writes one back, so that any byte the
// round trip changes shows: 1 to 32 bits, bit-field masks after the header
// or inside a V4 header, top-down rows, sizes that need row padding.
orvix_test::Bytes CanonicalFile(int n) {
    const std::uint16_t bits[] = {1, 4, 8, 16, 24, 32, 16, 32, 24};
    const int kind = n % 9;
    Dib d{.width = 1 + n % 13, .height = (kind == 8 ? -1 : 1) * (1 + n % 5)};
    d.bitCount = bits[kind];
    d.top = static_cast<std::uint32_t>(n) * 0x10101u;
    d.bottom = ~d.top & 0xFFFFFFu;
    if (bits[kind] <= 8) {
        for (std::uint32_t i = 0; i < (1u << bits[kind]); ++i)
            d.table.push_back(i * 0x030507u + static_cast<std::uint32_t>(n));
        d.top &= (1u << bits[kind]) - 1;
        d.bottom &= (1u << bits[kind]) - 1;
    }
    if (kind >= 6 && kind <= 7) {
        d.compression = BI_BITFIELDS;
        const std::vector<std::uint32_t> masks =
            bits[kind] == 16 ? std::vector<std::uint32_t>{0xF800, 0x07E0, 0x001F}
                             : std::vector<std::uint32_t>{0xFF0000, 0xFF00, 0xFF};
        (kind == 7 ? d.headerMasks : d.table) = masks;
        if (kind == 7) d.headerSize = 108;
    }
    const DibPayload dib = Build(d);
    orvix_test::Bytes file = {'B', 'M'};
    Put(file, {static_cast<std::uint32_t>(14 + dib.size()), 0,
               static_cast<std::uint32_t>(14 + d.headerSize + 4 * d.table.size())});
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

// The bitmaps of a container as LoadLibraryEx, FindResource and
// LoadResource hand them to any Windows program.
BitmapStore PlatformListing(const std::wstring& path) {
    BitmapStore listed;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const auto collect = [](HMODULE m, LPCWSTR, LPWSTR name, LONG_PTR store) -> BOOL {
        HRSRC found = FindResourceW(m, name, RT_BITMAP);
        HGLOBAL loaded = found ? LoadResource(m, found) : nullptr;
        const auto* p = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        // A string name lists as 0, an ID the store never holds.
        const auto id = IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0;
        (*reinterpret_cast<BitmapStore*>(store))[static_cast<ResourceId>(id)] =
            p ? DibPayload(p, p + SizeofResource(m, found)) : DibPayload{};
        return TRUE;
    };
    if (module) EnumResourceNamesW(module, RT_BITMAP, collect, reinterpret_cast<LONG_PTR>(&listed));
    if (module) FreeLibrary(module);
    return listed;
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
    EXPECT_TRUE(PlatformListing(container) == app().doc.bitmaps)
        << "the platform lists the saved file differently";
}
