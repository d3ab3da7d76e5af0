// Exports every bitmap of a count x 1 KiB container (65,535 by default) into
// a fresh folder with the editor's core, Export All and Export Range, and
// sets the time beside `obktool extract` of the same file in the same run
// (target: Export All no slower than extract) and, where it is installed,
// beside wrestool (icoutils), the tool people compare an export with. Ours
// include loading the container, as a tool's whole process does. The
// contenders take turns round by round; every round is printed, then the
// median.
//
// Usage: orvix_bench_export [count [rounds]] [folder]
//   (default: 65535, 3 and the temporary folder)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "bitmaps/export_range.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr double kExtractTarget = 1.0;  // Export All no slower than obktool extract

std::size_t FilesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// Seconds of one run of work into a fresh folder, or -1 when it failed or
// left other than count files. Every run has a folder of its own, all
// removed at the end: removing thousands of files leaves the file system
// work (a discarding mount most of all) that would land in the next run.
double TimeOnce(fs::path out, std::size_t count, const std::function<bool(const fs::path&)>& work) {
    static int runs = 0;
    out /= std::to_string(runs++);
    FreshFolder(out);
    const double t0 = Now();
    const bool ok = work(out);
    const double seconds = Now() - t0;
    return ok && FilesIn(out) == count ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv, 65535, 3);
    const int count = args.count;
    const std::size_t files = static_cast<std::size_t>(count);
    const fs::path dir = fs::path(args.Word(0, fs::temp_directory_path().string())) / "orvix-bench";
    fs::create_directories(dir);
    const fs::path container = dir / "export.obk";
    const fs::path out = dir / "out";
    if (!WriteContainer(dir / "blank.obk", container, count, 1024)) {
        std::printf("could not write the container\n");
        return 1;
    }

    const auto loaded = [&](const std::function<bool(const ContainerDoc&, const fs::path&)>& f) {
        return [&container, f](const fs::path& folder) {
            ContainerDoc doc;
            return LoadContainer(doc, container.wstring()) && f(doc, folder);
        };
    };
    using Work = std::function<bool(const fs::path&)>;
    const Work all = loaded([](const ContainerDoc& doc, const fs::path& folder) {
        return ExportAllBitmaps(doc, folder.wstring());
    });
    const Work range = loaded([count](const ContainerDoc& doc, const fs::path& folder) {
        return ExportBitmapsInRange(doc, folder.wstring(), 1, count).exported == count;
    });
    // One Export Bitmap per file, as a user without the batch commands would
    // go: the figure before batches.
    const Work lone = loaded([](const ContainerDoc& doc, const fs::path& folder) {
        for (const auto& entry : doc.bitmaps) {
            std::wstring path;
            if (!NumberedBitmapPath(folder.wstring(), entry.first, path) ||
                !WriteBitmapFile(doc, entry.first, path)) {
                return false;
            }
        }
        return true;
    });
    const Work extract = [&](const fs::path& folder) {
        const std::string command = "'" + fs::absolute(OBKTOOL).string() + "' extract -q '" +
                                    container.string() + "' -o '" + folder.string() + "'";
        return std::system(command.c_str()) == 0;
    };
    const bool havePeer = std::system("command -v wrestool >/dev/null 2>&1") == 0;
    const Work peerWork = [&](const fs::path& folder) {
        const std::string command =
            "wrestool -x -t2 -o '" + folder.string() + "' '" + container.string() + "'";
        return std::system(command.c_str()) == 0;
    };
    // The contenders take turns in every round, Export All and extract in
    // the opposite order every other round, so that a file system that slows
    // down as runs go by, or another program's writes that a flush takes
    // along, weigh on each of them alike.
    std::vector<double> allTimes, rangeTimes, extractTimes, peerTimes;
    for (int run = 0; run < args.rounds; ++run) {
        const bool extractFirst = run % 2 == 1;
        if (extractFirst) extractTimes.push_back(TimeOnce(out, files, extract));
        allTimes.push_back(TimeOnce(out, files, all));
        if (!extractFirst) extractTimes.push_back(TimeOnce(out, files, extract));
        rangeTimes.push_back(TimeOnce(out, files, range));
        if (havePeer) peerTimes.push_back(TimeOnce(out, files, peerWork));
    }
    const double peer = havePeer ? Median(peerTimes) : -1;
    const double loneTime = Median({TimeOnce(out, files, lone)});
    fs::remove_all(out);

    std::printf("%d bitmaps of 1 KiB, %d rounds, each into an empty folder\n", count, args.rounds);
    PrintJudge("Export All (load + export) beside obktool extract", "Export All", allTimes,
               "extract", extractTimes, kExtractTarget);
    const auto line = [&](const char* what, double seconds) {
        if (seconds < 0) {
            std::printf("%-36s failed\n", what);
        } else if (peer > 0) {
            std::printf("%-36s %8.2f s  %5.2fx wrestool\n", what, seconds, seconds / peer);
        } else {
            std::printf("%-36s %8.2f s\n", what, seconds);
        }
    };
    line("Export All (load + export)", Median(allTimes));
    char rangeLabel[40];
    std::snprintf(rangeLabel, sizeof rangeLabel, "Export Range 1-%d", count);
    line(rangeLabel, Median(rangeTimes));
    line("obktool extract", Median(extractTimes));
    line("one Export Bitmap per file (1 run)", loneTime);
    if (havePeer) {
        line("wrestool -x -t2 -o DIR FILE", peer);
    } else {
        std::printf("wrestool not found (Debian: apt-get install icoutils): no wrestool figure\n");
    }
    std::printf("each round, in turn (s):");
    for (std::size_t run = 0; run < allTimes.size(); ++run) {
        std::printf("  all %.2f extract %.2f range %.2f", allTimes[run], extractTimes[run],
                    rangeTimes[run]);
        if (havePeer) std::printf(" wrestool %.2f", peerTimes[run]);
        std::printf(";");
    }
    std::printf("\n");
    fs::remove_all(dir);
    return 0;
}
