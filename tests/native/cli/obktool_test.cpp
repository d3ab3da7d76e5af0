// The decisions obktool shows a user, one table each; then obktool as a
// build script runs it: a command line in a folder of sample files, its exit
// status, standard output and error, and the files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <tuple>

#include "cli/obktool.h"
#include "support/dib_files.h"
#include "support/pe_images.h"

namespace {

using namespace obktool;
using namespace orvix_test;

// What a typed ID list selects from a container holding 5, 7, 9, 12 and
// 65535, or the message that refuses it.
TEST(ObktoolRules, IdListsAsTypedSelectStoredIds) {
    const BitmapStore store = {{5, {1}}, {7, {1}}, {9, {1}}, {12, {1}}, {65535, {1}}};
    const struct {
        const char* typed;
        std::vector<ResourceId> selected;
        const char* error;
    } cases[] = {
        {"5", {5}, ""},
        {"5-100", {5, 7, 9, 12}, ""},
        {"9-5,7,12", {5, 7, 9, 12}, ""},  // either order, as the editor's range export
        {" 6 - 8 , 65535", {7, 65535}, ""},
        {"6", {}, "no bitmap with ID 00006"},
        {"13-100", {}, "no bitmap with an ID in the list"},
        {"0-5", {5}, ""},
        {"1-65536", {}, "'65536' is not a resource ID from 0 to 65535"},
        {"", {}, "'' is not"},
        {"5,", {}, "'' is not"},
        {"-5", {}, "'-5' is not"},
        {"5- ", {}, "'5-' is not"},
        {"5--7", {}, "'-7' is not"},
        {"x", {}, "'x' is not"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto list = ParseIdList(c.typed, error);
        const auto selected = list ? SelectIds(store, *list, error) : std::nullopt;
        EXPECT_EQ(selected.value_or(std::vector<ResourceId>{}), c.selected) << c.typed;
        EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << c.typed;
    }
}

TEST(ObktoolRules, ProgressOnlyForAPersonAtATerminal) {
    // terminal, quiet, json -> shown
    const bool table[][4] = {{true, false, false, true},
                             {false, false, false, false},
                             {true, true, false, false},
                             {true, false, true, false}};
    for (const auto& row : table)
        EXPECT_EQ(ShowsProgress(row[0], row[1], row[2]), row[3]) << row[0] << row[1] << row[2];
    EXPECT_EQ(ProgressLine("extract", 256, 1000), "\rextract 256/1000");
    EXPECT_EQ(ProgressLine("extract", 1000, 1000), "\rextract 1000/1000\n");
}

TEST(ObktoolRules, ListingRowsAndJsonFields) {
    const BitmapStore store = {
        {5, MakeDib({.width = 2, .height = 3}, 64)},
        // top-down RLE8: a magnitude is shown
        {7, MakeDib({.width = 16, .height = -8, .bitCount = 8, .compression = 1}, 300)},
        {300, MakeDib({.biSize = 12, .width = 4, .height = 4, .bitCount = 4}, 76)},
        {65535, MakeDib({.biSize = 124, .bitCount = 32, .compression = 3}, 136)},
        {9, DibPayload(20, 0)},  // too short for any header
        // OS/2 numbers its compressions its own way
        {400, MakeDib({.biSize = 64, .bitCount = 1, .compression = 3, .sizeImage = 4}, 76)},
        {401, MakeDib({.biSize = 108, .compression = 6}, 130)},
    };
    EXPECT_EQ(ListText(ListingOf(store)),
              "00005         64         2x3 24 info  RGB\n"
              "00007        300        16x8  8 info  RLE8\n"
              "00009         20           ?  ? ?     ?\n"
              "00300         76         4x4  4 core  RGB\n"
              "00400         76         1x1  1 os2v2 HUFFMAN1D\n"
              "00401        130         1x1 24 v4    ALPHABITFIELDS\n"
              "65535        136         1x1 32 v5    BITFIELDS\n");
    EXPECT_EQ(ListJson(ListingOf({{7, store.at(7)}, {9, store.at(9)}})),
              R"([{"id":7,"size":300,"width":16,"height":8,"bitDepth":8,"compression":1,)"
              R"("header":"info","compressionName":"RLE8"},)"
              R"({"id":9,"size":20,"width":null,"height":null,"bitDepth":null,"compression":null,)"
              R"("header":null,"compressionName":null}])"
              "\n");
}

TEST(ObktoolRules, InfoNamesWhatASaveDrops) {
    pe::ResourceSurvey survey;
    survey.is64 = true;
    EXPECT_EQ(DroppedResourcesWarning(survey), "");
    EXPECT_EQ(InfoText(survey, {}), "format:  PE32+\nbitmaps: 0\nbytes:   0\nIDs:     none\n");
    EXPECT_EQ(DroppedResourcesNotice(survey), L"");
    survey.otherTypes = {{3, 2}, {16, 1}};
    survey.namedBitmaps = 1;
    EXPECT_EQ(DroppedResourcesNotice(survey),
              L"This file also holds 1 named bitmap, 2 icons and "
              L"1 version record, which a save does not keep.");
    survey.otherLanguageBitmaps = 3;
    survey.otherTypes = {{-1, 2}, {3, 2}, {16, 1}, {99, 1}};
    const std::string warning =
        "it also holds 1 named bitmap, 3 bitmaps in other languages, 2 resources of named types, "
        "2 icons, 1 version record and 1 resource of type 99, which a save does not keep";
    EXPECT_EQ(DroppedResourcesWarning(survey), warning);
    EXPECT_EQ(
        InfoJson(survey, ListingOf({{3, DibPayload(10)}, {400, DibPayload(5)}})),
        R"({"format":"PE32+","bitmaps":2,"totalSize":15,"firstId":3,"lastId":400,)"
        R"("undrawable":2,"namedBitmaps":1,"otherLanguageBitmaps":3,"otherResources":[{"type":-1,"count":2},{"type":3,"count":2},)"
        R"({"type":16,"count":1},{"type":99,"count":1}],"warning":")" +
            warning + "\"}\n");
}

// A bottom-up 24-bit .bmp file of the given size.
Bytes BmpFile(std::int32_t width, std::int32_t height) {
    const auto pixels = static_cast<std::size_t>((width * 3 + 3) / 4 * 4 * height);
    return MakeBmpFile(MakeDib({.width = width, .height = height}, 40 + pixels), 54);
}

struct Result {
    int status;
    std::string out, err;
};

// ARGS go to obktool in a shell in dir; "sh LINE" runs a shell line instead,
// in which `obktool` names it too and $O is its path.
Result Obktool(const fs::path& dir, const std::string& args) {
    const std::string command = "cd '" + dir.string() +
                                "' && O='" OBKTOOL "' && obktool() { \"$O\" \"$@\"; } && { " +
                                (args.starts_with("sh ") ? args.substr(3) : "obktool " + args) +
                                "; } >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    const auto take = [&dir](const char* name) {
        const Bytes text = ReadBytes(dir / name);
        fs::remove(dir / name);
        return std::string(text.begin(), text.end());
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, take("stdout.txt"), take("stderr.txt")};
}

