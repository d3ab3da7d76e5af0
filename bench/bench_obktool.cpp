// obktool as whole processes on a count x 1 KiB and a 10,000 x 16 KiB
// container (fewer when count is lower), each beside the least the system
// itself needs for the same result:
//   extract of every bitmap into a fresh folder, beside a loop that only
//     creates the same files with the same bytes (target: at most 1.2x);
//   add --replace of one bitmap, beside a copy of the container file and an
//     fsync of the copy (target: at most 1.5x), and, for what replacing a
//     file costs beyond a fresh copy, beside the same copy over an earlier
//     one (freeing its blocks, which on a file system mounted with discard
//     waits for the disk);
// then list, and new and import from the extracted folder. Where wrestool
// (Debian's icoutils) is installed, list and extract are set beside it too;
// the peer figure of new and import is the platform's resource update
// (orvix_bench_obktool.exe under Wine). The measurements take turns round by
// round; every round is printed, then the median.
//
// Usage: orvix_bench_obktool [count [rounds]] [folder [obktool]]
//   (default: 65535, 5, the temporary folder and the obktool of this build)
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr double kExtractTarget = 1.2;  // times creating the same files
constexpr double kAddTarget = 1.5;      // times a copy of the container and its fsync

void Line(const char* what, double seconds, double peer) {
    if (seconds < 0) {
        std::printf("  %-40s failed\n", what);
    } else if (peer > 0) {
        std::printf("  %-40s %7.3f s  %5.2fx wrestool\n", what, seconds, seconds / peer);
    } else {
        std::printf("  %-40s %7.3f s\n", what, seconds);
    }
}

// The paths and bytes of the files extract writes into folder, made before
// any clock runs.
void ExtractedFiles(const BitmapStore& store, const fs::path& folder,
                    std::vector<std::string>& paths,
                    std::vector<std::vector<std::uint8_t>>& contents) {
    paths.clear();
    contents.clear();
    for (const auto& [id, payload] : store) {
        std::wstring path;
        std::array<std::uint8_t, kBitmapFileHeaderSize> header;
        if (!NumberedBitmapPath(folder.wstring(), id, path) ||
            !MakeBitmapFileHeader(payload, header)) {
            continue;
        }
        paths.push_back(fs::path(path).string());
        std::vector<std::uint8_t>& bytes = contents.emplace_back(header.begin(), header.end());
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv, 65535, 5);
    const std::string tool = "'" + fs::absolute(args.Word(1, OBKTOOL)).string() + "'";
    const fs::path dir =
        fs::path(args.Word(0, fs::temp_directory_path().string())) / "orvix-bench-obktool";
    fs::create_directories(dir);
    const bool havePeer = std::system("command -v wrestool >/dev/null 2>&1") == 0;
    if (!havePeer) std::printf("wrestool not found (Debian: icoutils): no wrestool figures\n");

    struct Size {
        int count;
        std::size_t bytes;
    };
    for (const Size size : {Size{args.count, 1024}, Size{std::min(args.count, 10000), 16384}}) {
        const fs::path blank = dir / "blank.obk", file = dir / "bench.obk";
        const fs::path out = dir / "out", made = dir / "made.obk", one = dir / "one.bmp";
        const fs::path copy = dir / "copy.obk";
        if (!WriteContainer(blank, file, size.count, size.bytes)) {
            std::printf("could not write the container\n");
            return 1;
        }
        {
            ContainerDoc doc;
            doc.bitmaps[1] = Dib(7, size.bytes);
            if (!WriteBitmapFile(doc, 1, one.wstring())) {
                std::printf("could not write the bitmap to add\n");
                return 1;
            }
        }
        const BitmapStore store = NumberedStore(size.count, size.bytes);
        std::vector<std::string> paths;
        std::vector<std::vector<std::uint8_t>> contents;

        const std::string f = "'" + file.string() + "'", o = "'" + out.string();
        std::printf("%d bitmaps of %zu KiB (%.0f MiB), %d rounds, alternating\n", size.count,
                    size.bytes / 1024, static_cast<double>(fs::file_size(file)) / (1 << 20),
                    args.rounds);
        // Every extract and create-only loop goes into a folder of its own,
        // all removed at the end: removing thousands of files leaves the file
        // system work that would otherwise land in the next round's time. Odd
        // rounds run the peer first, so that neither side always comes
        // second, after the other's writes.
        std::vector<double> list, peerList, extract, peerExtract, created, added, copied, over;
        for (int run = 0; run < args.rounds; ++run) {
            const std::string n = std::to_string(run) + "'";
            const bool peerFirst = run % 2 == 1;
            const auto extractOurs = [&] {
                extract.push_back(TimeCommand(tool + " extract -q " + f + " -o " + o + n));
            };
            const auto createOnly = [&] {
                const fs::path folder = out.string() + "c" + std::to_string(run);
                fs::create_directories(folder);
                ExtractedFiles(store, folder, paths, contents);
                created.push_back(CreateFilesOnly(paths, contents));
            };
            const auto addOurs = [&] {
                added.push_back(
                    TimeCommand(tool + " add -q " + f + " 1 '" + one.string() + "' --replace"));
            };
            const auto copyPeer = [&] {
                copied.push_back(CopyAndFsync(file, copy));
                over.push_back(CopyAndFsync(file, copy, true));
            };

            if (havePeer) peerList.push_back(TimeCommand("wrestool -l " + f + " >/dev/null"));
            list.push_back(TimeCommand(tool + " list " + f + " >/dev/null"));
            if (havePeer) {
                fs::create_directories(out.string() + "w" + std::to_string(run));
                peerExtract.push_back(TimeCommand("wrestool -x -t2 -o " + o + "w" + n + " " + f));
            }
            if (peerFirst) createOnly();
            extractOurs();
            if (!peerFirst) createOnly();
            if (peerFirst) copyPeer();
            addOurs();
            if (!peerFirst) copyPeer();
        }
        fs::remove(copy);
        const double peerL = havePeer ? Median(peerList) : -1;
        const double peerX = havePeer ? Median(peerExtract) : -1;
        PrintJudge("extract beside creating the same files", "extract", extract, "create-only",
                   created, kExtractTarget);
        PrintJudge("add --replace of one bitmap beside cp + fsync", "add", added, "cp+fsync",
                   copied, kAddTarget);
        std::printf("    the copy over an earlier one instead: median %.3f s, add %.2fx\n",
                    Median(over), Median(added) / Median(over));
        Line("obktool list", Median(list), peerL);
        if (havePeer) Line("wrestool -l", peerL, peerL);
        Line("obktool extract (all)", Median(extract), peerX);
        if (havePeer) Line("wrestool -x -t2", peerX, peerX);

        // The folder of the first extract is the input of new and import.
        const std::string from = o + "0'", m = "'" + made.string() + "'";
        std::vector<double> made3, imported;
        for (int run = 0; run < 3; ++run) {
            made3.push_back(TimeCommand(tool + " new -q --force " + m + " --from " + from));
            imported.push_back(
                TimeCommand(tool + " import -q '" + blank.string() + "' " + from + " -o " + m));
        }
        Line("obktool new --from DIR (median of 3)", Median(made3), -1);
        Line("obktool import (into a blank container)", Median(imported), -1);
        for (int run = 0; run < args.rounds; ++run) {
            for (const char* kind : {"", "w", "c"})
                fs::remove_all(out.string() + kind + std::to_string(run));
        }
    }
    fs::remove_all(dir);
    return 0;
}
