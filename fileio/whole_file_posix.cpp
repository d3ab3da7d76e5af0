#include "fileio/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::shared_ptr<const FileBlock> ReadFileBlock(const std::wstring& path) {
    struct Mapping : FileBlock {
        Mapping() = default;
        Mapping(const Mapping&) = delete;
        Mapping& operator=(const Mapping&) = delete;
        ~Mapping() { ::munmap(const_cast<std::uint8_t*>(data), size); }
    };
    try {
        const int fd = ::open(WidePath(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat st {};
        void* at = MAP_FAILED;
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
        if (regular) {
            at = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd,
                        0);
        }
        ::close(fd);
        if (!regular) return nullptr;
        // A file system that cannot map still reads.
        if (at == MAP_FAILED) return ReadFileBlockCopy(path);
        auto block = std::make_shared<Mapping>();
        block->data = static_cast<const std::uint8_t*>(at);
        block->size = static_cast<std::size_t>(st.st_size);
        return block;
    } catch (const std::exception&) {
        return nullptr;
    }
}