std::map<std::string, Bytes> Snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = ReadBytes(e.path());
    }
    return files;
}

TEST(ObktoolEndToEnd, CommandLinesTheirStatusOutputAndFiles) {
    const struct Row {
        const char* args;
        int status;
        const char* out;        // contained in standard output
        const char* err;        // contained in standard error
        const char* then = "";  // a second command line, whose output must contain thenOut
        const char* thenOut = "";
        // "a=b": two files byte for byte alike afterwards; "a": a file as it was before
        const char* same = "";
        const char* setup = "true";  // shell commands before the run
        const char* check = "true";  // a shell test of the files afterwards
    } rows[] = {
        {"list --json c.obk", 0,
         R"([{"id":5,"size":64,"width":2,"height":3,"bitDepth":24,"compression":0,)", ""},
        {"info c.obk", 0, "format:  PE32\nbitmaps: 3\nbytes:   228\nIDs:     00005-00009\n", ""},
        {"extract c.obk 5,9 -o out", 0, "extracted 2 bitmaps", "", "extract c.obk 7 -o out", "",
         "out/00009.bmp=bmps/00009.bmp"},
        {"extract -q c.obk -o bmps", 1, "", "bmps/00005.bmp: already exists (--force"},
        {"extract c.obk 5-7 -o bmps --force", 0, "extracted 2", "", "", "", "bmps/00007.bmp"},
        // 00005.bmp is written before 00007.bmp fails, and taken back.
        {"extract c.obk -o blocked", 1, "", "blocked/00007.bmp: cannot be written"},
        {"extract c.obk 6 -o out", 1, "", "c.obk: no bitmap with ID 00006"},
        {"add c.obk 12 bmps/00005.bmp", 0, "stored bmps/00005.bmp as 00012", "", "list c.obk",
         "00012         64         2x3"},
        {"add c.obk 5 bmps/00007.bmp", 1, "", "c.obk: ID 00005 already holds a bitmap"},
        {"add c.obk 5 bmps/00007.bmp --replace -o d.obk", 0, "", "", "list d.obk",
         "00005         76"},
        // Files limited to 512 bytes (RLIMIT_FSIZE), as on a full disk: a write
        // past that fails rather than kill the process.
        {"sh trap '' XFSZ; ulimit -f 1; obktool add c.obk 12 bmps/00005.bmp", 1, "",
         "c.obk: cannot be written (File too large); every file is as it was"},
        // A link stays a link, and its target is replaced in its own folder.
        {"add c.obk 12 bmps/00005.bmp", 0, "", "", "list far/c.obk", "00012", "",
         "mkdir far && mv c.obk far && ln -s far/c.obk c.obk", "test -L c.obk"},
        {"add c.obk 12 bmps/00005.bmp", 1, "",
         "c.obk has 2 hard links, which a replacement would split; every file is as it was", "", "",
         "", "ln c.obk d.obk", "test $(stat -c %h c.obk) = 2"},
        {"add c.obk 12 bmps/00005.bmp", 1, "", "c.obk is read-only; every file is as it was", "",
         "", "", "chmod 444 c.obk", "test $(stat -c %a c.obk) = 444"},
        {"remove c.obk 5", 0, "", "", "list c.obk", "00007", "",
         "chown 65534:65534 c.obk && chmod 2640 c.obk",
         "test $(stat -c %u:%g:%a c.obk) = 65534:65534:2640"},
        // The folder lets the user rename over the file; the file does not.
        {"sh setpriv --reuid=65534 --regid=65534 --clear-groups \"$O\" add c.obk 12 bmps/00005.bmp",
         1, "", "c.obk is read-only", "", "", "", "chmod 777 .",
         "test $(stat -c %U:%a c.obk) = root:644"},
        {"add c.obk 12 bmps/00005.bmp --wait 0.1", 1, "",
         "c.obk is being changed by another process (waited 0.1 s", "", "", "",
         "(flock c.obk sh -c ': >held; sleep 2' >/dev/null &) && until [ -e held ]; do sleep 0.05; "
         "done"},
        // Eight writers at once: each waits its turn and reads what the last wrote.
        {"info c.obk", 0, "bitmaps: 11\n", "", "", "", "",
         "for i in 1 2 3 4 5 6 7 8; do obktool add -q c.obk 10$i bmps/00005.bmp & done; wait"},
        {"add c.obk 0 bmps/00005.bmp", 2, "", "'0' is not a resource ID from 1 to 65535"},
        {"renumber c.obk 5 0", 2, "", "'0' is not a resource ID from 1 to 65535"},
        // mixed.obk: ID 0 (2x3), ID 5 in German (1x1) and U.S. English (4x3), "LOGO", an icon.
        {"list mixed.obk", 0,
         "00000         64         2x3 24 info  RGB\n00005         76         4x3", ""},
        {"info mixed.obk", 0,
         "warning: it also holds 1 named bitmap, 1 bitmap in another language and 1 icon, which "
         "a save does not keep\n",
         ""},
        {"add mixed.obk 12 bmps/00005.bmp", 0, "",
         "warning: mixed.obk: it also holds 1 named bitmap, 1 bitmap in another language",
         "list mixed.obk",
         "00000         64         2x3 24 info  RGB\n00005         76         4x3"},
        {"renumber mixed.obk 0 7", 0, "renumbered 00000 as 00007", "", "list mixed.obk",
         "00005         76         4x3 24 info  RGB\n00007         64"},
        {"remove mixed.obk 0 --strict", 1, "",
         "mixed.obk: holds 1 named bitmap, 1 bitmap in another language and 1 icon, which a save "
         "does not keep; nothing was changed (--strict)"},
        {"import c.obk more --strict --on-conflict skip", 0, "imported 1 bitmaps", ""},
        {"--help", 0, "else the lowest language ID", ""},
        {"add c.obk 12 empty.bmp", 1, "", "empty.bmp: is empty"},
        {"add c.obk 12 text.txt", 1, "", "text.txt: not a .bmp file"},
        {"add c.obk 12 broken.bmp", 1, "", "broken.bmp: a broken bitmap: biWidth is -4"},
        {"remove c.obk 5-7 -o d.obk", 0, "removed 2", "", "list d.obk", "00009 "},
        {"renumber c.obk 5 7", 1, "", "ID 00007 already holds a bitmap (--overwrite"},
        {"renumber c.obk 5 7 --overwrite", 0, "", "", "list c.obk",
         "00007         64         2x3 24 info  RGB\n00009"},
        {"import c.obk more", 1, "", "c.obk: ID 00005 already holds a bitmap; more/00005.bmp"},
        {"import c.obk more --on-conflict skip", 0, "imported 1 bitmaps, skipped 1", "",
         "list c.obk", "00009         88         3x4 24 info  RGB\n00020 "},
        {"import c.obk more --on-conflict overwrite", 0, "", "", "list c.obk",
         "00005         44         1x1"},
        {"import c.obk more --start 65535", 1, "", "more/00020.bmp: its ID 65536 lies outside"},
        {"import c.obk more --on-conflict later", 2, "", "--on-conflict"},
        {"import c.obk bmps/00005.bmp", 1, "", "bmps/00005.bmp: is a file, not a folder"},
        {"import c.obk gone", 1, "", "gone: no such folder"},
        // Every row's c.obk is made so; the rows after a change list what it holds.
        {"new n.obk --from bmps", 0, "created n.obk (PE32) with 3 bitmaps", ""},
        {"new n.obk --64 --from bmps/00007.bmp", 0, "", "", "info --json n.obk",
         R"({"format":"PE32+","bitmaps":1,"totalSize":76,"firstId":101,"lastId":101,)"},
        {"new n.obk --from bmps --start 200", 0, "", "", "list n.obk", "00201         76"},
        {"new n.obk --from nothing", 0, "", "nothing: no 5-digit numbered", "list n.obk", ""},
        {"new c.obk", 1, "", "c.obk: already exists (--force replaces it)"},
        {"list missing.obk", 1, "", "obktool: missing.obk: no such file\n"},
        {"list text.txt", 1, "", "text.txt: not a container (no PE image headers)"},
        {"list cut.obk", 1, "", "cut.obk: truncated: its sections end at byte"},
        {"info bmps", 1, "", "bmps: is a folder, not a file"},
        {"remove empty.bmp 5", 1, "", "empty.bmp: is empty"},
        {"list c.obk --bogus", 2, "", "--bogus"},
        {"list c.obk >/dev/full", 1, "", "standard output: cannot be written (No space left"},
        {"remove c.obk -5", 2, "", "'-5' is not a resource ID"},
        {"frobnicate c.obk", 2, "", "'frobnicate' is not a command: list, info"},
        {"", 2, "", "A subcommand is required"},
        {"--version", 0, "obktool 1.0.1.0", ""},
        {"extract --help", 0, "--force", ""},
    };
    const std::string kMade = "sh obktool new c.obk --from bmps && head -c -200 c.obk >cut.obk && ";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        // Giving files away and becoming another user take root.
        if (::geteuid() != 0 &&
            (std::strstr(row.setup, "chown") || std::strstr(row.args, "setpriv")))
            continue;
        ScratchFolder dir;
        for (const char* folder : {"bmps", "more", "nothing", "blocked/00007.bmp"})
            fs::create_directories(dir / folder);
        for (const auto& [name, w, h] : {std::tuple{"bmps/00005.bmp", 2, 3},
                                         {"bmps/00007.bmp", 4, 3},
                                         {"bmps/00009.bmp", 3, 4},
                                         {"more/00005.bmp", 1, 1},
                                         {"more/00020.bmp", 1, 1}})
            WriteBytes(dir / name, BmpFile(w, h));
        WriteBytes(dir / "empty.bmp", {});
        WriteBytes(dir / "broken.bmp", MakeBmpFile(MakeDib({.width = -4}, 88), 54));
        WriteBytes(dir / "text.txt", {'M', 'Z', 'h', 'i', '\n'});
        WriteBytes(dir / "mixed.obk", MixedImage(MakeDib({.width = 2, .height = 3}, 64),
                                                 MakeDib({.width = 1, .height = 1}, 44),
                                                 MakeDib({.width = 4, .height = 3}, 76)));
        // c.obk from bmps, and cut.obk: c.obk cut short.
        ASSERT_EQ(Obktool(dir.dir, kMade + row.setup).status, 0);
        const auto before = Snapshot(dir.dir);

        const Result run = Obktool(dir.dir, row.args);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.out.find(row.out), std::string::npos) << "stdout: " << run.out;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << "stderr: " << run.err;
        if (row.status != 0) {
            EXPECT_TRUE(Snapshot(dir.dir) == before) << "files changed";
        }
        if (*row.then) {
            const Result then = Obktool(dir.dir, row.then);
            EXPECT_EQ(then.status, 0) << row.then << ": " << then.err;
            EXPECT_NE(then.out.find(row.thenOut), std::string::npos)
                << row.then << ": " << then.out;
        }
        if (const std::string same = row.same; !same.empty()) {
            const auto eq = same.find('=');
            const Bytes expected =
                eq == std::string::npos ? before.at(same) : ReadBytes(dir / same.substr(eq + 1));
            EXPECT_EQ(ReadBytes(dir / same.substr(0, eq)), expected) << same;
        }
        const std::string check = "sh " + std::string(row.check) + " && ! ls -a | grep orvix-";
        EXPECT_EQ(Obktool(dir.dir, check).status, 0) << row.check << ", or a temporary was left";
    }

    // An import interrupted while it writes leaves the container as it was or
    // wholly changed, and no temporary file.
    ScratchFolder dir;
    fs::create_directories(dir / "big");
    for (int id = 1; id <= 200; ++id)
        WriteBytes(dir / "big" / (std::to_string(10000 + id) + ".bmp"), BmpFile(160, 160));
    ASSERT_EQ(Obktool(dir.dir, "new c.obk; obktool import c.obk big -o whole.obk").status, 0);
    const Bytes before = ReadBytes(dir / "c.obk"), whole = ReadBytes(dir / "whole.obk");
    const auto temporary = [&] {
        return std::any_of(fs::directory_iterator(dir.dir), {}, [](const fs::directory_entry& e) {
            return e.path().filename().string().starts_with(".orvix-");
        });
    };
    std::minstd_rand random{std::random_device{}()};
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGINT}) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(dir.dir.c_str()) == 0)
                ::execl(OBKTOOL, OBKTOOL, "import", "-q", "c.obk", "big", nullptr);
            ::_exit(127);
        }
        // Once the temporary shows, after up to 5 ms more.
        int status = 0;
        bool ended = false;
        while (!(ended = ::waitpid(child, &status, WNOHANG) == child) && !temporary()) {
        }
        if (!ended) {
            ::usleep(static_cast<useconds_t>(random() % 5000));
            ::kill(child, signal);
            ::waitpid(child, &status, 0);
        }
        const Bytes after = ReadBytes(dir / "c.obk");
        EXPECT_TRUE(WIFEXITED(status) &&
                    (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 128 + signal))
            << status;
        EXPECT_TRUE(after == before || after == whole) << "signal " << signal << ", " << status;
        EXPECT_FALSE(temporary()) << "signal " << signal << ", " << status;
        WriteBytes(dir / "c.obk", before);
    }
}

}  // namespace
