// obktool.exe as a build script on Windows runs it; the containers it makes
// are read back by the platform's own image loader.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "bitmaps/bitmap_codec.h"
#include "cli/obktool.h"
#include "document/container_io.h"
#include "support/dib_files.h"
#include "support/platform_view.h"

namespace {

using namespace orvix_test;

// build\tests\win\cli -> build
const fs::path kBuild = ExeDir().parent_path().parent_path().parent_path();

struct Result {
    int status;
    std::string out, err;
};

// Runs in the current folder, as a batch file would.
Result Obktool(const std::wstring& args) {
    const std::wstring line =
        (kBuild / L"cli" / L"obktool.exe").wstring() + L" " + args + L" >stdout.txt 2>stderr.txt";
    Result run{_wsystem(line.c_str()), {}, {}};
    for (auto [name, text] : {std::pair{"stdout.txt", &run.out}, {"stderr.txt", &run.err}}) {
        for (std::uint8_t b : ReadBytes(name))
            if (b != '\r') text->push_back(static_cast<char>(b));
    }
    return run;
}

class ObktoolOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        fs::current_path(dir.dir);
        fs::create_directories("bmps");
        // 8-bit bitmaps of 40 sizes with a full palette, written by the codec.
        ContainerDoc doc;
        for (std::int32_t n = 1; n <= 40; ++n) {
            const auto stride = static_cast<std::size_t>((n + 3) / 4 * 4);
            doc.bitmaps[n * 1637] = MakeDib({.width = n, .height = 41 - n, .bitCount = 8},
                                            40 + 1024 + stride * static_cast<std::size_t>(41 - n));
            char name[32];
            std::snprintf(name, sizeof name, "bmps/%05d.bmp", n * 1637);
            ASSERT_TRUE(WriteBitmapFile(doc, n * 1637, fs::absolute(name).wstring()));
        }
    }
    void TearDown() override { fs::current_path(fs::temp_directory_path()); }
    ScratchFolder dir;
};

TEST_F(ObktoolOnWindows, NewListsAlikeEverywhereAndAScriptSeesItsStatusesAndFiles) {
    for (const wchar_t* variant : {L"", L" --64"}) {
        SCOPED_TRACE(variant);
        const Result made = Obktool(std::wstring(L"new --force made.obk --from bmps") + variant);
        ASSERT_EQ(made.status, 0) << made.err;
        const BitmapStore platform = AskPlatform(dir / "made.obk").bitmaps;
        ContainerDoc editor;
        ASSERT_TRUE(LoadContainer(editor, (dir / "made.obk").wstring()));
        ASSERT_EQ(platform.size(), 40u);
        EXPECT_TRUE(platform == editor.bitmaps);
        const Bytes first = ReadBytes("bmps/01637.bmp");
        EXPECT_EQ(platform.at(1637), DibPayload(first.begin() + 14, first.end()));
        const Result listed = Obktool(L"list made.obk");
        EXPECT_EQ(listed.out, obktool::ListText(obktool::ListingOf(platform)));
    }
    const std::wstring mixed =
        (ExeDir().parent_path() / L"oracle" / L"fixture_mixed.dll").wstring();
    fs::create_directories("upper");
    WriteBytes("upper/01637.BMP", {'B', 'M'});
    const struct {
        std::wstring args;
        int status;
        const char* out;
        const char* err;
    } rows[] = {
        {L"new -q c.obk --from bmps", 0, "", ""},
        {L"info " + mixed, 0, "warning: it also holds 1 named bitmap, ", ""},
        {L"extract c.obk 1637,3274-4911 -o out", 0, "extracted 3 bitmaps", ""},
        {L"extract c.obk 1637 -o out", 1, "", "out\\01637.bmp: already exists"},
        // Names that differ only in case name the same file.
        {L"extract c.obk 1637 -o upper", 1, "", "upper\\01637.bmp: already exists"},
        {L"extract c.obk 1637 -o upper --force", 0, "extracted 1 bitmaps", ""},
        {L"import c.obk out --start 1 -o d.obk", 0, "imported 3 bitmaps", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.args.begin(), row.args.end()));
        const Result run = Obktool(row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.out.find(row.out), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadBytes("out/03274.bmp"), ReadBytes("bmps/03274.bmp"));
    EXPECT_EQ(ReadBytes("upper/01637.bmp"), ReadBytes("bmps/01637.bmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator("upper"), fs::directory_iterator()), 1);
}

}  // namespace
