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
#include <functional>
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
    DibPayload p(bytes, static_cast<std::uint8_t>(id));
    std::fill(p.begin(), p.begin() + 40, 0);
    PutU32(p.data(), 40);
    PutU32(p.data() + 4, 1);
    PutU32(p.data() + 8, static_cast<std::uint32_t>((bytes - 40) / 4));
    PutU16(p.data() + 12, 1);
    PutU16(p.data() + 14, 32);
    return p;
}

// Median seconds of a shell command, or -1 when a run failed. before() runs
// untimed ahead of each run (a fresh output folder).
double Median(const std::string& command, int runs, const std::function<void()>& before = {}) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        if (before) before();
        ::sync();  // the last run's files are not this run's to flush
        const double t0 = Now();
        if (std::system(command.c_str()) != 0) return -1;
        times.push_back(Now() - t0);
    }
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
        const std::string f = "'" + file.string() + "'", o = "'" + out.string() + "'";
        const auto fresh = [&] {
            fs::remove_all(out);
            fs::create_directories(out);
        };
        std::printf("%d bitmaps of %zu KiB (%.0f MiB)\n", size.count, size.bytes / 1024,
                    static_cast<double>(fs::file_size(file)) / (1 << 20));

        const double peerList = havePeer ? Median("wrestool -l " + f + " >/dev/null", 5) : -1;
        Line("obktool list", Median(tool + " list " + f + " >/dev/null", 5), peerList);
        Line("wrestool -l", peerList, peerList);

        const double peerExtract =
            havePeer ? Median("wrestool -x -t2 -o " + o + " " + f, 3, fresh) : -1;
        Line("obktool extract (all)", Median(tool + " extract -q " + f + " -o " + o, 3, fresh),
             peerExtract);
        Line("wrestool -x -t2", peerExtract, peerExtract);

        // The folder of the last extract is the input of new and import.
        fresh();
        if (std::system((tool + " extract -q " + f + " -o " + o).c_str()) != 0) return 1;
        const std::string m = "'" + made.string() + "'";
        Line("obktool new --from DIR", Median(tool + " new -q --force " + m + " --from " + o, 3),
             -1);
        Line("obktool import (into a blank container)",
             Median(tool + " import -q '" + blank.string() + "' " + o + " -o " + m, 3), -1);
        fs::remove_all(out);
    }
    fs::remove_all(dir);
    return 0;
}
