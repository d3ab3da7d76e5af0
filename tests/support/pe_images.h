// PE images and resource tables made field by field for the container tests,
// native and under Wine, with nothing from the engine, so that the two cannot
// share a mistake; and the damage done to them, shared by the test of what
// the engine reads and the test of what the platform's loader reads.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace orvix_test {

struct Section {
    const char* name;
    std::uint32_t virtualAddress, virtualSize, pointerToRawData, sizeOfRawData;
    std::uint32_t characteristics = 0x40000040;
};

// A PE image with e_lfanew 0x80 and the given sections, whose raw bytes hold
// a pattern so that a test can see they survive a save.
struct Layout {
    bool is64 = true;
    std::uint32_t fileAlignment = 0x200, sectionAlignment = 0x1000, sizeOfHeaders = 0x400;
    std::uint32_t numberOfRvaAndSizes = 16, checkSum = 0;
    std::vector<Section> sections;
    std::size_t fileSize = 0;  // 0: the end of the last section's data

    static constexpr std::size_t kCoff = 0x84, kOpt = 0x98;
    std::size_t OptSize() const { return is64 ? 240 : 224; }
    std::size_t Dirs() const { return kOpt + (is64 ? 0x70 : 0x60); }
    std::size_t SectionHeader(std::size_t i) const { return kOpt + OptSize() + 40 * i; }
};

inline Bytes BuildImage(const Layout& l) {
    std::size_t size = std::max<std::size_t>(l.sizeOfHeaders, l.SectionHeader(l.sections.size()));
    std::uint32_t image = l.sectionAlignment;
    for (const Section& s : l.sections) {
        if (s.sizeOfRawData)
            size = std::max<std::size_t>(size, s.pointerToRawData + s.sizeOfRawData);
        const std::uint32_t end = s.virtualAddress + std::max(s.virtualSize, s.sizeOfRawData);
        image = std::max(image,
                         (end + l.sectionAlignment - 1) / l.sectionAlignment * l.sectionAlignment);
    }
    Bytes b(l.fileSize ? l.fileSize : size, 0);
    for (const Section& s : l.sections) {
        for (std::size_t i = s.pointerToRawData;
             i < s.pointerToRawData + s.sizeOfRawData && i < b.size(); ++i)
            b[i] = static_cast<std::uint8_t>(0x5A ^ (i * 13));
    }
    using namespace le;
    Put16(b, 0x00, 0x5A4D);
    Put32(b, 0x3C, 0x80);
    Put32(b, 0x80, 0x00004550);
    Put16(b, l.kCoff + 0, l.is64 ? 0x8664 : 0x014C);
    Put16(b, l.kCoff + 2, static_cast<std::uint16_t>(l.sections.size()));
    Put16(b, l.kCoff + 16, static_cast<std::uint16_t>(l.OptSize()));
    Put16(b, l.kCoff + 18, 0x2022);
    Put16(b, l.kOpt + 0x00, l.is64 ? 0x20B : 0x10B);
    Put32(b, l.kOpt + 0x20, l.sectionAlignment);
    Put32(b, l.kOpt + 0x24, l.fileAlignment);
    Put32(b, l.kOpt + 0x38, image);
    Put32(b, l.kOpt + 0x3C, l.sizeOfHeaders);
    Put32(b, l.kOpt + 0x40, l.checkSum);
    Put32(b, l.kOpt + (l.is64 ? 0x6C : 0x5C), l.numberOfRvaAndSizes);
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
    le::Put32(b, l.Dirs() + 8 * static_cast<std::size_t>(index), rva);
    le::Put32(b, l.Dirs() + 8 * static_cast<std::size_t>(index) + 4, size);
}

// The image checksum one word at a time, folding every carry as it comes.
inline std::uint32_t ReferenceChecksum(const Bytes& b, std::size_t checkSumOffset) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        std::uint32_t word = b[i] | (i + 1 < b.size() ? b[i + 1] << 8 : 0);
        if (i >= checkSumOffset && i < checkSumOffset + 4) word = 0;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(b.size());
}

