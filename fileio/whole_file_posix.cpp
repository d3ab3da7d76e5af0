#include "fileio/whole_file.h"

#include <errno.h>
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
    // Keeps the file open beside its mapping, for ReadAt.
    struct Mapping : FileBlock {
        int fd = -1;
        ~Mapping() override {
            if (data) ::munmap(const_cast<std::uint8_t*>(data), size);
            if (fd >= 0) ::close(fd);
        }
        bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
            if (offset > size || out.size() > size - offset) return false;
            while (!out.empty()) {
                const ssize_t got = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) return false;  // an error, or a file cut short since
                out = out.subspan(static_cast<std::size_t>(got));
                offset += static_cast<std::uint64_t>(got);
            }
            return true;
        }
    };
    try {
        auto block = std::make_shared<Mapping>();
        block->fd = ::open(WidePath(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (block->fd < 0) return nullptr;
        struct stat st {};
        if (::fstat(block->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
            return nullptr;
        }
        void* at = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE,
                          block->fd, 0);
        // A file system that cannot map still reads.
        if (at == MAP_FAILED) return ReadFileBlockCopy(path);
        block->data = static_cast<const std::uint8_t*>(at);
        block->size = static_cast<std::size_t>(st.st_size);
        return block;
    } catch (const std::exception&) {
        return nullptr;
    }
}
