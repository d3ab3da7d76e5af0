// Reading bitmaps out of hand-made resource tables, sound and damaged.
#include <gtest/gtest.h>

#include <functional>

#include "document/pe_resource_reader.h"
#include "pe_test_support.h"

using namespace testpe;

namespace {

std::string Ids(const BitmapStore& s) {
    std::string out;
    for (const auto& [id, p] : s)
        out += std::to_string(id) + "(" + std::to_string(p.size()) + ") ";
    return out;
}

// RT_BITMAP with the given numeric IDs, each in one language (neutral) with
// its own payload; returns the tree and records where things are.
struct BitmapTree {
    Tree tree;
    std::uint32_t nameTable = 0;
    std::vector<std::uint32_t> languageTables;
    std::vector<std::uint32_t> dataEntries;
};

BitmapTree SimpleTree(const std::vector<std::uint16_t>& ids) {
    BitmapTree t;
    const std::uint32_t nameTable = 16 + 8;
    std::vector<TreeEntry> names;
    const std::uint32_t langStart = nameTable + 16 + 8 * static_cast<std::uint32_t>(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        names.push_back({ids[i], (langStart + 24 * static_cast<std::uint32_t>(i)) | kDir});
    }
    t.tree.Directory(0, {{2, nameTable | kDir}});
    t.nameTable = t.tree.Directory(0, names);
    const std::uint32_t dataStart = langStart + 24 * static_cast<std::uint32_t>(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        t.languageTables.push_back(
            t.tree.Directory(0, {{0, dataStart + 16 * static_cast<std::uint32_t>(i)}}));
    }
    for (std::size_t i = 0; i < ids.size(); ++i)
        t.dataEntries.push_back(t.tree.DataEntry(0, 0));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::uint32_t at = t.tree.Data(Payload(10 + i, ids[i]));
        Put32(t.tree.bytes, t.dataEntries[i], kRsrcRva + at);
        Put32(t.tree.bytes, t.dataEntries[i] + 4, static_cast<std::uint32_t>(10 + i));
    }
    return t;
}

}  // namespace

TEST(ResourceReader, ReadsOnlyNumericBitmaps) {
    // Root: a string-named type, then RT_BITMAP (2), RT_ICON (3) and RCDATA (10).
    Tree t;
    const std::uint32_t root = t.Directory(1, {{0, 0}, {2, 0}, {3, 0}, {10, 0}});
    const std::uint32_t typeName = t.String(u"BITMAP");
    const std::uint32_t bitmapNames = t.Directory(1, {{0, 0}, {1, 0}, {2, 0}});
    const std::uint32_t otherNames = t.Directory(0, {{1, 0}});
    const std::uint32_t bitmapName = t.String(u"NAMED");
    std::vector<std::uint32_t> languages, entries, data;
    for (int i = 0; i < 4; ++i)
        entries.push_back(t.DataEntry(0, 0));
    for (int i = 0; i < 4; ++i)
        languages.push_back(t.Directory(0, {{0, entries[i]}}));
    for (int i = 0; i < 4; ++i) {
        data.push_back(t.Data(Payload(20 + i, i)));
        Put32(t.bytes, entries[i], kRsrcRva + data[i]);
        Put32(t.bytes, entries[i] + 4, static_cast<std::uint32_t>(20 + i));
    }
    auto link = [&](std::uint32_t table, int index, std::uint32_t name, std::uint32_t target) {
        Put32(t.bytes, table + 16 + 8 * index, name);
        Put32(t.bytes, table + 16 + 8 * index + 4, target);
    };
    link(root, 0, typeName | kDir, otherNames | kDir);
    link(root, 1, 2, bitmapNames | kDir);
    link(root, 2, 3, otherNames | kDir);
    link(root, 3, 10, otherNames | kDir);
    link(bitmapNames, 0, bitmapName | kDir, languages[0] | kDir);
    link(bitmapNames, 1, 1, languages[1] | kDir);
    link(bitmapNames, 2, 2, languages[2] | kDir);
    link(otherNames, 0, 1, languages[3] | kDir);

    BitmapStore store;
    ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(Ids(store), "1(21) 2(22) ");
    EXPECT_EQ(store[1], Payload(21, 1));
    EXPECT_EQ(store[2], Payload(22, 2));
}

