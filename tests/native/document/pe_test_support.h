// Images for the container tests, written field by field at their offsets
// with nothing from the engine's writer, so the two cannot share a mistake.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "fileio/byte_order.h"

namespace testpe {

using Bytes = std::vector<std::uint8_t>;

// A field that does not fit the image is a broken test: it throws rather than
// touch memory past the end.
inline std::size_t Checked(const Bytes& b, std::size_t at, std::size_t width) {
    if (at + width > b.size()) throw std::out_of_range("field past the end of a test image");
    return at;
}
inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    PutU16(b.data() + Checked(b, at, 2), v);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutU32(b.data() + Checked(b, at, 4), v);
}
inline std::uint16_t Get16(const Bytes& b, std::size_t at) {
    return LoadU16(b.data() + Checked(b, at, 2));
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return LoadU32(b.data() + Checked(b, at, 4));
}

struct Section {
    const char* name;
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t pointerToRawData;
    std::uint32_t sizeOfRawData;
    std::uint32_t characteristics = 0x40000040;
};

// A PE image with e_lfanew 0x80 and the given sections, whose raw bytes are
// filled with a pattern so that a test can see they survive a save.
struct Layout {
    bool is64 = true;
    std::uint32_t fileAlignment = 0x200;
    std::uint32_t sectionAlignment = 0x1000;
    std::uint32_t sizeOfHeaders = 0x400;
    std::uint32_t numberOfRvaAndSizes = 16;
    std::uint32_t checkSum = 0;
    std::vector<Section> sections;
    std::size_t fileSize = 0;  // 0: the end of the last section's data

    std::size_t Coff() const { return 0x84; }
    std::size_t Opt() const { return 0x98; }
    std::size_t OptSize() const { return is64 ? 240 : 224; }
    std::size_t Dirs() const { return Opt() + (is64 ? 0x70 : 0x60); }
    std::size_t SectionTable() const { return Opt() + OptSize(); }
    std::size_t SectionHeader(std::size_t i) const { return SectionTable() + 40 * i; }
};

inline std::uint8_t Pattern(std::size_t offset) {
    return static_cast<std::uint8_t>(0x5A ^ (offset * 13));
}

inline Bytes BuildImage(const Layout& l) {
    std::size_t size = std::max<std::size_t>(l.sizeOfHeaders, l.SectionHeader(l.sections.size()));
    for (const Section& s : l.sections) {
        if (s.sizeOfRawData)
            size = std::max<std::size_t>(size, s.pointerToRawData + s.sizeOfRawData);
    }
    if (l.fileSize) size = l.fileSize;
    Bytes b(size, 0);
    for (const Section& s : l.sections) {
        for (std::size_t i = 0; i < s.sizeOfRawData && s.pointerToRawData + i < size; ++i) {
            b[s.pointerToRawData + i] = Pattern(s.pointerToRawData + i);
        }
    }
    Put16(b, 0x00, 0x5A4D);
    Put32(b, 0x3C, 0x80);
    Put32(b, 0x80, 0x00004550);
    Put16(b, l.Coff() + 0, l.is64 ? 0x8664 : 0x014C);
    Put16(b, l.Coff() + 2, static_cast<std::uint16_t>(l.sections.size()));
    Put16(b, l.Coff() + 16, static_cast<std::uint16_t>(l.OptSize()));
    Put16(b, l.Coff() + 18, 0x2022);
    Put16(b, l.Opt() + 0x00, l.is64 ? 0x20B : 0x10B);
    Put32(b, l.Opt() + 0x20, l.sectionAlignment);
    Put32(b, l.Opt() + 0x24, l.fileAlignment);
    std::uint32_t image = l.sectionAlignment;
    for (const Section& s : l.sections) {
        std::uint32_t extent = std::max(s.virtualSize, s.sizeOfRawData);
        image = std::max(image, (s.virtualAddress + extent + l.sectionAlignment - 1) /
                                    l.sectionAlignment * l.sectionAlignment);
    }
    Put32(b, l.Opt() + 0x38, image);
    Put32(b, l.Opt() + 0x3C, l.sizeOfHeaders);
    Put32(b, l.Opt() + 0x40, l.checkSum);
    Put32(b, l.Opt() + (l.is64 ? 0x6C : 0x5C), l.numberOfRvaAndSizes);
    for (std::size_t i = 0; i < l.sections.size(); ++i) {
        const Section& s = l.sections[i];
        const std::size_t h = l.SectionHeader(i);
        for (std::size_t c = 0; c < 8 && s.name[c]; ++c)
            b[h + c] = static_cast<std::uint8_t>(s.name[c]);
        Put32(b, h + 0x08, s.virtualSize);
        Put32(b, h + 0x0C, s.virtualAddress);
        Put32(b, h + 0x10, s.sizeOfRawData);
        Put32(b, h + 0x14, s.pointerToRawData);
        Put32(b, h + 0x24, s.characteristics);
    }
    return b;
}

