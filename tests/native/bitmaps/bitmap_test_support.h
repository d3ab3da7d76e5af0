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

#include "fileio/byte_order.h"

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
    PutU32(&b.at(0), f.biSize);
    PutU32(&b.at(4), static_cast<std::uint32_t>(f.width));
    PutU32(&b.at(8), static_cast<std::uint32_t>(f.height));
    PutU16(&b.at(12), 1);
    PutU16(&b.at(14), f.bitCount);
    PutU32(&b.at(16), f.compression);
    PutU32(&b.at(20), f.sizeImage);
    std::fill(b.begin() + 24, b.begin() + 32, 0);  // resolution fields
    PutU32(&b.at(32), f.clrUsed);
    PutU32(&b.at(36), 0);
    return b;
}

// A .bmp file: "BM", a 14-byte header with the given bfOffBits, the payload.
inline Bytes MakeBmpFile(const Bytes& payload, std::uint32_t offBits) {
    Bytes file(14 + payload.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutU32(&file.at(2), static_cast<std::uint32_t>(14 + payload.size()));
    PutU32(&file.at(10), offBits);
    std::copy(payload.begin(), payload.end(), file.begin() + 14);
    return file;
}

}  // namespace orvix_test
