// obktool as a build script runs it: a command line in a folder of sample
// files, then its exit status, standard output and error, and the files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <map>

#include "support/dib_files.h"

namespace {

using namespace orvix_test;

// A bottom-up 24-bit .bmp file of the given size.
Bytes BmpFile(std::int32_t width, std::int32_t height) {
    const auto pixels = static_cast<std::size_t>((width * 3 + 3) / 4 * 4 * height);
    return MakeBmpFile(MakeDib({.width = width, .height = height}, 40 + pixels), 54);
}

struct Result {
    int status;
    std::string out, err;
};

// "fulldisk ARGS" runs with files limited to 512 bytes (RLIMIT_FSIZE), as
// on a full disk: a write past that fails rather than kill the process.
Result Obktool(const fs::path& dir, const std::string& args) {
    const bool full = args.starts_with("fulldisk ");
    const std::string command = (full ? "trap '' XFSZ; ulimit -f 1; cd '" : "cd '") + dir.string() +
                                "' && '" OBKTOOL "' " + args.substr(full ? 9 : 0) +
                                " >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    Result run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}, {}};
    const Bytes out = ReadBytes(dir / "stdout.txt"), err = ReadBytes(dir / "stderr.txt");
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return run;
}

std::map<std::string, Bytes> Snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = ReadBytes(e.path());
    }
    return files;
}

constexpr const char* kListed =
    "00005         64         2x3 24 RGB\n"
    "00007         76         4x3 24 RGB\n"
    "00009         88         3x4 24 RGB\n";

