// The commands that work on many bitmaps at once as the user drives them:
// Export Range, Export All, Import Bitmap Folder and New OBK, through the
// folder picker, their questions, the boxes they end with and the files
// they leave.
#include <algorithm>
#include <cstdio>
#include <map>

#include "gui_test.h"

namespace {

const wchar_t kPicker[] = L"Select Folder";
const wchar_t kNoFiles[] = L"information: No 5-digit numeric *.bmp files found.";
const wchar_t kTwoOutside[] =
    L"information: 2 files were left out: their resource IDs would lie outside 1 to 65535.";
const wchar_t kOnePng[] = L"information: 1 .png file was left out: a .bmp file has its number.";
// name -> TinyBitmapFile content, or a PNG image of it for a .png name
using Files = std::map<std::wstring, int>;

class BatchCommandsTest : public MainWindowTest {
protected:
    // A fresh folder in the scratch folder; the pickers must leave it free to go.
    std::wstring Folder(const std::wstring& name, const Files& files = {}) {
        std::filesystem::remove_all(scratch / name);
        std::filesystem::create_directories(scratch / name);
        for (const auto& [file, content] : files)
            orvix_test::WriteBytes(scratch / name / file, file.ends_with(L".png")
                                                              ? TinyPngFile(content)
                                                              : TinyBitmapFile(content));
        return Path(name);
    }
    std::vector<ResourceId> Exported(const std::wstring& folder) {
        std::vector<ResourceId> ids;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            ids.push_back(std::stoi(entry.path().filename().wstring()));
            EXPECT_EQ(orvix_test::ReadBytes(entry.path()), TinyBitmapFile(ids.back()))
                << entry.path().string();
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }
};

}  // namespace

// Export Range asks for a folder, then the first ID (proposing 101) and the
// last (proposing the first), and counts what it did; Export All writes
// every bitmap and stops at the first that cannot be written.
TEST_F(BatchCommandsTest, ExportsWriteTheStoredBitmapsAsBmpFiles) {
    const RobotStep pick = ChooseFile(kPicker, Path(L"out"));
    const WORD kRange = CMD_EXPORT_RANGE, kAll = CMD_EXPORT_ALL;
    struct Case {
        const char* what;
        WORD command;
        std::vector<ResourceId> ids;
        std::vector<RobotStep> script;
        std::vector<ResourceId> files;
        const wchar_t* box = nullptr;  // the closing box, if any
        bool twoTooShort = false;      // 2 holds 39 bytes, which no .bmp file can hold
    } cases[] = {
        // clang-format off
        {"5 to 3", kRange, {3, 4, 5, 9}, {pick, TypeId(L"5"), TypeId(L"3")}, {3, 4, 5},
         L"information: Exported: 3\nMissing: 0\nFailed: 0"},
        {"picker cancelled", kRange, {1, 2}, {Press(kPicker, IDCANCEL)}, {}},
        {"first ID cancelled", kRange, {1, 2}, {pick, Press(L"Resource ID", IDCANCEL)}, {}},
        {"second ID cancelled", kRange, {1, 2}, {pick, TypeId(L"1"), PressKey(L"Resource ID",
         VK_ESCAPE)}, {}},
        {"all three, one replacing a file", kAll, {1, 2, 3}, {pick}, {1, 2, 3}},
        {"all, the second cannot be written", kAll, {1, 2, 3}, {pick}, {1},
         L"error: Failed to export one or more bitmaps.", true},
        {"all, picker cancelled", kAll, {1, 2}, {Press(kPicker, IDCANCEL)}, {}},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.ids);
        if (c.twoTooShort) app().doc.bitmaps[2] = DibPayload(39, 0);
        const std::wstring out = Folder(L"out"), old = out + L"\\00002.bmp";
        if (c.command == kAll) orvix_test::WriteBytes(old, TinyBitmapFile(99));
        std::vector<RobotStep> script = c.script;
        if (c.box) script.push_back(Press(c.command == kAll ? L"Error" : L"Export Range", IDOK));
        Answer(script, [&] { Send(c.command); });
        // Only Export Range asks for IDs.
        if (c.script.size() > 1) EXPECT_EQ(robot.shown[1].fields, Texts{L"101"});
        if (c.script.size() > 2) EXPECT_EQ(robot.shown[2].fields, Texts{c.script[1].text});
        if (c.box) EXPECT_EQ(robot.shown.back().text, c.box);
        if (c.command == kAll && std::count(c.files.begin(), c.files.end(), 2) == 0) {
            EXPECT_EQ(orvix_test::ReadBytes(old), TinyBitmapFile(99));
            std::filesystem::remove(old);
        }
        EXPECT_EQ(Exported(out), c.files);
        EXPECT_FALSE(app().doc.dirty);
        EXPECT_EQ(ListIds(), c.ids);
        EXPECT_EQ(WindowText(app().mainWindow), std::wstring(L"Orvix - ") + kDocPath);
    }
}

