#include <windows.h>

#include <exception>

#include "fileio/file_stamp.h"
#include "fileio/wide_path.h"

FileStamp ReadFileStamp(const std::wstring& path) {
    FileStamp stamp;
    try {
        const std::wstring name = path.size() < MAX_PATH ? path : ExtendedLengthPath(path);
        if (name.empty()) return stamp;
        // Attributes alone, shared every way: the stamp must not stand in the
        // way of the program that changes the file.
        HANDLE file = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return stamp;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool read = GetFileInformationByHandle(file, &info) != FALSE;
        CloseHandle(file);
        if (!read) return stamp;
        stamp.volume = info.dwVolumeSerialNumber;
        stamp.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
        stamp.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        stamp.modified = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                         info.ftLastWriteTime.dwLowDateTime;
        stamp.known = true;
    } catch (const std::exception&) {
        stamp.known = false;
    }
    return stamp;
}
