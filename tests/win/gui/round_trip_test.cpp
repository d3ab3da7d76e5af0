// A folder of bitmaps of every kind through New, Change ID, Delete, Save,
// Open and Export All: what comes out must be the files that went in, and
// the saved file must read the same through the platform's own loader.
#include <algorithm>
#include <cstring>
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

// A .bmp file exactly as the export writes one back, so that any byte the
// round trip changes shows. The kind cycles through 1, 4, 8, 16, 24 and 32
// bits, 16 and 32-bit masks, RLE8 with a short palette, a top-down image and
// a V5 header whose masks lie inside it.
std::vector<std::uint8_t> CanonicalBitmap(int n) {
    static constexpr WORD kBits[] = {1, 4, 8, 16, 24, 32, 16, 32, 8, 24, 32};
    const int kind = n % 11, width = 1 + n % 13, height = 1 + n % 5;
    const bool masks = kind == 6 || kind == 7 || kind == 10, rle = kind == 8, v5 = kind == 10;
    BITMAPV5HEADER info{};
    info.bV5Size = v5 ? sizeof info : sizeof(BITMAPINFOHEADER);
    info.bV5Width = width;
    info.bV5Height = kind == 9 ? -height : height;
    info.bV5Planes = 1;
    info.bV5BitCount = kBits[kind];
    info.bV5Compression = rle ? BI_RLE8 : masks ? BI_BITFIELDS : BI_RGB;
    info.bV5ClrUsed = rle ? 16 : 0;
    // After a short header the masks follow it, just where V5 keeps them.
    info.bV5RedMask = masks ? (info.bV5BitCount == 16 ? 0xF800 : 0xFF0000) : 0;
    info.bV5GreenMask = masks ? (info.bV5BitCount == 16 ? 0x07E0 : 0xFF00) : 0;
    info.bV5BlueMask = masks ? (info.bV5BitCount == 16 ? 0x001F : 0xFF) : 0;
    info.bV5CSType = v5 ? 0x73524742 : 0;  // LCS_sRGB, spelt out: the macro is 'sRGB'
    const DWORD colours = rle ? 16 : info.bV5BitCount <= 8 ? 1u << info.bV5BitCount : 0;
    std::vector<std::uint8_t> pixels;
    for (int row = 0; rle && row < height; ++row)
        pixels.insert(pixels.end(),
                      {static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(row + 3), 0, 0});
    if (rle) pixels.insert(pixels.end(), {0, 1});
    if (!rle) pixels.resize(static_cast<std::size_t>((width * kBits[kind] + 31) / 32 * 4 * height));
    for (std::size_t i = 0; !rle && i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(i * 31 + static_cast<std::size_t>(n));
    info.bV5SizeImage = static_cast<DWORD>(pixels.size());

    const DWORD infoLength = info.bV5Size + (masks && !v5 ? 12 : 0);
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0,
                          static_cast<DWORD>(sizeof file) + infoLength + 4 * colours};
    file.bfSize = file.bfOffBits + info.bV5SizeImage;
    std::vector<std::uint8_t> bytes(file.bfSize);
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &info, infoLength);
    for (DWORD i = 0; i < 4 * colours; ++i)
        bytes[sizeof file + infoLength + i] =
            static_cast<std::uint8_t>(i * 7 + static_cast<DWORD>(n));
    std::copy(pixels.begin(), pixels.end(), bytes.begin() + file.bfOffBits);
    return bytes;
}

Files FilesIn(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().wstring()] = orvix_test::ReadBytes(entry.path());
    return files;
}

// The bitmaps of a container as the platform's loader lists them.
BitmapStore PlatformListing(const std::wstring& path) {
    BitmapStore listed;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    std::vector<ResourceId> ids;
    const auto collect = [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
        // A string name lists as 0, an ID the store can never hold.
        reinterpret_cast<std::vector<ResourceId>*>(context)->push_back(
            IS_INTRESOURCE(name) ? static_cast<ResourceId>(reinterpret_cast<ULONG_PTR>(name)) : 0);
        return TRUE;
    };
    if (module) EnumResourceNamesW(module, RT_BITMAP, collect, reinterpret_cast<LONG_PTR>(&ids));
    for (ResourceId id : ids) {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_BITMAP);
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const auto* bytes =
            static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        listed[id] =
            bytes ? DibPayload(bytes, bytes + SizeofResource(module, found)) : DibPayload{};
    }
    if (module) FreeLibrary(module);
    return listed;
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
    const BitmapStore listed = PlatformListing(container);
    EXPECT_EQ(listed.size(), app().doc.bitmaps.size());
    EXPECT_TRUE(listed == app().doc.bitmaps) << "the platform lists the saved file differently";
}
