// obktool.exe as a build script on Windows runs it; the containers it makes
// are read back by the platform's own image loader.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "bitmaps/bitmap_codec.h"
#include "cli/obktool.h"
#include "document/container_io.h"
#include "support/test_files.h"

namespace {

using namespace orvix_test;

// build\tests\win\cli\<this>.exe -> build
std::wstring BuildFolder() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    for (int up = 0; up < 4; ++up)
        path.resize(path.find_last_of(L'\\'));
    return path;
}

struct Result {
    int status;
    std::string out, err;
};

// Runs in the current folder, as a batch file would.
Result Obktool(const std::wstring& args) {
    const std::wstring line =
        BuildFolder() + L"\\cli\\obktool.exe " + args + L" >stdout.txt 2>stderr.txt";
    Result run{_wsystem(line.c_str()), {}, {}};
    for (auto [name, text] : {std::pair{"stdout.txt", &run.out}, {"stderr.txt", &run.err}}) {
        for (std::uint8_t b : ReadBytes(name))
            if (b != '\r') text->push_back(static_cast<char>(b));
    }
    return run;
}

// Each bitmap of a container as LoadLibraryEx, FindResource and LoadResource
// hand it to any Windows program.
BitmapStore PlatformBitmaps(const fs::path& file) {
    BitmapStore store;
    HMODULE module = LoadLibraryExW(file.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return store;
    const auto each = [](HMODULE m, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
        HRSRC found = FindResourceW(m, name, MAKEINTRESOURCEW(2));
        HGLOBAL loaded = found ? LoadResource(m, found) : nullptr;
        const auto* bytes =
            static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        if (IS_INTRESOURCE(name) && bytes) {
            (*reinterpret_cast<BitmapStore*>(
                context))[static_cast<ResourceId>(reinterpret_cast<ULONG_PTR>(name))] =
                DibPayload(bytes, bytes + SizeofResource(m, found));
        }
        return TRUE;
    };
    EnumResourceNamesW(module, MAKEINTRESOURCEW(2), each, reinterpret_cast<LONG_PTR>(&store));
    FreeLibrary(module);
    return store;
}

class ObktoolOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        fs::current_path(dir.dir);
        fs::create_directories("bmps");
        // 8-bit bitmaps of 40 sizes with a full palette, written by the codec.
        ContainerDoc doc;
        for (std::uint32_t n = 1; n <= 40; ++n) {
            Bytes dib(40 + 1024 + std::size_t{(n + 3) / 4 * 4} * (41 - n), std::uint8_t(n));
            std::fill(dib.begin(), dib.begin() + 40, std::uint8_t{0});
            const std::uint32_t fields[][3] = {
                {0, 4, 40}, {4, 4, n}, {8, 4, 41 - n}, {12, 2, 1}, {14, 2, 8}};
            for (const auto& f : fields)
                le::Put(dib, f[0], f[1], f[2]);
            doc.bitmaps[ResourceId(n * 1637)] = dib;
            char name[32];
            std::snprintf(name, sizeof name, "bmps/%05u.bmp", n * 1637);
            ASSERT_TRUE(WriteBitmapFile(doc, ResourceId(n * 1637), fs::absolute(name).wstring()));
        }
    }
    void TearDown() override { fs::current_path(fs::temp_directory_path()); }
    ScratchFolder dir;
};

TEST_F(ObktoolOnWindows, NewFromAFolderListsAlikeThroughTheLoaderAndTheEditor) {
    for (const wchar_t* variant : {L"", L" --64"}) {
        SCOPED_TRACE(variant);
        const Result made = Obktool(std::wstring(L"new --force made.obk --from bmps") + variant);
        ASSERT_EQ(made.status, 0) << made.err;
        const BitmapStore platform = PlatformBitmaps(dir / "made.obk");
        ContainerDoc editor;
        ASSERT_TRUE(LoadContainer(editor, (dir / "made.obk").wstring()));
        ASSERT_EQ(platform.size(), 40u);
        EXPECT_TRUE(platform == editor.bitmaps);
        const Bytes first = ReadBytes("bmps/01637.bmp");
        EXPECT_EQ(platform.at(1637), DibPayload(first.begin() + 14, first.end()));
        const Result listed = Obktool(L"list made.obk");
        EXPECT_EQ(listed.out, obktool::ListText(obktool::ListingOf(platform)));
    }
}

TEST_F(ObktoolOnWindows, StatusesMessagesAndFilesOfAScript) {
    ASSERT_EQ(Obktool(L"new -q c.obk --from bmps").status, 0);
    const std::wstring mixed = BuildFolder() + L"\\tests\\win\\oracle\\fixture_mixed.dll";
    struct Row {
        std::wstring args;
        int status;
        const char* out;
        const char* err;
    };
    const Row rows[] = {
        {L"info " + mixed, 0, "warning: it also holds 1 named bitmap, ", ""},
        {L"extract c.obk 1637,3274-4911 -o out", 0, "extracted 3 bitmaps", ""},
        {L"extract c.obk 1637 -o out", 1, "", "out\\01637.bmp: already exists"},
        {L"import c.obk out --start 70000", 2, "", "'70000' is not a resource ID"},
        {L"import c.obk out --start 1 -o d.obk", 0, "imported 3 bitmaps", ""},
        {L"renumber d.obk 2 9 --overwrite", 0, "renumbered 00002 as 00009", ""},
        {L"remove d.obk 1-9", 0, "removed 3 bitmaps", ""},
        {L"list missing.obk", 1, "", "missing.obk: no such file"},
        {L"add c.obk 0 bmps\\01637.bmp", 2, "", "'0' is not a resource ID"},
        {L"--version", 0, "obktool 1.0.1.0", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.args.begin(), row.args.end()));
        const Result run = Obktool(row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    }
    const Bytes exported = ReadBytes("out/03274.bmp");
    EXPECT_EQ(exported, ReadBytes("bmps/03274.bmp"));
}

}  // namespace
