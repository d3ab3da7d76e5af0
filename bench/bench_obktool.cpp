// obktool beside the tool a Linux user would otherwise pick, wrestool
// (Debian's icoutils), as whole processes on the same files: list, and
// extract of every bitmap, on a 65,535 x 1 KiB and a 10,000 x 16 KiB
// container; then obktool new and import from the extracted folder, whose
// peer figure is the platform's resource update (orvix_bench_obktool.exe
// under Wine). Each figure is the median of several runs.
//
// Usage: orvix_bench_obktool [folder [obktool]]   (default: the temporary
// folder and the obktool of this build)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "fileio/byte_order.h"

namespace fs = std::filesystem;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A 32-bit bitmap one pixel wide, bytes long in all.
DibPayload Dib(int id, std::size_t bytes) {
    std::vector<std::uint8_t> p(bytes, static_cast<std::uint8_t>(id));
    std::fill(p.begin(), p.begin() + 40, 0);
    PutU32(p.data(), 40);
    PutU32(p.data() + 4, 1);
    PutU32(p.data() + 8, static_cast<std::uint32_t>((bytes - 40) / 4));
    PutU16(p.data() + 12, 1);
    PutU16(p.data() + 14, 32);
    return p;
}

// Seconds of one run of a shell command, or -1 when it failed; the files of
// earlier runs are flushed first, so that their writing is not timed.
double Time(const std::string& command) {
    ::sync();
    const double t0 = Now();
    if (std::system(command.c_str()) != 0) return -1;
    return Now() - t0;
}

double Median(std::vector<double> times) {
    if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) return -1;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Line(const char* what, double seconds, double peer) {
    if (seconds < 0) {
        std::printf("  %-40s failed\n", what);
    } else if (peer > 0) {
        std::printf("  %-40s %7.3f s  %5.2fx wrestool\n", what, seconds, seconds / peer);
    } else {
        std::printf("  %-40s %7.3f s\n", what, seconds);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tool = "'" + fs::absolute(argc > 2 ? argv[2] : OBKTOOL).string() + "'";
    const fs::path dir =
        (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "orvix-bench-obktool";
    fs::create_directories(dir);
    const bool havePeer = std::system("command -v wrestool >/dev/null 2>&1") == 0;
    if (!havePeer) std::printf("wrestool not found (Debian: icoutils): no peer figures\n");

    struct Size {
        int count;
        std::size_t bytes;
    };
    for (const Size size : {Size{65535, 1024}, Size{10000, 16384}}) {
        const fs::path blank = dir / "blank.obk", file = dir / "bench.obk";
        const fs::path out = dir / "out", made = dir / "made.obk";
        {
            ContainerDoc doc;
            doc.path = blank.wstring();
            for (int id = 1; id <= size.count; ++id)
                doc.bitmaps[id] = Dib(id, size.bytes);
            if (!WriteBlankContainer(blank.wstring(), false) ||
                !SaveContainer(doc, file.wstring())) {
                std::printf("could not write the container\n");
                return 1;
            }
        }
        const std::string f = "'" + file.string() + "'", o = "'" + out.string();
        std::printf("%d bitmaps of %zu KiB (%.0f MiB), median of 5 runs, alternating\n", size.count,
                    size.bytes / 1024, static_cast<double>(fs::file_size(file)) / (1 << 20));
        // Runs alternate, so that a busy spell of a shared machine falls on
        // both tools. Each extract goes into a folder of its own, all removed
        // at the end: removing 65,535 files leaves the file system work that
        // would otherwise land in the next run's time.
        std::vector<double> list, peerList, extract, peerExtract;
        for (int run = 0; run < 5; ++run) {
            const std::string n = std::to_string(run) + "'";
            if (havePeer) peerList.push_back(Time("wrestool -l " + f + " >/dev/null"));
            list.push_back(Time(tool + " list " + f + " >/dev/null"));
            if (havePeer) {
                fs::create_directories(out.string() + "w" + std::to_string(run));
                peerExtract.push_back(Time("wrestool -x -t2 -o " + o + "w" + n + " " + f));
            }
            extract.push_back(Time(tool + " extract -q " + f + " -o " + o + n));
        }
        const double peerL = havePeer ? Median(peerList) : -1;
        const double peerX = havePeer ? Median(peerExtract) : -1;
        Line("obktool list", Median(list), peerL);
        Line("wrestool -l", peerL, peerL);
        Line("obktool extract (all)", Median(extract), peerX);
        Line("wrestool -x -t2", peerX, peerX);

        // The folder of the first extract is the input of new and import.
        const std::string from = o + "0'", m = "'" + made.string() + "'";
        std::vector<double> made3, imported;
        for (int run = 0; run < 3; ++run) {
            made3.push_back(Time(tool + " new -q --force " + m + " --from " + from));
            imported.push_back(
                Time(tool + " import -q '" + blank.string() + "' " + from + " -o " + m));
        }
        Line("obktool new --from DIR", Median(made3), -1);
        Line("obktool import (into a blank container)", Median(imported), -1);
        for (int run = 0; run < 5; ++run) {
            fs::remove_all(out.string() + std::to_string(run));
            fs::remove_all(out.string() + "w" + std::to_string(run));
        }
    }
    fs::remove_all(dir);
    return 0;
}