inline Bytes Payload(std::size_t size, int seed) {
    Bytes b;
    b.reserve(size);
    for (std::size_t i = 0; i < size; ++i)
        b.push_back(static_cast<std::uint8_t>(static_cast<std::size_t>(seed) * 29 + i * 3));
    return b;
}

// A resource table written by hand, each part appended where the last ended,
// for a ".rsrc" section at kRsrcRva.
constexpr std::uint32_t kDir = 0x80000000u;
inline constexpr std::uint32_t kRsrcRva = 0x2000, kRsrcRaw = 0x600;
struct Tree {
    Bytes bytes;
    std::uint32_t Append(std::size_t n) {
        const auto at = static_cast<std::uint32_t>(bytes.size());
        bytes.resize(at + n, 0);
        return at;
    }
    // entries: {name, target}, the first `named` of them named by string.
    std::uint32_t Directory(std::uint16_t named,
                            const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
        const std::uint32_t at = Append(16 + 8 * entries.size());
        le::Put16(bytes, at + 12, named);
        le::Put16(bytes, at + 14, static_cast<std::uint16_t>(entries.size() - named));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            le::Put32(bytes, at + 16 + 8 * i, entries[i].first);
            le::Put32(bytes, at + 20 + 8 * i, entries[i].second);
        }
        return at;
    }
    std::uint32_t String(const std::u16string& s) {
        const std::uint32_t at = Append((2 + 2 * s.size() + 3) / 4 * 4);
        le::Put16(bytes, at, static_cast<std::uint16_t>(s.size()));
        for (std::size_t i = 0; i < s.size(); ++i)
            le::Put16(bytes, at + 2 + 2 * i, s[i]);
        return at;
    }
    std::uint32_t Data(const Bytes& d) {
        bytes.resize((bytes.size() + 7) / 8 * 8, 0);
        const std::uint32_t at = Append(d.size());
        std::copy(d.begin(), d.end(), bytes.begin() + at);
        return at;
    }
    // A data entry for d, then d.
    std::uint32_t Entry(const Bytes& d) {
        const std::uint32_t entry = Append(16);
        le::Put32(bytes, entry, kRsrcRva + Data(d));
        le::Put32(bytes, entry + 4, static_cast<std::uint32_t>(d.size()));
        return entry;
    }
    // Entry i of a table made with placeholders, for targets made after it.
    void Link(std::uint32_t table, std::uint32_t i, std::uint32_t name, std::uint32_t target) {
        le::Put32(bytes, table + 16 + 8 * i, name);
        le::Put32(bytes, table + 20 + 8 * i, target);
    }
};

// ".text", then ".rsrc" at RVA 0x2000 and file offset 0x600 holding the tree,
// which data directory 2 points at.
inline Layout LayoutFor(const Tree& tree, bool is64 = true) {
    Layout l;
    l.is64 = is64;
    const auto size = static_cast<std::uint32_t>(tree.bytes.size());
    l.sections = {{".text", 0x1000, 0x200, 0x400, 0x200, 0x60000020},
                  {".rsrc", kRsrcRva, size, kRsrcRaw, (size + 0x1FF) / 0x200 * 0x200}};
    return l;
}
inline Bytes ImageWith(const Tree& tree, bool is64 = true) {
    const Layout l = LayoutFor(tree, is64);
    Bytes b = BuildImage(l);
    std::copy(tree.bytes.begin(), tree.bytes.end(), b.begin() + kRsrcRaw);
    SetDirectory(b, l, 2, kRsrcRva, static_cast<std::uint32_t>(tree.bytes.size()));
    return b;
}