// Import Bitmap Folder adds to the open document; New OBK makes a file from
// one bitmap or a folder and opens it. An empty file spends its ID in an
// import but not in a new file, where only the files read take IDs.
TEST_F(BatchCommandsTest, NumberedFilesAreStoredAsTheUserChooses) {
    constexpr int kKept = -1;  // the bitmap the store held before
    constexpr WORD kImport = CMD_IMPORT_FOLDER, kNew = CMD_NEW_CONTAINER_32;
    constexpr int kFile = IDC_NEW_FROM_FILE, kFolder = IDC_NEW_FROM_FOLDER;
    struct Case {
        const char* what;
        WORD command;
        int source;  // New's answer to Create New OBK
        std::vector<ResourceId> held;
        Files files;
        int mode;                         // the Import Mode answer
        std::map<ResourceId, int> after;  // ID -> content, or kKept
        const wchar_t* box = nullptr;     // the closing information box, if any
        const wchar_t* start = nullptr;   // the ID typed, or the starting ID in sequential mode
        std::vector<int> answers = {};    // to Resource Exists
    } cases[] = {
        // clang-format off
        {"numeric, .bmp and .png; a number's .bmp wins", kImport, 0, {}, {{L"00005.bmp", 5},
         {L"00006.png", 6}, {L"00005.png", 7}}, IDYES, {{5, 5}, {6, 6}}, kOnePng},
        {"an empty file spends its ID", kImport, 0, {}, {{L"00001.bmp", 0}, {L"00002.bmp", 2},
         {L"00003.bmp", 3}}, IDNO, {{102, 2}, {103, 3}}, nullptr, L"101"},
        {"No to All asks once", kImport, 0, {5, 12}, {{L"00005.bmp", 5}, {L"00012.bmp", 12}},
         IDYES, {{5, kKept}, {12, kKept}}, nullptr, nullptr, {IDC_NO_TO_ALL}},
        {"No, then Cancel stores one and asks again", kImport, 0, {5, 12, 20}, {{L"00005.bmp", 5},
         {L"00012.bmp", 12}, {L"00020.bmp", 20}}, IDYES, {{5, kKept}, {12, 12}, {20, 20}}, nullptr,
         nullptr, {IDNO, IDCANCEL, IDYES}},
        {"IDs a container cannot hold are left out", kImport, 0, {}, {{L"00000.bmp", 1},
         {L"00009.bmp", 9}, {L"70000.bmp", 7}}, IDYES, {{9, 9}}, kTwoOutside},
        {"no numbered files", kImport, 0, {1}, {{L"1234.bmp", 4}}, IDYES, {{1, kKept}}, kNoFiles},
        {"Import Mode cancelled", kImport, 0, {1}, {{L"00001.bmp", 1}}, IDCANCEL, {{1, kKept}}},
        {"new: one bitmap as 101", kNew, kFile, {}, {{L"a.bmp", 4}}, 0, {{101, 4}}, nullptr,
         L"101"},
        {"new, 64-bit: folder by numbers", CMD_NEW_CONTAINER_64, kFolder, {}, {{L"00003.bmp", 3},
         {L"00010.bmp", 10}}, IDYES, {{3, 3}, {10, 10}}},
        {"new: folder from 101, only files read take IDs", kNew, kFolder, {}, {{L"00001.bmp", 0},
         {L"00002.bmp", 2}, {L"00003.bmp", 3}}, IDNO, {{101, 2}, {102, 3}}, nullptr, L"101"},
        {"new: folder without numbered files", kNew, kFolder, {}, {{L"12.bmp", 2}}, IDNO, {},
         kNoFiles},
        {"new: 00000 and 70000 left out", kNew, kFolder, {}, {{L"00000.bmp", 1}, {L"00005.bmp", 5},
         {L"70000.bmp", 7}}, IDYES, {{5, 5}}, kTwoOutside},
        {"new: Create New OBK cancelled", kNew, IDCANCEL, {}, {}, 0, {}},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = Folder(L"in", c.files), created = Path(L"fresh.obk");
        std::filesystem::remove(created);
        Load(c.held);
        for (auto& [id, payload] : app().doc.bitmaps)
            payload = DibPayload(44, static_cast<std::uint8_t>(id));
        const BitmapStore before = app().doc.bitmaps;
        std::vector<RobotStep> script;
        if (c.source)
            script = {ChooseFile(L"Save As", Path(L"fresh")), Press(L"Create New OBK", c.source)};
        if (c.source == kFile) script.push_back(ChooseFile(L"Open", folder + L"\\a.bmp"));
        if (c.source != kFile && c.source != IDCANCEL)
            script.insert(script.end(),
                          {ChooseFile(kPicker, folder), Press(L"Import Mode", c.mode)});
        const size_t prompt = script.size();
        if (c.start) script.push_back(TypeId(c.start));
        for (int answer : c.answers)
            script.push_back(Press(L"Resource Exists", answer));
        if (c.box) script.push_back(Press(L"Import", IDOK));
        Answer(script, [&] { Send(c.command); });
        if (c.start) EXPECT_EQ(robot.shown[prompt].fields, Texts{L"101"});
        if (c.answers.size())
            EXPECT_EQ(robot.shown[2].text, L"Resource ID 5 already exists. Overwrite?");
        if (c.box) EXPECT_EQ(robot.shown.back().text, c.box);
        BitmapStore expected;
        for (const auto& [id, content] : c.after)
            expected[id] = content == kKept ? before.at(id) : TinyBitmap(content);
        EXPECT_EQ(app().doc.bitmaps, expected);
        const auto image = orvix_test::ReadBytes(created);
        if (c.command == kImport || c.source == IDCANCEL) {
            EXPECT_EQ(app().doc.dirty, app().doc.bitmaps != before);
            EXPECT_TRUE(image.empty()) << "no file is made";
            continue;
        }
        // The optional header's magic tells a 32-bit image from a 64-bit one.
        const std::size_t header = orvix_test::le::Get32(image, 0x3C);
        EXPECT_EQ(orvix_test::le::Get16(image, header + 24),
                  c.command == CMD_NEW_CONTAINER_64 ? 0x20B : 0x10B);
        EXPECT_EQ(StoreOnDisk(created), app().doc.bitmaps);
        EXPECT_FALSE(app().doc.dirty);
        EXPECT_EQ(WindowText(app().mainWindow), L"Orvix - " + created);
    }
}

