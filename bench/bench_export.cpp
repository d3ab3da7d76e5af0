// Exports every bitmap of a 65,535 x 1 KiB container into a fresh folder and
// sets the time beside what wrestool (icoutils) needs to extract the same
// bitmaps from the same file, the tool people compare an export with. Each
// figure is the median of three runs, each into a folder of its own; ours
// include loading the container, as the other tool's whole process does.
// The three take turns round by round.
//
// Usage: orvix_bench_export [folder]   (default: the temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bitmaps/bitmap_codec.h"
#include "bitmaps/export_all.h"
#include "bitmaps/export_range.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "fileio/byte_order.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCount = 65535;
constexpr int kRuns = 3;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// 1 x 246 at 32 bits: a 40-byte header and 984 bytes of pixels, 1 KiB.
DibPayload OneKiBDib(int id) {
    std::vector<std::uint8_t> p(1024, static_cast<std::uint8_t>(id));
    std::fill(p.begin(), p.begin() + 40, 0);
    PutU32(p.data(), 40);
    PutU32(p.data() + 4, 1);
    PutU32(p.data() + 8, 246);
    PutU16(p.data() + 12, 1);
    PutU16(p.data() + 14, 32);
    return p;
}

std::size_t FilesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// Seconds of one run of work into a fresh folder, or -1 when it failed or
// left other than kCount files.
double TimeOnce(const fs::path& out, const std::function<bool(const fs::path&)>& work) {
    fs::remove_all(out);
    fs::create_directories(out);
    // The removal of the last run's files is not this run's to flush.
    ::sync();
    const double t0 = Now();
    const bool ok = work(out);
    const double seconds = Now() - t0;
    return ok && FilesIn(out) == kCount ? seconds : -1;
}

double Median(std::vector<double> times) {
    if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) return -1;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "orvix-bench";
    fs::create_directories(dir);
    const fs::path blank = dir / "blank.obk";
    const fs::path container = dir / "export.obk";
    const fs::path out = dir / "out";

    {
        ContainerDoc doc;
        doc.path = blank.wstring();
        for (int id = 1; id <= kCount; ++id)
            doc.bitmaps[id] = OneKiBDib(id);
        if (!WriteBlankContainer(blank.wstring(), false) ||
            !SaveContainer(doc, container.wstring())) {
            std::printf("could not write the container\n");
            return 1;
        }
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
    const Work range = loaded([](const ContainerDoc& doc, const fs::path& folder) {
        return ExportBitmapsInRange(doc, folder.wstring(), 1, kCount).exported == kCount;
    });
    // What one Export Bitmap per file costs, each write flushed on its own:
    // the figure before batches.
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
    const bool havePeer = std::system("command -v wrestool >/dev/null 2>&1") == 0;
    const Work peerWork = [&](const fs::path& folder) {
        const std::string command =
            "wrestool -x -t2 -o '" + folder.string() + "' '" + container.string() + "'";
        return std::system(command.c_str()) == 0;
    };
    // The contenders take turns in every round, so that a file system that
    // slows down as runs go by, or another program's writes that the final
    // flush takes along, weigh on each of them alike.
    std::vector<double> allTimes, rangeTimes, peerTimes;
    for (int run = 0; run < kRuns; ++run) {
        allTimes.push_back(TimeOnce(out, all));
        rangeTimes.push_back(TimeOnce(out, range));
        if (havePeer) peerTimes.push_back(TimeOnce(out, peerWork));
    }
    fs::remove_all(out);
    const double peer = havePeer ? Median(peerTimes) : -1;
    // A minute a run where each file is flushed: run once.
    const double loneTime = Median({TimeOnce(out, lone)});
    fs::remove_all(out);

    std::printf("%d bitmaps of 1 KiB, median of %d runs, each into an empty folder\n", kCount,
                kRuns);
    const auto line = [&](const char* what, double seconds) {
        if (seconds < 0) {
            std::printf("%-34s failed\n", what);
        } else if (peer > 0) {
            std::printf("%-34s %8.2f s  %5.2fx wrestool\n", what, seconds, seconds / peer);
        } else {
            std::printf("%-34s %8.2f s\n", what, seconds);
        }
    };
    line("Export All (load + export)", Median(allTimes));
    line("Export Range 1-65535", Median(rangeTimes));
    line("each file flushed on its own (1 run)", loneTime);
    if (havePeer) {
        line("wrestool -x -t2 -o DIR FILE", peer);
    } else {
        std::printf("wrestool not found (Debian: apt-get install icoutils): no peer figure\n");
    }
    std::printf("each round, in turn (s):");
    for (int run = 0; run < kRuns; ++run) {
        std::printf("  all %.2f range %.2f", allTimes[static_cast<std::size_t>(run)],
                    rangeTimes[static_cast<std::size_t>(run)]);
        if (havePeer) std::printf(" wrestool %.2f", peerTimes[static_cast<std::size_t>(run)]);
        std::printf(";");
    }
    std::printf("\n");
    fs::remove_all(dir);
    return 0;
}
