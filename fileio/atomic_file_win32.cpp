// Windows side of the atomic replacement: a uniquely named file in the
// destination's folder, FlushFileBuffers, then MoveFileExW over the target.
// Both go by their \\?\ paths: the temporary name is longer than most final
// names, and a destination just short of MAX_PATH would otherwise leave it
// no room. A batch flushes each file all the same: FlushFileBuffers of one
// file is the only flush Windows offers without administrator rights (a
// volume handle needs them), so only the report of the batch is deferred.
#include <windows.h>

#include <string>

#include "fileio/atomic_file.h"
#include "fileio/atomic_file_faults.h"
#include "fileio/wide_path.h"

struct AtomicWriteBatch::Pending {};

AtomicWriteBatch::AtomicWriteBatch() : pending_(std::make_unique<Pending>()) {}
AtomicWriteBatch::~AtomicWriteBatch() = default;

bool AtomicWriteBatch::Commit() {
    return !InjectedAtomicWriteFaults().failBatchSync;
}

bool WriteFileAtomically(const std::wstring& path,
                         const std::function<bool(const AtomicWriteSink&)>& produce,
                         AtomicWriteBatch*) {
    if (path.empty() || path.back() == L'\\' || path.back() == L'/') return false;
    const std::wstring dest = ExtendedLengthPath(path);
    const std::wstring::size_type slash = dest.find_last_of(L'\\');
    if (dest.empty() || slash == std::wstring::npos) return false;
    const std::wstring folder = dest.substr(0, slash + 1);

    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring temp;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = folder + L"~orvix" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter) + L".tmp";
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (file == INVALID_HANDLE_VALUE) return false;

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
        const std::uint8_t* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
            DWORD done = 0;
            if (!WriteFile(file, data, chunk, &done, nullptr) || done != chunk) {
                ok = false;
                return false;
            }
            data += done;
            left -= done;
        }
        written += static_cast<long long>(bytes.size());
        return true;
    };
    if (!produce(sink)) ok = false;
    if (ok && (InjectedAtomicWriteFaults().failFlush || !FlushFileBuffers(file))) ok = false;
    if (!CloseHandle(file)) ok = false;
    if (ok && InjectedAtomicWriteFaults().failRename) ok = false;
    if (ok && !MoveFileExW(temp.c_str(), dest.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
    }
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}
