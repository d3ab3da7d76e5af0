// Which files of a folder count as numbered bitmaps and the paths they get,
// which ID each then gets or why it is left out, how the answers to the
// overwrite question carry through one import, and what a drop of files on
// the window does.
#include <gtest/gtest.h>

#include <vector>

#include "batch/drop_plan.h"
#include "batch/folder_numbering.h"
#include "batch/numbered_scan.h"
#include "batch/progress_report.h"
#include "support/test_files.h"

using namespace orvix_test;

namespace {

std::vector<NumberedBitmapFile> Scan(const std::wstring& folder) {
    std::vector<NumberedBitmapFile> found = {{77, L"stale"}};
    ScanNumberedBitmaps(folder, found);
    return found;
}

}  // namespace

// The folder string is kept as given and must end with a separator or be
// empty; each name found is that string and the file's name.
TEST(NumberedScan, KeepsOnlyFiveAsciiDigitsAndLowerCaseBmpOrPng) {
    ScratchFolder scratch;
    for (const char* name : {"00010.bmp", "00002.bmp", "00300.bmp", "00000.bmp", "99999.bmp",
                             "00010.png", "00020.png"})
        WriteBytes(scratch / name, {'x'});
    for (const char* name : {"1234.bmp", "012345.bmp", "0123a.bmp", "01234.bmp.bak", "01234.BMP",
                             "01234.PNG", "01234.pngx", "01234.Bmp", "01234.bmpx", " 1234.bmp",
                             "+1234.bmp", "-1234.bmp", "01234_bmp", "01234.dib", ".0123.bmp"})
        WriteBytes(scratch / name, {'x'});
    fs::create_directory(scratch / "01235.bmp");
    // Digits of other scripts, which some C runtimes' iswdigit accepts:
    // full-width, Arabic-Indic, Devanagari.
    for (const char32_t* name : {U"\uFF10\uFF11\uFF12\uFF13\uFF14.bmp",
                                 U"\u0660\u0661\u0662\u0663\u0664.bmp", U"0000\u0967.bmp"})
        WriteBytes(scratch / fs::path(name), {'x'});
    const std::u32string sub = U"b\u00efld\u00e9r-\U0001F600";
    fs::create_directory(scratch / fs::path(sub));
    WriteBytes(scratch / fs::path(sub) / "00009.bmp", {'x'});
    const std::wstring dir = scratch.dir.wstring(), inSub = WidePathOf(scratch.dir, sub);
#ifndef _WIN32
    // Not UTF-8: no wide name can qualify.
    WriteBytes(scratch / (std::string{'\xff', '\xfe'} + "123.bmp"), {'x'});
    WriteBytes(scratch / "target", {'x'});
    fs::create_symlink(scratch / "target", scratch / "00001.bmp");
    fs::create_directory_symlink(scratch / "01235.bmp", scratch / "00003.bmp");
    // Links count by their target; a number's .bmp comes before its .png.
    const std::vector<std::int32_t> all = {0, 1, 2, 10, 10, 20, 300, 99999};
#else
    const std::vector<std::int32_t> all = {0, 2, 10, 10, 20, 300, 99999};
#endif
    const struct {
        std::wstring folder;
        std::vector<std::int32_t> numbers;
    } cases[] = {
        {dir + L"/", all},
        {L"", all},  // the current folder, as bare names
        {dir, {}},   // folder and name would run together
        {dir + L"//", all},
        {inSub + L"/", {9}},
        {dir + L"/missing/", {}},
        {dir + L"/00002.bmp/", {}},  // a file is not a folder
#ifdef _WIN32
        {dir + L"\\", all},
        {inSub + L"\\", {9}},
#else
        {dir + L"\\", {}},  // a backslash is part of a POSIX name
        {L"/\xD800/", {}},  // no UTF-8 form
#endif
    };
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.dir);
    for (const auto& c : cases) {
        std::vector<std::int32_t> numbers;
        for (const auto& f : Scan(c.folder)) {
            numbers.push_back(f.number);
            wchar_t name[16];
            std::swprintf(name, 16, f.png ? L"%05d.png" : L"%05d.bmp", f.number);
            EXPECT_EQ(f.path, c.folder + name);
        }
        EXPECT_EQ(numbers, c.numbers) << ::testing::PrintToString(c.folder);
    }
    fs::current_path(previous);
    auto found = Scan(dir + L"/");
    EXPECT_EQ(TakeBitmapsOverPngs(found), 1u) << "00010.png gives way to 00010.bmp";
    for (const auto& f : found)
        EXPECT_EQ(f.png, f.number == 20) << f.number;
}

