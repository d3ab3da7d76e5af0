// POSIX side of the atomic replacement: a new temporary file in the
// destination's folder, fsync, rename(2). A batch on Linux skips both fsyncs and ends with one
// syncfs(2) per file system written to.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_faults.h"
#include "fileio/wide_path.h"

namespace {

#if defined(__linux__)
// syncfs reports writeback errors only since Linux 5.8, and only those seen
// after the descriptor it is given was opened; the batch opens its folder
// before the first file goes there so no error of its own writes is missed.
constexpr bool kBatchSyncsFileSystem = true;
#else
// Elsewhere there is no flush of a whole file system that reports errors, so
// a batch flushes each file as a lone write does.
constexpr bool kBatchSyncsFileSystem = false;
#endif

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

}  // namespace

struct AtomicWriteBatch::Pending {
    std::string lastFolder;
    // One open folder per file system written to, with its device.
    std::vector<std::pair<dev_t, int>> fileSystems;

    void Close() {
        for (const auto& fileSystem : fileSystems)
            ::close(fileSystem.second);
        fileSystems.clear();
        lastFolder.clear();
    }

    bool Enroll(const std::string& folder) {
        // Exports write a whole run into one folder: one comparison, no stat.
        if (!fileSystems.empty() && folder == lastFolder) return true;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            ::close(fd);
            return false;
        }
        lastFolder = folder;
        for (const auto& fileSystem : fileSystems) {
            if (fileSystem.first == info.st_dev) {
                ::close(fd);
                return true;
            }
        }
        fileSystems.emplace_back(info.st_dev, fd);
        return true;
    }
};

AtomicWriteBatch::Pending& PendingOf(AtomicWriteBatch& batch) {
    return *batch.pending_;
}

AtomicWriteBatch::AtomicWriteBatch() : pending_(std::make_unique<Pending>()) {}

AtomicWriteBatch::~AtomicWriteBatch() {
    pending_->Close();
}

bool AtomicWriteBatch::Commit() {
    bool ok = !InjectedAtomicWriteFaults().failBatchSync;
#if defined(__linux__)
    for (const auto& fileSystem : pending_->fileSystems) {
        if (::syncfs(fileSystem.second) != 0) ok = false;
    }
#endif
    pending_->Close();
    return ok;
}

bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce,
                         AtomicWriteBatch* batch) {
    std::string dest;
    try {
        // wchar_t is UTF-32 here; the char32_t form converts to UTF-8 whatever
        // the process locale (the wchar_t form refuses non-ASCII under "C").
        dest = WidePath(path).string();
    } catch (...) {
        return false;  // not representable as a file-system name
    }
    if (dest.empty() || dest.back() == '/') return false;

    std::string::size_type slash = dest.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : dest.substr(0, slash + 1);
    std::string temp;
    const bool flushHere = batch == nullptr || !kBatchSyncsFileSystem;
    if (!flushHere && !PendingOf(*batch).Enroll(folder)) return false;

    const int fd = CreateTemporary(folder, temp);
    if (fd < 0) return false;

    // Keep the permissions of the file being replaced; a new file keeps the
    // usual 0666 less the umask it was created with.
    struct stat existing {};
    if (::stat(dest.c_str(), &existing) == 0) ::fchmod(fd, existing.st_mode & 07777);

    bool ok = true;
    long long written = 0;
    AtomicWriteSink sink = [&](std::span<const std::uint8_t> bytes) {
        if (!ok) return false;
        if (InjectedAtomicWriteFaults().failAfterBytes >= 0 &&
            written + static_cast<long long>(bytes.size()) >
                InjectedAtomicWriteFaults().failAfterBytes) {
            ok = false;
            return false;
        }
        if (!WriteAll(fd, bytes.data(), bytes.size())) {
            ok = false;
            return false;
        }
        written += static_cast<long long>(bytes.size());
        return true;
    };
    if (!produce(sink)) ok = false;
    if (ok && flushHere && (InjectedAtomicWriteFaults().failFlush || ::fsync(fd) != 0)) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && InjectedAtomicWriteFaults().failRename) ok = false;
    if (ok && ::rename(temp.c_str(), dest.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
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