TEST(ObktoolEndToEnd, CommandLinesTheirStatusOutputAndFiles) {
    struct Row {
        const char* args;
        int status;
        const char* out;   // contained in standard output
        const char* err;   // contained in standard error
        const char* then;  // a second command line, whose output must contain thenOut
        const char* thenOut;
        // "a=b": two files byte for byte alike afterwards; "a": a file as it was before
        const char* same = "";
    };
    const Row rows[] = {
        {"list c.obk", 0, kListed, "", "", ""},
        {"list --json c.obk", 0,
         R"([{"id":5,"size":64,"width":2,"height":3,"bitDepth":24,"compression":0},{"id":7,)", "",
         "", ""},
        {"info c.obk", 0, "format:  PE32\nbitmaps: 3\nbytes:   228\nIDs:     00005-00009\n", "", "",
         ""},
        {"extract c.obk 5,9 -o out", 0, "extracted 2 bitmaps", "", "extract c.obk 7 -o out", "",
         "out/00009.bmp=bmps/00009.bmp"},
        {"extract -q c.obk -o bmps", 1, "", "bmps/00005.bmp: already exists (--force", "", ""},
        {"extract c.obk 5-7 -o bmps --force", 0, "extracted 2", "", "", "", "bmps/00007.bmp"},
        // 00005.bmp is written before 00007.bmp fails, and taken back.
        {"extract c.obk -o blocked", 1, "", "blocked/00007.bmp: cannot be written", "", ""},
        {"extract c.obk 6 -o out", 1, "", "c.obk: no bitmap with ID 00006", "", ""},
        {"add c.obk 12 bmps/00005.bmp", 0, "stored bmps/00005.bmp as 00012", "", "list c.obk",
         "00012         64         2x3"},
        {"add c.obk 5 bmps/00007.bmp", 1, "", "c.obk: ID 00005 already holds a bitmap", "", ""},
        {"add c.obk 5 bmps/00007.bmp --replace -o d.obk", 0, "", "", "list d.obk",
         "00005         76"},
        {"fulldisk add c.obk 12 bmps/00005.bmp", 1, "",
         "c.obk: cannot be written; every file is as it was", "", ""},
        {"add c.obk 0 bmps/00005.bmp", 2, "", "'0' is not a resource ID from 1 to 65535", "", ""},
        {"add c.obk 70000 bmps/00005.bmp", 2, "", "'70000' is not a resource ID", "", ""},
        {"add c.obk 12 empty.bmp", 1, "", "empty.bmp: is empty", "", ""},
        {"add c.obk 12 text.txt", 1, "", "text.txt: not a .bmp file", "", ""},
        {"remove c.obk 5-7 -o d.obk", 0, "removed 2", "", "list d.obk", "00009 "},
        {"renumber c.obk 5 7", 1, "", "ID 00007 already holds a bitmap (--overwrite", "", ""},
        {"renumber c.obk 5 7 --overwrite", 0, "", "", "list c.obk",
         "00007         64         2x3 24 RGB\n00009"},
        {"import c.obk more", 1, "", "c.obk: ID 00005 already holds a bitmap; more/00005.bmp", "",
         ""},
        {"import c.obk more --on-conflict skip", 0, "imported 1 bitmaps, skipped 1", "",
         "list c.obk", "00009         88         3x4 24 RGB\n00020 "},
        {"import c.obk more --on-conflict overwrite", 0, "", "", "list c.obk",
         "00005         44         1x1"},
        {"import c.obk more --start 65535", 1, "", "more/00020.bmp: its ID 65536 lies outside", "",
         ""},
        {"import c.obk more --on-conflict later", 2, "", "--on-conflict", "", ""},
        {"import c.obk bmps/00005.bmp", 1, "", "bmps/00005.bmp: no such folder", "", ""},
        {"new n.obk --from bmps", 0, "created n.obk (PE32) with 3 bitmaps", "", "list n.obk",
         kListed},
        {"new n.obk --64 --from bmps/00007.bmp", 0, "", "", "info --json n.obk",
         R"({"format":"PE32+","bitmaps":1,"totalSize":76,"firstId":101,"lastId":101,)"},
        {"new n.obk --from bmps --start 200", 0, "", "", "list n.obk", "00201         76"},
        {"new n.obk --from nothing", 0, "", "nothing: no 5-digit numbered", "list n.obk", ""},
        {"new c.obk", 1, "", "c.obk: already exists (--force replaces it)", "", ""},
        {"list missing.obk", 1, "", "obktool: missing.obk: no such file\n", "", ""},
        {"list text.txt", 1, "", "text.txt: not a container (no PE image headers)", "", ""},
        {"list cut.obk", 1, "", "cut.obk: truncated: its sections end at byte", "", ""},
        {"info bmps", 1, "", "bmps: is a folder, not a file", "", ""},
        {"remove empty.bmp 5", 1, "", "empty.bmp: is empty", "", ""},
        {"list c.obk --bogus", 2, "", "--bogus", "", ""},
        {"frobnicate c.obk", 2, "", "'frobnicate' is not a command: list, info", "", ""},
        {"", 2, "", "A subcommand is required", "", ""},
        {"--version", 0, "obktool 1.0.1.0", "", "", ""},
        {"extract --help", 0, "--force", "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        ScratchFolder dir;
        fs::create_directories(dir / "bmps");
        fs::create_directories(dir / "more");
        fs::create_directories(dir / "nothing");
        fs::create_directories(dir / "blocked/00007.bmp");
        WriteBytes(dir / "bmps/00005.bmp", BmpFile(2, 3));
        WriteBytes(dir / "bmps/00007.bmp", BmpFile(4, 3));
        WriteBytes(dir / "bmps/00009.bmp", BmpFile(3, 4));
        WriteBytes(dir / "more/00005.bmp", BmpFile(1, 1));
        WriteBytes(dir / "more/00020.bmp", BmpFile(1, 1));
        WriteBytes(dir / "empty.bmp", {});
        WriteBytes(dir / "text.txt", {'M', 'Z', 'h', 'i', '\n'});
        ASSERT_EQ(Obktool(dir.dir, "new c.obk --from bmps").status, 0);
        Bytes cut = ReadBytes(dir / "c.obk");
        cut.resize(cut.size() - 200);
        WriteBytes(dir / "cut.obk", cut);
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
    }
}

}  // namespace