TEST(FolderNumbering, GivesEachFileAnIdAContainerCanHoldOrLeavesItOut) {
    using Numbering = FolderNumbering;
    const struct {
        const char* what;
        FolderNumbering numbering;
        std::vector<std::int32_t> numbers;
        std::vector<std::int32_t> ids;
        int leftOut;
    } cases[] = {
        {"numeric", Numbering::Numeric(), {3, 10, 65535}, {3, 10, 65535}, 0},
        {"00000 and past 65535", Numbering::Numeric(), {0, 7, 65536, 99999}, {-1, 7, -1, -1}, 3},
        {"sequential, scan order", Numbering::Sequential(101), {3, 7, 9}, {101, 102, 103}, 0},
        {"run past 65535", Numbering::Sequential(65534), {1, 2, 3, 4}, {65534, 65535, -1, -1}, 2},
    };
    for (const auto& c : cases) {
        FolderNumbering numbering = c.numbering;
        std::vector<std::int32_t> ids;  // -1: left out
        for (std::int32_t n : c.numbers)
            ids.push_back(numbering.Take(NumberedBitmapFile{n, L""}).value_or(-1));
        EXPECT_EQ(ids, c.ids) << c.what;
        EXPECT_EQ(numbering.leftOut(), c.leftOut) << c.what;
    }
}

TEST(FolderNumbering, SaysHowManyFilesWereLeftOut) {
    EXPECT_EQ(LeftOutMessage(0), L"");
    EXPECT_EQ(LeftOutMessage(1),
              L"1 file was left out: its resource ID would lie outside 1 to 65535.");
    EXPECT_EQ(LeftOutMessage(3),
              L"3 files were left out: their resource IDs would lie outside 1 to 65535.");
    EXPECT_EQ(LeftOutMessage(0, 1), L"1 .png file was left out: a .bmp file has its number.");
    EXPECT_EQ(LeftOutMessage(1, 2),
              L"1 file was left out: its resource ID would lie outside 1 to 65535.\n"
              L"2 .png files were left out: .bmp files have their numbers.");
}

TEST(OverwritePolicy, AnswersForAllStopTheQuestionsOthersAskAgain) {
    using A = OverwriteAnswer;
    const struct {
        std::vector<A> answers;
        std::vector<bool> stored;
        bool asksAgain;
        bool overwritesWithoutAsking;
    } cases[] = {
        {{A::Yes, A::No}, {true, false}, true, false},
        {{A::Cancel, A::NotShown}, {true, true}, true, false},
        {{A::No, A::YesToAll}, {false, true}, false, true},
        {{A::NoToAll}, {false}, false, false},
    };
    for (const auto& c : cases) {
        OverwritePolicy policy;
        std::vector<bool> stored;
        for (A answer : c.answers) {
            ASSERT_TRUE(policy.NeedsQuestion());
            stored.push_back(policy.Answer(answer));
        }
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(policy.NeedsQuestion(), c.asksAgain);
        EXPECT_EQ(policy.OverwriteWithoutAsking(), c.overwritesWithoutAsking);
    }
}

