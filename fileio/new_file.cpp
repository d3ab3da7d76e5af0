#include "fileio/new_file.h"

#include <exception>
#include <filesystem>
#include <string>

#include "fileio/atomic_file.h"

#include "fileio/atomic_file_faults.h"
#include "fileio/live_files.h"
#include "fileio/wide_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

// The injected write fault of the atomic writer applies here too, so that a
// test can fail a run of new files part way.
bool FaultBefore(std::size_t bytes) {
    const long long limit = InjectedAtomicWriteFaults().failAfterBytes;
    return limit >= 0 && static_cast<long long>(bytes) > limit;
}

}  // namespace

#ifdef _WIN32

bool WriteNewFile(const std::wstring& path, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body) {
    CurrentAtomicWriteError() = {};
    const std::wstring full = ExtendedLengthPath(path);
    if (full.empty() || head.size() > MAXDWORD || body.size() > MAXDWORD) return false;
    // Shared for deletion so that an interrupt can take the name away.
    HANDLE file = INVALID_HANDLE_VALUE;
    int slot = -1;
    {
        InterruptHold hold;
        file = CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            RecordWin32Failure(GetLastError());
            return false;
        }
        slot = EnlistLiveFile(full);
    }
    bool ok = !FaultBefore(head.size() + body.size());
    for (const auto piece : {head, body}) {
        DWORD written = 0;
        ok = ok &&
             WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) &&
             written == piece.size();
    }
    const DWORD failure = ok ? 0 : GetLastError();
    if (!CloseHandle(file)) ok = false;
    if (!ok) RecordWin32Failure(failure);
    return SettleLiveFile(slot, [&] {
        if (!ok) DeleteFileW(full.c_str());
        return ok;
    });
}

#else

bool WriteNewFile(const std::wstring& path, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body) {
    std::string name;
    try {
        name = WidePath(path).string();
    } catch (const std::exception&) {
        return false;  // not representable as a file-system name
    }
    AtomicWriteError& error = CurrentAtomicWriteError();
    error = {WriteRefusal::System, 0, ""};
    int fd = -1, slot = -1;
    {
        InterruptHold hold;
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error.reason = std::strerror(errno);
            return false;
        }
        slot = EnlistLiveFile(name);
    }
    bool ok = !FaultBefore(head.size() + body.size());
    // One call for both pieces; a short write goes on from where it stopped.
    iovec pieces[2] = {{const_cast<std::uint8_t*>(head.data()), head.size()},
                       {const_cast<std::uint8_t*>(body.data()), body.size()}};
    int first = 0;
    while (ok && first < 2) {
        const ssize_t n = ::writev(fd, pieces + first, 2 - first);
        if (n < 0) {
            ok = errno == EINTR;
            if (!ok) error.reason = std::strerror(errno);
            continue;
        }
        std::size_t done = static_cast<std::size_t>(n);
        while (first < 2 && done >= pieces[first].iov_len) {
            done -= pieces[first].iov_len;
            ++first;
        }
        if (first < 2) {
            pieces[first].iov_base = static_cast<std::uint8_t*>(pieces[first].iov_base) + done;
            pieces[first].iov_len -= done;
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error.reason = std::strerror(errno);
    }
    return SettleLiveFile(slot, [&] {
        if (!ok) ::unlink(name.c_str());
        if (ok) error = {};
        return ok;
    });
}

#endif

bool WriteCopyFile(const std::wstring& path, std::span<const std::uint8_t> head,
                   std::span<const std::uint8_t> body) {
    if (WriteNewFile(path, head, body)) return true;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(WidePath(path), ec))) return false;
    return WriteFileAtomically(
        path, [&](const AtomicWriteSink& sink) { return sink(head) && sink(body); }, Flush::AsCopy);
}
