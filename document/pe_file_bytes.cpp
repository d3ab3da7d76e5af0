#include "document/pe_file_bytes.h"

#include <exception>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::uint64_t kMaxContainerFileSize = std::uint64_t{1} << 32;

}  // namespace

bool ReadFileBytes(const std::wstring& path, FileBytes& out) {
    try {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        if (!in)
            return false;
        in.seekg(0, std::ios::end);
        const std::streamoff end = in.tellg();
        if (end < 0 || static_cast<std::uint64_t>(end) > kMaxContainerFileSize)
            return false;
        in.seekg(0, std::ios::beg);
        const std::size_t size = static_cast<std::size_t>(end);
        std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size == 0 ? 1 : size]);
        if (size > 0 &&
            !in.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
            return false;
        }
        out.data = std::move(data);
        out.size = size;
        return true;
    } catch (const std::exception&) {
        return false;  // also a path the file system cannot name
    }
}

bool PathExists(const std::wstring& path) {
    try {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::path(path), ec);
    } catch (const std::exception&) {
        return false;
    }
}
