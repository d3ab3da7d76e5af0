// Reading a file into memory in one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Reads the whole file. False when it cannot be opened, is empty, or the read
// delivers fewer bytes than its length; out is then left as it was.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& out);

// A whole file's bytes as one block that its holders share. On POSIX it is a
// read-only mapping: a load then costs what its reader touches, and a rename
// over the file leaves the mapped bytes as they were. Elsewhere, where a
// mapping would keep the file from being replaced, the bytes are read.
// Null on the failures of ReadWholeFile.
struct FileBlock {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    FileBlock() = default;
    FileBlock(const FileBlock&) = delete;
    FileBlock& operator=(const FileBlock&) = delete;
    virtual ~FileBlock() = default;

    // Copies the bytes at offset into out; false when they lie outside the
    // block or cannot be read. A mapped block reads them from its file: a
    // copy of most of a large file then costs what cp's reads cost, where
    // going through the mapping would map in its pages one fault at a time.
    virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
};
std::shared_ptr<const FileBlock> ReadFileBlock(const std::wstring& path);

// The bytes themselves, for platforms that read rather than map.
std::shared_ptr<const FileBlock> ReadFileBlockCopy(const std::wstring& path);
