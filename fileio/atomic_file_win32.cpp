// Windows side of the atomic replacement: a uniquely named file in the
// destination's folder, FlushFileBuffers, then ReplaceFileW over an existing
// target (which keeps its attributes, security and creation time) or
// MoveFileExW to a new name. Both go by their \\?\ paths: the temporary name
// is longer than most final names, and a destination just short of MAX_PATH
// would otherwise leave it no room. A copy skips the flush.
#include <windows.h>

#include <cwchar>
#include <string>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_faults.h"
#include "fileio/live_files.h"
#include "fileio/wide_path.h"

void RecordWin32Failure(unsigned long code) {
    AtomicWriteError& error = CurrentAtomicWriteError();
    error.refusal = WriteRefusal::System;
    error.reason.clear();
    wchar_t* text = nullptr;
    if (code == 0 ||
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) == 0) {
        return;
    }
    std::wstring words(text);
    LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                              words.back() == L'.' || words.back() == L' ')) {
        words.pop_back();
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()),
                                      nullptr, 0, nullptr, nullptr);
    error.reason.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, words.data(), static_cast<int>(words.size()),
                            error.reason.data(), n, nullptr, nullptr);
    }
}

namespace {

bool Failed(DWORD code) {
    RecordWin32Failure(code);
    return false;
}

// The file a symbolic link names, as a \\?\ path; the link stays a link and
// the replacement goes beside its target. Other paths are left as they are.
void FollowLink(std::wstring& dest, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return;
    HANDLE file = CreateFileW(dest.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::wstring final(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (n > 0 && n < final.size()) dest = final.substr(0, n);
}

// How many names the file has; 1 when that cannot be told.
DWORD LinkCount(const std::wstring& dest) {
    HANDLE file = CreateFileW(dest.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD links = GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 1;
    CloseHandle(file);
    return links;
}

}  // namespace

bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce, Flush flush) {
    AtomicWriteError& error = CurrentAtomicWriteError();
    error = {};
    if (path.empty() || path.back() == L'\\' || path.back() == L'/') return false;
    std::wstring dest = ExtendedLengthPath(path);
    DWORD attributes = GetFileAttributesW(dest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        FollowLink(dest, attributes);
        attributes = GetFileAttributesW(dest.c_str());
    }
    const bool replacing =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (replacing && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error.refusal = WriteRefusal::ReadOnly;
        return false;
    }
    if (replacing) {
        if (const DWORD links = LinkCount(dest); links > 1) {
            error.refusal = WriteRefusal::HardLinks;
            error.links = links;
            return false;
        }
    }
    const std::wstring::size_type slash = dest.find_last_of(L'\\');
    if (dest.empty() || slash == std::wstring::npos) return false;
    const std::wstring folder = dest.substr(0, slash + 1);

    // Shared for deletion so that an interrupt can take the name away.
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring temp;
    static unsigned counter = 0;
    int slot = -1;
    {
        InterruptHold hold;
        for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
            wchar_t name[48];
            std::swprintf(name, 48, L".orvix-%08lx-%x", GetCurrentProcessId(), ++counter);
            temp = folder + name;
            file = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
                return Failed(GetLastError());
            }
        }
        if (file == INVALID_HANDLE_VALUE) return Failed(ERROR_FILE_EXISTS);
        slot = EnlistLiveFile(temp);
    }

    DWORD failure = 0;
    bool ok = true;
    const auto fail = [&](DWORD code) {
        if (ok) failure = code;
        ok = false;
        return false;
    };
    long long written = 0;
    AtomicWriteSink sink = [&](std::span<const std::uint8_t> bytes) {
        if (!ok) return false;
        if (InjectedAtomicWriteFaults().failAfterBytes >= 0 &&
            written + static_cast<long long>(bytes.size()) >
                InjectedAtomicWriteFaults().failAfterBytes) {
            return fail(0);
        }
        const std::uint8_t* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
            DWORD done = 0;
            if (!WriteFile(file, data, chunk, &done, nullptr)) return fail(GetLastError());
            if (done != chunk) return fail(ERROR_DISK_FULL);
            data += done;
            left -= done;
        }
        written += static_cast<long long>(bytes.size());
        return true;
    };
    if (!produce(sink)) fail(0);
    const bool toDisk = flush == Flush::ToDisk;
    if (ok && toDisk && InjectedAtomicWriteFaults().failFlush) fail(0);
    if (ok && toDisk && !FlushFileBuffers(file)) fail(GetLastError());
    if (!CloseHandle(file)) fail(GetLastError());
    if (ok && InjectedAtomicWriteFaults().failRename) fail(0);
    return SettleLiveFile(slot, [&] {
        if (ok && replacing &&
            !ReplaceFileW(dest.c_str(), temp.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                          nullptr)) {
            // ReplaceFileW can fail after the old file has left its name
            // (ERROR_UNABLE_TO_MOVE_REPLACEMENT); the new one, whole and
            // flushed, then takes the name rather than leave none there.
            const DWORD code = GetLastError();
            if (GetFileAttributesW(dest.c_str()) != INVALID_FILE_ATTRIBUTES ||
                !MoveFileExW(temp.c_str(), dest.c_str(), toDisk ? MOVEFILE_WRITE_THROUGH : 0)) {
                fail(code);
            }
        } else if (ok && replacing) {
            // ReplaceFileW keeps the old file's attributes on Windows, not
            // everywhere its API is offered; they are put back where lost.
            constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
            const DWORD now = GetFileAttributesW(dest.c_str());
            if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (attributes & kKept)) {
                SetFileAttributesW(dest.c_str(), (now & ~kKept) | (attributes & kKept));
            }
        } else if (ok && !replacing &&
                   !MoveFileExW(
                       temp.c_str(), dest.c_str(),
                       MOVEFILE_REPLACE_EXISTING | (toDisk ? MOVEFILE_WRITE_THROUGH : 0))) {
            fail(GetLastError());
        }
        if (!ok) {
            DeleteFileW(temp.c_str());
            RecordWin32Failure(failure);
        }
        return ok;
    });
}