TEST(ResourceReader, ChoosesTheLanguageVersionTheLoaderChooses) {
    struct Case {
        std::vector<std::uint16_t> present;  // in table order, ascending as compilers write them
        std::vector<std::uint16_t> order;    // empty: the English (United States) order
        std::uint16_t expected;
    };
    const Case cases[] = {
        {{0x0407, 0x0409}, {}, 0x0409},
        {{0x0000, 0x0409}, {}, 0x0000},
        {{0x0407, 0x040C}, {}, 0x0407},  // none preferred: the first
        {{0x0009, 0x0809}, {}, 0x0009},
        {{0x0400, 0x0407}, {}, 0x0400},
        {{0x0407, 0x0800}, {}, 0x0407},
        {{0x0009, 0x0407, 0x0C09}, {}, 0x0009},
        // A German user's order.
        {{0x0407, 0x0409}, {0x0000, 0x0407, 0x0007, 0x0409}, 0x0407},
        {{0x0007, 0x0409}, {0x0000, 0x0407, 0x0007, 0x0409}, 0x0007},
        {{0x0009, 0x0407, 0x0C09}, {0x0000, 0x0407, 0x0007, 0x0409}, 0x0407},
    };
    for (const Case& c : cases) {
        Tree t;
        const std::uint32_t n = static_cast<std::uint32_t>(c.present.size());
        t.Directory(0, {{2, 24 | kDir}});
        t.Directory(0, {{5, 48 | kDir}});
        std::vector<TreeEntry> langs;
        for (std::uint32_t i = 0; i < n; ++i)
            langs.push_back({c.present[i], 64 + 8 * n + 16 * i});
        t.Directory(0, langs);
        std::vector<std::uint32_t> entries;
        for (std::uint32_t i = 0; i < n; ++i)
            entries.push_back(t.DataEntry(0, 4));
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t at = t.Data(Bytes{0xAA, static_cast<std::uint8_t>(c.present[i]),
                                                  static_cast<std::uint8_t>(c.present[i] >> 8), 0});
            Put32(t.bytes, entries[i], kRsrcRva + at);
        }
        BitmapStore store;
        const bool ok = c.order.empty()
                            ? pe::ReadBitmapResources(ImageWith(t), store)
                            : pe::ReadBitmapResources(ImageWith(t), store,
                                                      std::span<const std::uint16_t>(c.order));
        ASSERT_TRUE(ok);
        ASSERT_EQ(store.count(5), 1u);
        const std::uint16_t chosen = static_cast<std::uint16_t>(store[5][1] | (store[5][2] << 8));
        EXPECT_EQ(chosen, c.expected) << "first present 0x" << std::hex << c.present[0];
    }
}

TEST(ResourceReader, SkipsUnreadableBitmapsAndKeepsTheRest) {
    // IDs 1..6; each case damages bitmap 3 and expects the others intact.
    struct Case {
        const char* what;
        std::function<void(BitmapTree&, Bytes&)> damage;
    };
    const Case cases[] = {
        {"zero size", [](BitmapTree& t, Bytes&) { Put32(t.tree.bytes, t.dataEntries[2] + 4, 0); }},
        {"data RVA in no section",
         [](BitmapTree& t, Bytes&) { Put32(t.tree.bytes, t.dataEntries[2], 0x9000); }},
        {"data RVA inside the headers",
         [](BitmapTree& t, Bytes&) { Put32(t.tree.bytes, t.dataEntries[2], 0x100); }},
        {"data past the end of the file",
         [](BitmapTree& t, Bytes&) { Put32(t.tree.bytes, t.dataEntries[2] + 4, 0x7FFFFFFF); }},
        {"language entry points at a directory",
         [](BitmapTree& t, Bytes&) {
             Put32(t.tree.bytes, t.languageTables[2] + 20, t.languageTables[2] | kDir);
         }},
        {"name entry points at data, not a table",
         [](BitmapTree& t, Bytes&) {
             Put32(t.tree.bytes, t.nameTable + 16 + 8 * 2 + 4, t.dataEntries[2]);
         }},
        {"name entry points back at the root",
         [](BitmapTree& t, Bytes&) { Put32(t.tree.bytes, t.nameTable + 16 + 8 * 2 + 4, kDir); }},
        {"language table past the end of the file",
         [](BitmapTree& t, Bytes&) {
             Put32(t.tree.bytes, t.nameTable + 16 + 8 * 2 + 4, 0x7FFFFFF0 | kDir);
         }},
        {"language table claims 65535 entries",
         [](BitmapTree& t, Bytes&) { Put16(t.tree.bytes, t.languageTables[2] + 14, 0xFFFF); }},
    };
    for (const Case& c : cases) {
        BitmapTree t = SimpleTree({1, 2, 3, 4, 5, 6});
        Bytes unused;
        c.damage(t, unused);
        BitmapStore store;
        ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t.tree), store)) << c.what;
        EXPECT_EQ(Ids(store), "1(10) 2(11) 4(13) 5(14) 6(15) ") << c.what;
    }
}