// An import or export that runs long shows how far it is, with the main
// window shut to other commands; Cancel or Esc there stops it between two
// files and keeps what it did, New OBK a file of the bitmaps read so far.
TEST_F(BatchCommandsTest, ALongImportOrExportShowsProgressAndStopsWhenCancelled) {
    constexpr std::size_t kCount = 20000;
    const std::wstring folder = Folder(L"many");
    const auto png = TinyPngFile(7);
    std::vector<ResourceId> all;
    for (std::size_t n = 1; n <= kCount; ++n) {
        wchar_t name[16];
        std::swprintf(name, 16, L"%05zu.png", n);  // a decoder each keeps the import long
        orvix_test::WriteBytes(scratch / L"many" / name, png);
        all.push_back(static_cast<ResourceId>(n));
    }
    const struct {
        const char* what;
        WORD command;
        RobotStep answer;
    } cases[] = {{"left to run", CMD_IMPORT_FOLDER, Look(L"Import")},
                 {"Cancel", CMD_IMPORT_FOLDER, Press(L"Import", IDCANCEL)},
                 {"new, Cancel", CMD_NEW_CONTAINER_32, Press(L"Import", IDCANCEL)},
                 {"export all, Esc", CMD_EXPORT_ALL, PressKey(L"Export All", VK_ESCAPE)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool isNew = c.command == CMD_NEW_CONTAINER_32,
                   isExport = c.command == CMD_EXPORT_ALL;
        Load(isExport ? all : std::vector<ResourceId>{});
        const std::wstring out = Folder(L"out");
        std::vector<RobotStep> script = {ChooseFile(kPicker, isExport ? out : folder), c.answer};
        if (!isExport) script.insert(script.begin() + 1, Press(L"Import Mode", IDYES));
        if (isNew)
            script.insert(script.begin(), {ChooseFile(L"Save As", Path(L"fresh")),
                                           Press(L"Create New OBK", IDC_NEW_FROM_FOLDER)});
        Answer(script, [&] { Send(c.command); });
        const std::wstring line = robot.shown[script.size() - 1].text;
        EXPECT_TRUE(line.starts_with(isExport ? L"Exporting " : L"Importing ") &&
                    line.ends_with(L" of 20000 bitmaps"))
            << line;
        EXPECT_TRUE(IsWindowEnabled(app().mainWindow));
        if (isExport) {  // the files written in ID order before the Esc, and no more
            const auto written = Exported(out);
            EXPECT_TRUE(written.size() > 0 && written.size() < kCount) << written.size();
            EXPECT_EQ(written, std::vector<ResourceId>(all.begin(), all.begin() + written.size()));
            EXPECT_FALSE(app().doc.dirty);
            continue;
        }
        const std::size_t stored = app().doc.bitmaps.size();
        EXPECT_EQ(stored == kCount, c.answer.kind == RobotStep::Kind::Look) << stored;
        EXPECT_GT(stored, 0u);
        EXPECT_EQ(app().doc.dirty, !isNew);
        if (isNew) EXPECT_EQ(StoreOnDisk(Path(L"fresh.obk")), app().doc.bitmaps);
        EXPECT_EQ(static_cast<std::size_t>(ListView_GetItemCount(app().listView)), stored);
        EXPECT_EQ(app().doc.bitmaps.rbegin()->first, static_cast<ResourceId>(stored));
    }
}
