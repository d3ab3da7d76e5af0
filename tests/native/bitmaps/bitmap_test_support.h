// Helpers shared by the bitmap tests: scratch folders and hand-made DIBs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orvix_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards.
struct ScratchFolder {
    fs::path dir;
    ScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("orvix-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir = fs::temp_directory_path() / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
};

inline Bytes Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Spill(const fs::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// width is at most 8 bytes.
inline void PutLe(Bytes& b, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint64_t GetLe(const Bytes& b, std::size_t offset, int width) {
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= std::uint64_t{b[offset + static_cast<std::size_t>(i)]} << (8 * i);
    return v;
}

struct DibFields {
    std::uint32_t biSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
};

// A payload of totalSize bytes (at least 40) whose header carries the fields;
// every other byte is a recognisable filler.
inline Bytes MakeDib(const DibFields& f, std::size_t totalSize) {
    Bytes b(totalSize, 0xC3);
    PutLe(b, 0, f.biSize, 4);
    PutLe(b, 4, static_cast<std::uint32_t>(f.width), 4);
    PutLe(b, 8, static_cast<std::uint32_t>(f.height), 4);
    PutLe(b, 12, 1, 2);
    PutLe(b, 14, f.bitCount, 2);
    PutLe(b, 16, f.compression, 4);
    PutLe(b, 20, f.sizeImage, 4);
    std::fill(b.begin() + 24, b.begin() + 32, 0);  // resolution fields
    PutLe(b, 32, f.clrUsed, 4);
    PutLe(b, 36, 0, 4);
    return b;
}

// A .bmp file: "BM", a 14-byte header with the given bfOffBits, the payload.
inline Bytes MakeBmpFile(const Bytes& payload, std::uint32_t offBits) {
    Bytes file(14 + payload.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe(file, 2, 14 + payload.size(), 4);
    PutLe(file, 10, offBits, 4);
    std::copy(payload.begin(), payload.end(), file.begin() + 14);
    return file;
}

}  // namespace orvix_test
