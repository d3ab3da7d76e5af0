#include <algorithm>
#include <exception>
#include <utility>

#include "fileio/whole_file.h"

bool FileBlock::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > size || out.size() > size - offset) return false;
    std::copy_n(data + offset, out.size(), out.begin());
    return true;
}

std::shared_ptr<const FileBlock> ReadFileBlockCopy(const std::wstring& path) {
    try {
        struct Copy : FileBlock {
            std::vector<std::uint8_t> bytes;
        };
        auto block = std::make_shared<Copy>();
        if (!ReadWholeFile(path, block->bytes)) return nullptr;
        block->data = block->bytes.data();
        block->size = block->bytes.size();
        return block;
    } catch (const std::exception&) {
        return nullptr;
    }
}
