#include "fileio/whole_file.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <ios>
#include <limits>
#include <system_error>
#include <utility>

#include "fileio/wide_path.h"

bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& out) {
    try {
        const std::filesystem::path file = WidePath(path);
        // A directory opens as a stream on POSIX and reports a bogus length.
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec)) return false;

        std::ifstream in(file, std::ios::binary);
        if (!in) return false;
        in.seekg(0, std::ios::end);
        const std::streamoff length = in.tellg();
        if (!in || length <= 0) return false;
        if (static_cast<std::uint64_t>(length) >
            std::min<std::uint64_t>(std::numeric_limits<std::streamsize>::max(),
                                    std::vector<std::uint8_t>().max_size())) {
            return false;
        }
        in.seekg(0, std::ios::beg);
        if (!in) return false;

        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        if (in.gcount() != static_cast<std::streamsize>(length)) return false;
        out = std::move(bytes);
        return true;
    } catch (const std::exception&) {
        // Out of memory, or a name the file system cannot represent.
        return false;
    }
}