TEST(ResourceReader, DataEndingExactlyAtTheEndOfTheFileIsRead) {
    BitmapTree t = SimpleTree({7});
    Bytes image = ImageWith(t.tree);
    // Point the data at the last 10 bytes of the section (and the file),
    // then one byte further.
    const std::uint32_t sectionEnd = static_cast<std::uint32_t>(image.size()) - kRsrcRaw;
    Put32(image, kRsrcRaw + t.dataEntries[0], kRsrcRva + sectionEnd - 10);
    BitmapStore store;
    ASSERT_TRUE(pe::ReadBitmapResources(image, store));
    EXPECT_EQ(store.size(), 1u) << "exact fit";
    Put32(image, kRsrcRaw + t.dataEntries[0] + 4, 11);
    ASSERT_TRUE(pe::ReadBitmapResources(image, store));
    EXPECT_EQ(store.size(), 0u) << "one byte over";
}

TEST(ResourceReader, DamagedTopLevelGivesAnEmptyDocument) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const Layout l = LayoutFor(SimpleTree({1, 2}).tree);
    const Case cases[] = {
        {"no resource directory", [&](Bytes& b) { SetDirectory(b, l, 2, 0, 0); }},
        {"resource RVA in no section", [&](Bytes& b) { SetDirectory(b, l, 2, 0x8000, 16); }},
        {"NumberOfRvaAndSizes 2", [&](Bytes& b) { Put32(b, l.Opt() + 0x6C, 2); }},
        {"root claims 65535 + 65535 entries",
         [&](Bytes& b) {
             Put16(b, kRsrcRaw + 12, 0xFFFF);
             Put16(b, kRsrcRaw + 14, 0xFFFF);
         }},
        {"RT_BITMAP entry points at data", [&](Bytes& b) { Put32(b, kRsrcRaw + 20, 0x18); }},
        {"name table past the end", [&](Bytes& b) { Put32(b, kRsrcRaw + 20, 0xFFFFFFFF); }},
    };
    for (const Case& c : cases) {
        Bytes b = ImageWith(SimpleTree({1, 2}).tree);
        c.damage(b);
        BitmapStore store{{99, {1}}};
        EXPECT_TRUE(pe::ReadBitmapResources(b, store)) << c.what;
        EXPECT_TRUE(store.empty()) << c.what << ": " << Ids(store);
    }
}

TEST(ResourceReader, FindsNamesByBinarySearchLikeTheLoader) {
    // Listed names are looked up again by ID; with duplicates or an unsorted
    // table the lookup decides, as it does for the platform's FindResource.
    BitmapTree dup = SimpleTree({4, 4, 9});
    BitmapStore store;
    ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(dup.tree), store));
    EXPECT_EQ(Ids(store), "4(11) 9(12) ") << "binary search meets the second 4 first";

    BitmapTree unsorted = SimpleTree({9, 3});
    ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(unsorted.tree), store));
    EXPECT_EQ(Ids(store), "9(10) ") << "3 sits where a search for it does not look";
}

TEST(ResourceReader, SharedDataCannotMultiplyMemoryWithoutBound) {
    // 600 names all pointing at one 1 MiB payload would need 600 MiB of
    // copies from a file of 1 MiB; the reader gives up instead.
    const std::size_t count = 600;
    Tree t;
    t.Directory(0, {{2, 24 | kDir}});
    std::vector<TreeEntry> names;
    const std::uint32_t lang = 24 + 16 + 8 * count;
    for (std::uint32_t i = 0; i < count; ++i)
        names.push_back({i + 1, lang | kDir});
    t.Directory(0, names);
    t.Directory(0, {{0, lang + 24}});
    const std::uint32_t entry = t.DataEntry(0, 1 << 20);
    const std::uint32_t at = t.Data(Bytes(1 << 20, 0x33));
    Put32(t.bytes, entry, kRsrcRva + at);
    BitmapStore store;
    EXPECT_FALSE(pe::ReadBitmapResources(ImageWith(t), store));

    // The same table with 10 names is an honest, if odd, file.
    Put16(t.bytes, 24 + 14, 10);
    EXPECT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(store.size(), 10u);
}
