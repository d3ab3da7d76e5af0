#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "fileio/whole_file.h"
#include "fileio/wide_path.h"

// Straight to the platform: a folder import reads thousands of small files,
// and the C++ stream's extra look-ups and seeks cost a third of the time.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& out) {
    try {
        // The plain form stops short of MAX_PATH; longer names go verbatim.
        const std::wstring name = path.size() < MAX_PATH ? path : ExtendedLengthPath(path);
        if (name.empty()) return false;
        // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS, so it fails here.
        HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        struct Closer {
            HANDLE h;
            ~Closer() { CloseHandle(h); }
        } closer{file};

        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0) return false;
        const auto length = static_cast<std::uint64_t>(size.QuadPart);
        if (length > std::vector<std::uint8_t>().max_size()) return false;

        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(
                std::min<std::size_t>(bytes.size() - done, std::numeric_limits<DWORD>::max()));
            DWORD got = 0;
            if (!ReadFile(file, bytes.data() + done, chunk, &got, nullptr)) return false;
            if (got == 0) return false;  // shorter than its length said
            done += got;
        }
        out = std::move(bytes);
        return true;
    } catch (const std::exception&) {
        return false;  // out of memory
    }
}

std::shared_ptr<const FileBlock> ReadFileBlock(const std::wstring& path) {
    return ReadFileBlockCopy(path);
}