// RT_BITMAP with the given IDs in table order, each in the neutral language,
// bitmap i holding Payload(10 + i, id); the parts' offsets kept for damage.
struct BitmapTree {
    Tree tree;
    std::uint32_t nameTable = 0;
    std::vector<std::uint32_t> languageTables, dataEntries;
    explicit BitmapTree(const std::vector<std::uint16_t>& ids) {
        const auto n = static_cast<std::uint32_t>(ids.size());
        const std::uint32_t names = 24, languages = names + 16 + 8 * n,
                            entries = languages + 24 * n;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> nameEntries;
        for (std::uint32_t i = 0; i < n; ++i)
            nameEntries.push_back({ids[i], (languages + 24 * i) | kDir});
        tree.Directory(0, {{2, names | kDir}});
        nameTable = tree.Directory(0, nameEntries);
        for (std::uint32_t i = 0; i < n; ++i)
            languageTables.push_back(tree.Directory(0, {{0, entries + 16 * i}}));
        for (std::uint32_t i = 0; i < n; ++i)
            dataEntries.push_back(tree.Append(16));
        for (std::uint32_t i = 0; i < n; ++i) {
            le::Put32(tree.bytes, dataEntries[i], kRsrcRva + tree.Data(Payload(10 + i, ids[i])));
            le::Put32(tree.bytes, dataEntries[i] + 4, 10 + i);
        }
    }
    std::uint32_t NameTarget(std::size_t i) const {
        return nameTable + 20 + 8 * static_cast<std::uint32_t>(i);
    }
};

// What other tools write besides numbered bitmaps in one language: bitmap 0
// (neutral), bitmap 5 in German (0x407) and English (United States, 0x409),
// a bitmap named "LOGO" and an icon, each bitmap holding the payload given.
inline Bytes MixedImage(const Bytes& zero, const Bytes& german5, const Bytes& english5) {
    Tree t;
    const std::uint32_t root = t.Directory(0, {{2, 0}, {3, 0}});
    const std::uint32_t bitmaps = t.Directory(1, {{0, 0}, {0, 0}, {5, 0}});
    const std::uint32_t icons = t.Directory(0, {{1, 0}});
    const std::uint32_t logo = t.String(u"LOGO");
    const auto one = [&t](const Bytes& payload) {
        return t.Directory(0, {{0, t.Entry(payload)}}) | kDir;
    };
    const std::uint32_t named = one(zero), atZero = one(zero), atIcon = one(Bytes(40, 1));
    const std::uint32_t german = t.Entry(german5), english = t.Entry(english5);
    const std::uint32_t atFive = t.Directory(0, {{0x407, german}, {0x409, english}}) | kDir;
    t.Link(root, 0, 2, bitmaps | kDir);
    t.Link(root, 1, 3, icons | kDir);
    t.Link(bitmaps, 0, logo | kDir, named);
    t.Link(bitmaps, 1, 0, atZero);
    t.Link(bitmaps, 2, 5, atFive);
    t.Link(icons, 0, 1, atIcon);
    return ImageWith(t, false);
}

