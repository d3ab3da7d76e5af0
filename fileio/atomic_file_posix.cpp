// POSIX side of the atomic replacement: a new temporary file in the
// destination's folder, fsync, rename(2), fsync of the folder; a copy skips
// both fsyncs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_faults.h"
#include "fileio/live_files.h"
#include "fileio/wide_path.h"

namespace {

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A new file of a name of its own in folder, opened for writing with O_EXCL
// and mode 0666 less the umask, as any new file gets: unlike mkstemp's 0600,
// a new file then needs no chmod, which counts when an export writes
// thousands.
int CreateTemporary(const std::string& folder, std::string& temp) {
    static std::atomic<std::uint32_t> serial{0};
    static const std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 32);
    for (int attempt = 0; attempt < 64; ++attempt) {
        // Unique within the process by the serial, across processes by the
        // seed; a clash with a stale file only costs another attempt.
        char name[48];
        std::snprintf(name, sizeof name, ".orvix-%016llx-%x",
                      static_cast<unsigned long long>(seed + static_cast<std::uint64_t>(attempt)),
                      static_cast<unsigned>(serial.fetch_add(1)));
        temp = folder + (folder.back() == '/' ? "" : "/") + name;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Records why a write failed; code is an errno value, or not positive when
// the failure has no words of the system's (an abandoned or injected one).
bool Failed(int code) {
    AtomicWriteError& error = CurrentAtomicWriteError();
    error.refusal = WriteRefusal::System;
    if (code > 0) error.reason = std::strerror(code);
    return false;
}

// Replacing a symbolic link replaces the file it names, in that file's own
// folder, and the link stays a link: renaming over the link would turn it
// into a plain file and leave its target as it was. A dangling link is
// followed too, so the write makes the file it names.
bool FollowLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) +
                                 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return false;
        // A link that grew since the lstat: read it again with more room.
        if (static_cast<std::size_t>(n) >= target.size()) continue;
        const std::string link(target.data(), static_cast<std::size_t>(n));
        const std::string::size_type slash = path.rfind('/');
        path = link.starts_with('/') || slash == std::string::npos
                   ? link
                   : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce, Flush flush) {
    AtomicWriteError& error = CurrentAtomicWriteError();
    error = {};
    std::string dest;
    try {
        // wchar_t is UTF-32 here; the char32_t form converts to UTF-8 whatever
        // the process locale (the wchar_t form refuses non-ASCII under "C").
        dest = WidePath(path).string();
    } catch (...) {
        return false;  // not representable as a file-system name
    }
    if (dest.empty() || dest.back() == '/') return false;
    if (!FollowLinks(dest)) return Failed(errno);

    struct stat existing {};
    const bool replacing = ::stat(dest.c_str(), &existing) == 0;
    if (replacing && S_ISREG(existing.st_mode)) {
        // Root may write anything, so a file nobody may write is read-only
        // for root too.
        if ((existing.st_mode & 0222) == 0 ||
            (::faccessat(AT_FDCWD, dest.c_str(), W_OK, AT_EACCESS) != 0 &&
             (errno == EACCES || errno == EPERM || errno == EROFS))) {
            error.refusal = WriteRefusal::ReadOnly;
            return false;
        }
        if (existing.st_nlink > 1) {
            error.refusal = WriteRefusal::HardLinks;
            error.links = static_cast<std::uint64_t>(existing.st_nlink);
            return false;
        }
    }

    std::string::size_type slash = dest.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : dest.substr(0, slash + 1);
    std::string temp;
    const bool flushHere = flush == Flush::ToDisk;

    int fd = -1, slot = -1;
    {
        InterruptHold hold;
        fd = CreateTemporary(folder, temp);
        if (fd < 0) return Failed(errno);
        slot = EnlistLiveFile(temp);
    }

    int failure = 0;
    const auto fail = [&failure](int code) {
        if (failure == 0) failure = code;
        return false;
    };
    // The replacement keeps the owner, group and permissions of the file it
    // replaces; a new file keeps the usual 0666 less the umask. Only root may
    // give a file away: anyone else keeps the group when they belong to it,
    // and the new file is theirs. The owner goes first, since chown clears
    // the set-ID bits that the mode then puts back.
    if (replacing) {
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
                (void)::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
            }
        }
        if (::fchmod(fd, existing.st_mode & 07777) != 0) fail(errno);
    }

    long long written = 0;
    AtomicWriteSink sink = [&](std::span<const std::uint8_t> bytes) {
        if (failure != 0) return false;
        if (InjectedAtomicWriteFaults().failAfterBytes >= 0 &&
            written + static_cast<long long>(bytes.size()) >
                InjectedAtomicWriteFaults().failAfterBytes) {
            return fail(-1);
        }
        if (!WriteAll(fd, bytes.data(), bytes.size())) return fail(errno);
        written += static_cast<long long>(bytes.size());
        return true;
    };
    if (!produce(sink)) fail(-1);
    if (failure == 0 && flushHere) {
        if (InjectedAtomicWriteFaults().failFlush) fail(-1);
        if (failure == 0 && ::fsync(fd) != 0) fail(errno);
    }
    if (::close(fd) != 0) fail(errno);
    if (failure == 0 && InjectedAtomicWriteFaults().failRename) fail(-1);
    const bool renamed = SettleLiveFile(slot, [&] {
        if (failure == 0 && ::rename(temp.c_str(), dest.c_str()) == 0) return true;
        if (failure == 0) fail(errno);
        ::unlink(temp.c_str());
        return false;
    });
    if (!renamed) return Failed(failure);
    if (!flushHere) return true;
    // Make the rename itself durable; failing here cannot undo it, so it is
    // best effort.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
