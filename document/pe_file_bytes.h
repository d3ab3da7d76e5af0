// Whole-file reads for the container engine, with wide paths on every
// platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// A file's bytes. Not a vector: a vector would zero every byte before the
// read overwrites it, which shows on containers of hundreds of megabytes.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;

    std::span<const std::uint8_t> Span() const { return {data.get(), size}; }
};

// Reads the whole file at path. False when it cannot be opened or read, or is
// larger than any container can be (4 GiB).
bool ReadFileBytes(const std::wstring& path, FileBytes& out);

// Whether anything (a file or a folder) is at path.
bool PathExists(const std::wstring& path);