inline void SetDirectory(Bytes& b, const Layout& l, int index, std::uint32_t rva,
                         std::uint32_t size) {
    Put32(b, l.Dirs() + 8 * index, rva);
    Put32(b, l.Dirs() + 8 * index + 4, size);
}

// The image checksum, one word at a time the way the format describes it.
inline std::uint32_t ReferenceChecksum(const Bytes& b, std::size_t checkSumOffset) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        std::uint32_t word = b[i] | (i + 1 < b.size() ? b[i + 1] << 8 : 0);
        if (i >= checkSumOffset && i < checkSumOffset + 4) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return (sum & 0xFFFF) + static_cast<std::uint32_t>(b.size());
}

// A resource table written by hand: one entry list per directory, the
// offsets of every part kept so that tests can damage them.
struct TreeEntry {
    std::uint32_t name;  // an ID, or a string offset with the high bit set
    std::uint32_t target;
};
struct Tree {
    Bytes bytes;
    // Appends a directory table with the given named and numeric entries and
    // returns its offset.
    std::uint32_t Directory(std::uint16_t named, const std::vector<TreeEntry>& entries) {
        const std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        bytes.resize(at + 16 + 8 * entries.size(), 0);
        Put16(bytes, at + 12, named);
        Put16(bytes, at + 14, static_cast<std::uint16_t>(entries.size() - named));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Put32(bytes, at + 16 + 8 * i, entries[i].name);
            Put32(bytes, at + 16 + 8 * i + 4, entries[i].target);
        }
        return at;
    }
    std::uint32_t DataEntry(std::uint32_t rva, std::uint32_t size) {
        const std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        bytes.resize(at + 16, 0);
        Put32(bytes, at, rva);
        Put32(bytes, at + 4, size);
        return at;
    }
    std::uint32_t String(const std::u16string& s) {
        const std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        bytes.resize(at + 2 + 2 * s.size(), 0);
        Put16(bytes, at, static_cast<std::uint16_t>(s.size()));
        for (std::size_t i = 0; i < s.size(); ++i)
            Put16(bytes, at + 2 + 2 * i, s[i]);
        while (bytes.size() % 4)
            bytes.push_back(0);
        return at;
    }
    std::uint32_t Data(const Bytes& d) {
        while (bytes.size() % 8)
            bytes.push_back(0);
        const std::uint32_t at = static_cast<std::uint32_t>(bytes.size());
        bytes.insert(bytes.end(), d.begin(), d.end());
        return at;
    }
};
constexpr std::uint32_t kDir = 0x80000000u;

// An image whose second section, ".rsrc" at RVA 0x2000 and file offset
// 0x600, holds the tree, and data directory 2 points at it.
inline constexpr std::uint32_t kRsrcRva = 0x2000;
inline constexpr std::uint32_t kRsrcRaw = 0x600;
inline Layout LayoutFor(const Tree& tree, bool is64 = true) {
    Layout l;
    l.is64 = is64;
    const std::uint32_t raw =
        static_cast<std::uint32_t>((tree.bytes.size() + 0x1FF) / 0x200 * 0x200);
    l.sections = {
        {".text", 0x1000, 0x200, 0x400, 0x200, 0x60000020},
        {".rsrc", kRsrcRva, static_cast<std::uint32_t>(tree.bytes.size()), kRsrcRaw, raw}};
    return l;
}
inline Bytes ImageWith(const Tree& tree, bool is64 = true) {
    Layout l = LayoutFor(tree, is64);
    Bytes b = BuildImage(l);
    std::copy(tree.bytes.begin(), tree.bytes.end(), b.begin() + kRsrcRaw);
    SetDirectory(b, l, 2, kRsrcRva, static_cast<std::uint32_t>(tree.bytes.size()));
    return b;
}

inline Bytes Payload(std::size_t size, int seed) {
    Bytes b;
    for (std::size_t i = 0; i < size; ++i)
        b.push_back(static_cast<std::uint8_t>(seed * 29 + i * 3));
    return b;
}

inline Bytes Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void Spit(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A fresh folder per test.
struct TempFolder : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string("orvix-doc-") + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir), {}));
    }
};

}  // namespace testpe
