// The platform's image loader is the judge of our container files: every file
// the engine writes must map and list exactly the store's bitmaps, and the
// engine must read any file the way the loader does.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <imagehlp.h>

#include <cstdio>

#include "bitmaps/bitmap_codec.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "support/pe_images.h"
#include "support/platform_view.h"

using namespace orvix_test;

namespace {

// The file maps under every data-file flag and lists exactly `expected`,
// each bitmap in language 0 only, and nothing of other types.
void ExpectPlatformListsExactly(const fs::path& path, const BitmapStore& expected) {
    for (DWORD flags :
         std::initializer_list<DWORD>{LOAD_LIBRARY_AS_DATAFILE, LOAD_LIBRARY_AS_IMAGE_RESOURCE,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE}) {
        SCOPED_TRACE("LoadLibraryExW flags 0x" + std::to_string(flags));
        const PlatformView view = AskPlatform(path, flags);
        ASSERT_TRUE(view.mapped) << "the loader refused " << path << ", error " << GetLastError();
        EXPECT_TRUE(view.bitmaps == expected)
            << "expected " << Describe(expected).substr(0, 200) << "\nplatform "
            << Describe(view.bitmaps).substr(0, 200);
        for (const auto& [id, languages] : view.languages)
            EXPECT_EQ(languages, std::vector<WORD>{0}) << "bitmap " << id;
    }
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    EXPECT_FALSE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON));
    EXPECT_FALSE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_VERSION));
    EXPECT_FALSE(FindResourceW(module, L"NAMED", RT_BITMAP));
    FreeLibrary(module);
}

// The engine loads the file as the platform does, then saves it as a copy,
// which the platform lists exactly as the store, ID 0 included; the file
// stays as it was.
void ExpectLoadedAndSavedAsThePlatformSees(const fs::path& file, const fs::path& copy) {
    const PlatformView view = AskPlatform(file);
    ContainerDoc doc;
    const bool loaded = LoadContainer(doc, file.wstring());
    if (!view.mapped) {
        EXPECT_FALSE(loaded && !doc.bitmaps.empty()) << "the platform refuses it";
        return;
    }
    ASSERT_TRUE(loaded) << "the platform maps it";
    EXPECT_EQ(Describe(doc.bitmaps), Describe(view.bitmaps));
    EXPECT_TRUE(doc.bitmaps == view.bitmaps) << "same IDs and sizes, other bytes";
    if (view.bitmaps.empty()) return;
    const Bytes original = ReadBytes(file);
    fs::remove(copy);
    ASSERT_TRUE(SaveContainer(doc, copy.wstring()));
    EXPECT_EQ(doc.path, copy.wstring());
    EXPECT_EQ(ReadBytes(file), original) << "Save As changed the current file";
    ExpectPlatformListsExactly(copy, doc.bitmaps);
}

// The pixels of a bitmap the loader made, as 32-bit top-down rows without alpha.
std::vector<std::uint32_t> PixelsOf(HBITMAP bitmap) {
    BITMAP shape{};
    if (!bitmap || !GetObjectW(bitmap, sizeof shape, &shape)) return {};
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof info.bmiHeader, shape.bmWidth, -shape.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(shape.bmWidth * shape.bmHeight));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(shape.bmHeight), pixels.data(), &info,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (std::uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

constexpr const wchar_t* kFixtures[] = {
    L"fixture_mixed.dll",    // string names, icon, version, zero-size and multi-language bitmaps
    L"fixture_reloc.dll",    // .reloc after .rsrc
    L"fixture_symbols.dll",  // the COFF symbol table after the last section
};

}  // namespace

TEST(ContainerOracle, SavedImagesListExactlyTheStore) {
    BitmapStore odd, many, all, big = {{1, Payload(3 * 1024 * 1024 + 5, 1)}, {2, Payload(1, 2)}};
    int id = 1;
    for (std::size_t size : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 15u, 17u, 511u, 513u, 4097u}) {
        odd[id] = Payload(size, id);
        ++id;
    }
    odd[65535] = Payload(3, 99);
    for (id = 1; id <= 3000; ++id)
        many[id * 21] = Payload(40 + id % 13, id);
    many[65535] = Payload(41, 7);
    for (id = 1; id <= 65535; ++id)
        all[id] = Payload(1 + id % 16, id);
    const std::pair<const char*, BitmapStore> variants[] = {
        {"empty store", {}},
        {"one bitmap", {{101, Payload(1078, 1)}}},
        {"odd payload sizes", odd},
        {"3001 scattered IDs", many},
        {"every ID from 1 to 65535", all},
        {"a payload of 3 MiB", big},
    };
    ScratchFolder scratch;
    const fs::path path = scratch / "saved.obk";
    for (bool is64 : {false, true}) {
        for (const auto& [name, store] : variants) {
            SCOPED_TRACE(std::string(is64 ? "PE32+, " : "PE32, ") + name);
            ASSERT_TRUE(WriteBlankContainer(path.wstring(), is64));
            ExpectPlatformListsExactly(path, {});
            ContainerDoc doc;
            ASSERT_TRUE(LoadContainer(doc, path.wstring()));
            EXPECT_TRUE(doc.bitmaps.empty());
            doc.bitmaps.insert(store.begin(), store.end());
            ASSERT_TRUE(SaveContainer(doc, path.wstring()));
            ExpectPlatformListsExactly(path, store);
            // The second save reuses the resource section the first one made.
            BitmapStore second = store;
            doc.bitmaps[4242] = second[4242] = Payload(77, 3);
            ASSERT_TRUE(SaveContainer(doc, path.wstring()));
            ExpectPlatformListsExactly(path, second);
            ContainerDoc reread;
            ASSERT_TRUE(LoadContainer(reread, path.wstring()));
            EXPECT_TRUE(reread.bitmaps == second);
        }
    }
}

