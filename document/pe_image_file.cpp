#include "document/pe_image_file.h"
#include "fileio/wide_path.h"

#include <exception>
#include <filesystem>

bool OpenImageFile(const std::wstring& path, ImageFile& file) {
    try {
        // Unbuffered: every read is a large one into its final place, and a
        // stream buffer would only add a copy.
        file.stream.rdbuf()->pubsetbuf(nullptr, 0);
        file.stream.open(WidePath(path), std::ios::binary);
        if (!file.stream) return false;
        file.stream.seekg(0, std::ios::end);
        const std::streamoff end = file.stream.tellg();
        if (end < 0) return false;
        file.source.size = static_cast<std::uint64_t>(end);
        std::ifstream* stream = &file.stream;
        const std::uint64_t size = file.source.size;
        file.source.read = [stream, size](std::uint64_t offset, std::span<std::uint8_t> out) {
            if (offset > size || out.size() > size - offset) return false;
            if (out.empty()) return true;
            stream->clear();
            stream->seekg(static_cast<std::streamoff>(offset), std::ios::beg);
            return static_cast<bool>(stream->read(reinterpret_cast<char*>(out.data()),
                                                  static_cast<std::streamsize>(out.size())));
        };
        return true;
    } catch (const std::exception&) {
        return false;  // also a path the file system cannot name
    }
}

bool PathExists(const std::wstring& path) {
    try {
        std::error_code ec;
        return std::filesystem::exists(WidePath(path), ec);
    } catch (const std::exception&) {
        return false;
    }
}