TEST(ProgressReport, ShowsPastHalfASecondWhileFilesRemainAndSaysWhichFile) {
    const struct {
        std::uint64_t ms;
        std::size_t done, total;
        bool shows;
    } when[] = {{0, 0, 10000, false},      {500, 10, 10000, false}, {501, 10, 10000, true},
                {9000, 9999, 10000, true}, {9000, 2, 2, false},     {9000, 0, 0, false}};
    for (const auto& w : when)
        EXPECT_EQ(ShowsProgress(w.ms, w.done, w.total), w.shows) << w.ms << " " << w.done;
    const struct {
        ProgressVerb verb;
        std::size_t done, total;
        const wchar_t* line;
    } lines[] = {{ProgressVerb::Importing, 0, 10000, L"Importing 1 of 10000 bitmaps"},
                 {ProgressVerb::Importing, 1233, 10000, L"Importing 1234 of 10000 bitmaps"},
                 {ProgressVerb::Exporting, 10000, 10000, L"Exporting 10000 of 10000 bitmaps"},
                 {ProgressVerb::Exporting, 0, 1, L"Exporting 1 of 1 bitmap"}};
    for (const auto& l : lines)
        EXPECT_EQ(ProgressText(l.verb, l.done, l.total), l.line);
}

// Each file dropped is classified by its name and its first bytes, then the
// drop is planned.
TEST(DropPlan, OpensAddsReplacesImportsOrRefusesWhatWasDropped) {
    Bytes bmp = {'B', 'M'}, png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10}, text = {'h', 'i'};
    bmp.resize(14);
    using enum DropAction;
    using Names = std::vector<std::wstring>;
    using Files = std::vector<std::pair<std::wstring, Bytes>>;
    const Files several = {{L"d/00012.png", png}, {L"d/00003.bmp", bmp}, {L"d/00012.bmp", bmp},
                           {L"d/a.obk", {}},      {L"d/p.png", png},     {L"d/00004.bmp", text},
                           {L"d/00005.BMP", bmp}};
    const struct {
        Files files;
        bool onRow;
        DropAction action;
        Names taken, refused;
    } cases[] = {
        {{{L"d/a.obk", {}}}, true, Open, {L"d/a.obk"}, {}},
        {{{L"d/B.OBK", bmp}}, false, Open, {L"d/B.OBK"}, {}},
        {{{L"d/photo.jpg", bmp}}, false, Add, {L"d/photo.jpg"}, {}},
        {{{L"d/00012.txt", png}}, true, Replace, {L"d/00012.txt"}, {}},
        {{{L"d/00012.bmp", {'B', 'M'}}}, false, Nothing, {}, {L"00012.bmp"}},
        {{{L"d/notes.txt", text}}, false, Nothing, {}, {L"notes.txt"}},
        {{{L"a.obk", {}}, {L"b.obk", {}}}, false, Nothing, {}, {L"a.obk", L"b.obk"}},
        {several,
         true,
         Import,
         {L"d/00003.bmp", L"d/00012.bmp", L"d/00012.png"},
         {L"a.obk", L"p.png", L"00004.bmp", L"00005.BMP"}},
    };
    for (const auto& c : cases) {
        std::vector<DroppedFile> files;
        for (const auto& [path, head] : c.files)
            files.push_back({path, ClassifyDroppedFile(path, head)});
        const DropPlan plan = PlanDrop(files, c.onRow);
        Names taken;
        for (const auto& file : plan.numbered)
            taken.push_back(file.path);
        if (!plan.file.empty()) taken.push_back(plan.file);
        EXPECT_EQ(plan.action, c.action) << ::testing::PrintToString(c.files[0].first);
        EXPECT_EQ(taken, c.taken) << ::testing::PrintToString(c.files[0].first);
        EXPECT_EQ(plan.refused, c.refused) << ::testing::PrintToString(c.files[0].first);
    }
    EXPECT_EQ(DropRefusalMessage({L"notes.txt", L"b.obk"}),
              L"These files were not taken:\n\nnotes.txt\nb.obk\n\nDrop one .obk file to open "
              L"it, one .bmp or .png image to add it (on a row, to replace that bitmap), or "
              L"images named by their five-digit ID, as 00012.bmp, to import them.");
    EXPECT_EQ(ReplaceDropQuestion(12, L"d/photo.png"), L"Replace bitmap 00012 with photo.png?");
}