// Damage to an image of bitmaps 1 to 6 (bitmap i of 10 + i bytes), and which
// of them still read, as "ID(size)". Rows the platform's loader is not asked
// about would have it read past the file: the engine must survive them, the
// loader need not.
struct ReaderDamage {
    const char* what;
    std::function<void(BitmapTree&)> tree;
    std::function<void(Bytes&)> image;
    const char* survivors;
    bool askLoader = true;
};
inline const std::vector<std::uint16_t> kDamagedIds = {1, 2, 3, 4, 5, 6};
inline std::vector<ReaderDamage> ReaderDamages() {
    using T = BitmapTree;
    const Layout l = LayoutFor(T(kDamagedIds).tree);
    auto entry3 = [](std::size_t at, std::uint32_t v) {
        return [=](T& t) { le::Put32(t.tree.bytes, t.dataEntries[2] + at, v); };
    };
    auto name = [](std::size_t i, std::uint32_t target) {
        return [=](T& t) { le::Put32(t.tree.bytes, t.NameTarget(i), target); };
    };
    auto image32 = [](std::size_t at, std::uint32_t v) {
        return [=](Bytes& b) { le::Put32(b, at, v); };
    };
    const char* all = "1(10) 2(11) 3(12) 4(13) 5(14) 6(15) ";
    const char* no3 = "1(10) 2(11) 4(13) 5(14) 6(15) ";
    return {
        {"nothing", nullptr, nullptr, all},
        {"bitmap 3 of size zero", entry3(4, 0), nullptr, no3},
        {"bitmap 3's data in no section", entry3(0, 0x9000), nullptr, no3},
        {"bitmap 3's data in the headers", entry3(0, 0x100), nullptr, no3},
        {"bitmap 3's data past the end of the file", entry3(4, 0x7FFFFFFF), nullptr, no3, false},
        // The file and the section end at RVA kRsrcRva + 0x200.
        {"bitmap 3 ending at the end of the file", entry3(0, kRsrcRva + 0x200 - 12), nullptr, all},
        {"bitmap 3 one byte past the end of the file", entry3(0, kRsrcRva + 0x200 - 11), nullptr,
         no3, false},
        {"bitmap 3's language entry points at a table",
         [](T& t) {
             le::Put32(t.tree.bytes, t.languageTables[2] + 20, t.languageTables[2] | kDir);
         },
         nullptr, no3},
        {"bitmap 3's name entry points at data", [=](T& t) { name(2, t.dataEntries[2])(t); },
         nullptr, no3},
        {"bitmap 3's name entry points back at the root", name(2, kDir), nullptr, no3, false},
        {"bitmap 3's language table past the end", name(2, 0x7FFFFFF0 | kDir), nullptr, no3, false},
        {"bitmap 3's language table claims 65535 entries",
         [](T& t) { le::Put16(t.tree.bytes, t.languageTables[2] + 14, 0xFFFF); }, nullptr, no3,
         false},
        {"4 numeric names counted", [](T& t) { le::Put16(t.tree.bytes, t.nameTable + 14, 4); },
         nullptr, "1(10) 2(11) 3(12) 4(13) "},
        {"IDs 2 and 5 swapped: a binary search misses 2, 4 and 5",
         [](T& t) {
             le::Put32(t.tree.bytes, t.NameTarget(1) - 4, 5);
             le::Put32(t.tree.bytes, t.NameTarget(4) - 4, 2);
         },
         nullptr, "1(10) 3(12) 6(15) "},
        {"ID 4 listed twice: a binary search meets the first",
         [](T& t) { le::Put32(t.tree.bytes, t.NameTarget(2) - 4, 4); }, nullptr,
         "1(10) 2(11) 4(12) 5(14) 6(15) "},
        {"no resource directory", nullptr, [=](Bytes& b) { SetDirectory(b, l, 2, 0, 0); }, ""},
        {"resource directory in no section", nullptr,
         [=](Bytes& b) { SetDirectory(b, l, 2, 0x8000, 16); }, ""},
        {"NumberOfRvaAndSizes 2", nullptr, image32(l.kOpt + 0x6C, 2), ""},
        {"RT_BITMAP entry points at data", nullptr, image32(kRsrcRaw + 20, 0x18), ""},
        {"root claims 65535 + 65535 entries", nullptr, image32(kRsrcRaw + 12, 0xFFFFFFFF), "",
         false},
        {"name table past the end", nullptr, image32(kRsrcRaw + 20, 0xFFFFFFFF), "", false},
        {"the file cut inside bitmap 6", nullptr, [](Bytes& b) { b.resize(kRsrcRaw + 410); },
         "1(10) 2(11) 3(12) 4(13) 5(14) ", false},
    };
}

// A store of bitmaps as "ID(size) ...", the engine's and the platform's alike.
template <class Store>
std::string Describe(const Store& store) {
    std::string out;
    for (const auto& [id, bytes] : store)
        out += std::to_string(id) + "(" + std::to_string(bytes.size()) + ") ";
    return out;
}

inline Bytes DamagedImage(const ReaderDamage& d) {
    BitmapTree t(kDamagedIds);
    if (d.tree) d.tree(t);
    Bytes b = ImageWith(t.tree);
    if (d.image) d.image(b);
    return b;
}

}  // namespace orvix_test
