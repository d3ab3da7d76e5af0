// What the benchmarks share: the clock, the bitmaps and containers they time,
// the command line, and the way figures, rounds and ratios are printed. The
// POSIX part holds the plain system loops the native programs set their
// figures beside.
#pragma once

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

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace bench {

namespace fs = std::filesystem;

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline std::wstring TempPath(const std::wstring& leaf) {
    return (fs::temp_directory_path() / leaf).wstring();
}

// A 32-bit bitmap one pixel wide, bytes long in all, its pixels varied by
// id; never shorter than its header and one pixel.
inline DibPayload Dib(int id, std::size_t bytes) {
    bytes = std::max<std::size_t>(bytes, 44);
    std::vector<std::uint8_t> p(bytes, static_cast<std::uint8_t>(id));
    std::fill(p.begin(), p.begin() + 40, std::uint8_t{0});
    PutU32(p.data(), 40);
    PutU32(p.data() + 4, 1);
    PutU32(p.data() + 8, static_cast<std::uint32_t>((bytes - 40) / 4));
    PutU16(p.data() + 12, 1);
    PutU16(p.data() + 14, 32);
    return p;
}

// Bitmaps 1 to count, bytes each.
inline BitmapStore NumberedStore(int count, std::size_t bytes) {
    BitmapStore store;
    for (int id = 1; id <= count; ++id)
        store[id] = Dib(id, bytes);
    return store;
}

// A container of NumberedStore(count, bytes) at file, through a blank image
// written at blank, as the New command makes one.
inline bool WriteContainer(const fs::path& blank, const fs::path& file, int count,
                           std::size_t bytes) {
    ContainerDoc doc;
    doc.path = blank.wstring();
    doc.bitmaps = NumberedStore(count, bytes);
    return WriteBlankContainer(blank.wstring(), false) && SaveContainer(doc, file.wstring());
}

// The median, or -1 when a run failed (took -1).
inline double Median(std::vector<double> times) {
    if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) return -1;
    std::sort(times.begin(), times.end());
    const std::size_t half = times.size() / 2;
    return times.size() % 2 == 1 ? times[half] : (times[half - 1] + times[half]) / 2;
}

inline void Figure(const char* what, double seconds) {
    std::printf("%-56s %9.1f ms\n", what, seconds * 1e3);
}

inline void Report(const char* what, double seconds, double target) {
    std::printf("%-56s %9.1f ms  (%.2f of the %.0f ms target)\n", what, seconds * 1e3,
                seconds / target, target * 1e3);
}

// Ours against a plain peer, round by round: every round is printed, then
// the medians and the median of the rounds' ratios, which a busy spell of a
// shared machine disturbs least, as both sides of a round share it.
inline void PrintJudge(const char* title, const char* ours, const std::vector<double>& oursTimes,
                       const char* peer, const std::vector<double>& peerTimes, double targetRatio) {
    std::printf("  %s (target: at most %.2fx)\n", title, targetRatio);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < oursTimes.size() && i < peerTimes.size(); ++i) {
        const bool ran = oursTimes[i] >= 0 && peerTimes[i] > 0;
        ratios.push_back(ran ? oursTimes[i] / peerTimes[i] : -1);
        if (ran) {
            std::printf("    round %zu: %s %8.3f s, %s %8.3f s, %5.2fx\n", i + 1, ours,
                        oursTimes[i], peer, peerTimes[i], ratios.back());
        } else {
            std::printf("    round %zu: FAILED\n", i + 1);
        }
    }
    const double ratio = Median(ratios);
    if (ratio < 0) {
        std::printf("    median: FAILED\n");
        return;
    }
    std::printf("    median: %s %8.3f s, %s %8.3f s, ratio %5.2fx (%.2f of the target)\n", ours,
                Median(oursTimes), peer, Median(peerTimes), ratio, ratio / targetRatio);
}

// The command line of a benchmark: numbers first (the bitmap count, then
// the rounds), then words (a folder, a tool), each optional.
struct Args {
    int count;
    int rounds;
    std::vector<std::string> words;

    std::string Word(std::size_t i, const std::string& otherwise) const {
        return i < words.size() ? words[i] : otherwise;
    }
};

inline Args ParseArgs(int argc, char** argv, int count, int rounds) {
    Args args{count, rounds, {}};
    int numbers = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool number =
            !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
        if (number && args.words.empty() && numbers < 2) {
            (numbers++ == 0 ? args.count : args.rounds) = std::clamp(std::atoi(argv[i]), 1, 65535);
        } else {
            args.words.push_back(word);
        }
    }
    return args;
}

#ifndef _WIN32

// An empty folder of that name; the removal of what an earlier run left is
// flushed here, so that no later timing pays for it.
inline void FreshFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    ::sync();
}

// Seconds of one run of a shell command, or -1 when it failed; the files of
// earlier runs are flushed first, so that their writing is not timed.
// The shell starts through posix_spawn, which shares the benchmark's memory
// instead of copying its page tables as std::system's fork does: a benchmark
// holding hundreds of megabytes would otherwise add its own size to the time.
inline double TimeCommand(const std::string& command) {
    ::sync();
    const double t0 = Now();
    std::string shell = "/bin/sh", flag = "-c", text = command;
    char* argv[] = {shell.data(), flag.data(), text.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return Now() - t0;
}

inline bool Fsync(const fs::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The least a tool that writes files can do: create each (it must not
// exist), write its bytes at once, close it. Seconds, or -1 on a failure.
inline double CreateFilesOnly(const std::vector<std::string>& paths,
                              const std::vector<std::vector<std::uint8_t>>& contents) {
    ::sync();
    const double t0 = Now();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const int fd = ::open(paths[i].c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return -1;
        const ssize_t written = ::write(fd, contents[i].data(), contents[i].size());
        if (::close(fd) != 0 || written != static_cast<ssize_t>(contents[i].size())) return -1;
    }
    return Now() - t0;
}

// What cp and a flush of the copy cost: read from, write a new to, fsync it.
// An earlier copy is removed, and the removal flushed, before the clock runs.
// over: the copy replaces an earlier one in place, as cp does onto an
// existing file, so that freeing its old blocks is inside the time too, as it
// is for a command that replaces a file.
inline double CopyAndFsync(const fs::path& from, const fs::path& to, bool over = false) {
    fs::remove(to);
    if (over) fs::copy_file(from, to);
    ::sync();
    const double t0 = Now();
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out =
        ::open(to.c_str(), O_WRONLY | O_CLOEXEC | (over ? O_TRUNC : O_CREAT | O_EXCL), 0666);
    bool ok = in >= 0 && out >= 0;
    // The buffer cp reads and writes through.
    std::vector<char> buffer(std::size_t{256} << 10);
    while (ok) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0) ok = ::close(out) == 0 && ok;
    return ok ? Now() - t0 : -1;
}

#endif

}  // namespace bench
