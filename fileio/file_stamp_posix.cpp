#include <sys/stat.h>

#include <exception>

#include "fileio/file_stamp.h"
#include "fileio/wide_path.h"

FileStamp ReadFileStamp(const std::wstring& path) {
    FileStamp stamp;
    try {
        struct stat s {};
        if (::stat(WidePath(path).c_str(), &s) != 0) return stamp;
        stamp.volume = static_cast<std::uint64_t>(s.st_dev);
        stamp.index = static_cast<std::uint64_t>(s.st_ino);
        stamp.size = static_cast<std::uint64_t>(s.st_size);
        // Nanoseconds: two writes within one second must still differ.
        stamp.modified = static_cast<std::uint64_t>(s.st_mtim.tv_sec) * 1000000000u +
                         static_cast<std::uint64_t>(s.st_mtim.tv_nsec);
        stamp.known = true;
    } catch (const std::exception&) {
        stamp.known = false;  // a name that cannot be converted
    }
    return stamp;
}