// Bitmaps of every header kind and layout, stored from their .bmp files,
// load from the container with the same pixels as the loader reads from the
// files themselves.
TEST(ContainerOracle, BitmapsOfEveryLayoutLoadWithTheirFilesPixels) {
    ScratchFolder scratch;
    const fs::path container = scratch / "layouts.obk";
    ContainerDoc doc;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ORVIX_BMP_FIXTURES))) {
        if (entry.path().extension() != ".bmp") continue;
        files.push_back(entry.path());
        const auto id = static_cast<ResourceId>(files.size());
        ASSERT_TRUE(StoreBitmapFile(doc, id, ReadBytes(entry.path()))) << entry.path();
    }
    ASSERT_GE(files.size(), 22u);
    ASSERT_TRUE(WriteBlankContainer(container.wstring(), false));
    ASSERT_TRUE(SaveContainer(doc, container.wstring()));
    HMODULE module = LoadLibraryExW(container.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    int compared = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto fromFile = PixelsOf(static_cast<HBITMAP>(LoadImageW(
            nullptr, files[i].c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
        if (fromFile.empty()) continue;  // a layout the platform does not read
        ++compared;
        EXPECT_EQ(PixelsOf(static_cast<HBITMAP>(LoadImageW(
                      module, MAKEINTRESOURCEW(i + 1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
                  fromFile)
            << files[i];
    }
    FreeLibrary(module);
    std::printf("%d of %zu layouts read by the platform\n", compared, files.size());
    EXPECT_GE(compared, 16);
}

// The toolchain's DLLs, the mixed one under threads of several locales, whose
// language the loader and the engine both follow; then Wine's own.
TEST(ContainerOracle, DllsLoadAsThePlatformReportsAndMapAfterSaveAs) {
    ScratchFolder scratch;
    const LCID original = GetThreadLocale();
    for (LANGID language : std::initializer_list<LANGID>{0x0409, 0x0407, 0x040C, 0x0809, 0x0C07}) {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        SCOPED_TRACE("thread locale " + std::to_string(language));
        ExpectLoadedAndSavedAsThePlatformSees(ExeDir() / kFixtures[0], scratch / kFixtures[0]);
    }
    SetThreadLocale(original);
    for (const wchar_t* fixture : kFixtures) {
        SCOPED_TRACE(fs::path(fixture).string());
        ASSERT_FALSE(AskPlatform(ExeDir() / fixture).bitmaps.empty()) << "fixture missing";
        ExpectLoadedAndSavedAsThePlatformSees(ExeDir() / fixture, scratch / fixture);
    }
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    int checked = 0;
    for (const fs::path& folder :
         {fs::path(system), fs::path(L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows")}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.path().extension() != L".dll") continue;
            SCOPED_TRACE(entry.path().string());
            ExpectLoadedAndSavedAsThePlatformSees(entry.path(), scratch / "copy.dll");
            ++checked;
        }
    }
    std::printf("%d DLLs checked\n", checked);
    if (checked == 0) GTEST_SKIP() << "no Wine DLLs found";
}

TEST(ContainerOracle, DamagedTablesReadAsThePlatformReadsThem) {
    ScratchFolder scratch;
    for (const ReaderDamage& d : ReaderDamages()) {
        if (!d.askLoader) continue;
        WriteBytes(scratch / "damaged.dll", DamagedImage(d));
        const PlatformView view = AskPlatform(scratch / "damaged.dll");
        ASSERT_TRUE(view.mapped) << d.what;
        EXPECT_EQ(Describe(view.bitmaps), d.survivors) << d.what << ": the platform";
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, (scratch / "damaged.dll").wstring())) << d.what;
        EXPECT_TRUE(doc.bitmaps == view.bitmaps)
            << d.what << ": the engine lists " << Describe(doc.bitmaps);
    }
}

TEST(ContainerOracle, CheckSumAgreesWithImagehlp) {
    // The linker sets a checksum in its DLLs; the blank image has none, so
    // one gets a nonzero value to ask for a recomputation.
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBlankContainer((scratch / "blank.obk").wstring(), true));
    Bytes blank = ReadBytes(scratch / "blank.obk");
    le::Put32(blank, 0x98 + 0x40, 1);
    WriteBytes(scratch / "blank.obk", blank);
    for (const fs::path& file : {ExeDir() / kFixtures[0], ExeDir() / kFixtures[1],
                                 ExeDir() / kFixtures[2], scratch / "blank.obk"}) {
        SCOPED_TRACE(file.string());
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, file.wstring()));
        // Grown, then shrunk: the second save rewrites the section the first made.
        for (std::size_t size : {70000u, 333u}) {
            doc.bitmaps[7] = Payload(size, 7);
            ASSERT_TRUE(SaveContainer(doc, (scratch / "saved.dll").wstring()));
            DWORD inHeader = 0, computed = 0;
            ASSERT_EQ(MapFileAndCheckSumW((scratch / "saved.dll").c_str(), &inHeader, &computed),
                      static_cast<DWORD>(CHECKSUM_SUCCESS));
            EXPECT_NE(inHeader, 0u);
            EXPECT_EQ(inHeader, computed)
                << "header checksum differs from imagehlp's, bitmap of " << size;
        }
    }
}
