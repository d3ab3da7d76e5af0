// What tells a file apart from the same name after another program wrote it:
// the file itself (volume and index), its size and its last write time.
#pragma once

#include <cstdint>
#include <string>

struct FileStamp {
    bool known = false;  // false: nothing was read, and nothing can be compared
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::uint64_t modified = 0;  // in the platform's own units
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path now; known stays false when it cannot be read.
FileStamp ReadFileStamp(const std::wstring& path);

// Whether the file has been written or replaced since then was taken. When
// either stamp is unknown nothing can be told, and nothing is claimed.
inline bool ChangedSince(const FileStamp& then, const FileStamp& now) {
    return then.known && now.known && then != now;
}
