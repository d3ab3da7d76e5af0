// Reading bitmaps out of hand-made resource tables, sound and damaged.
#include <gtest/gtest.h>

#include "document/pe_resource_reader.h"
#include "support/pe_images.h"

using namespace orvix_test;

TEST(ResourceReader, ReadsOnlyNumericBitmaps) {
    // Types: a string name, RT_BITMAP, RT_ICON and RCDATA; bitmaps: "NAMED", 1, 2.
    Tree t;
    const std::uint32_t root = t.Directory(1, {{0, 0}, {2, 0}, {3, 0}, {10, 0}});
    const std::uint32_t typeName = t.String(u"BITMAP");
    const std::uint32_t bitmaps = t.Directory(1, {{0, 0}, {1, 0}, {2, 0}});
    const std::uint32_t others = t.Directory(0, {{1, 0}});
    const std::uint32_t bitmapName = t.String(u"NAMED");
    std::uint32_t languages[4];
    for (std::uint32_t i = 0; i < 4; ++i) {
        const std::uint32_t entry = t.Append(16);
        le::Put32(t.bytes, entry, kRsrcRva + t.Data(Payload(20 + i, static_cast<int>(i))));
        le::Put32(t.bytes, entry + 4, 20 + i);
        languages[i] = t.Directory(0, {{0, entry}}) | kDir;
    }
    auto link = [&](std::uint32_t table, std::uint32_t i, std::uint32_t name,
                    std::uint32_t target) {
        le::Put32(t.bytes, table + 16 + 8 * i, name);
        le::Put32(t.bytes, table + 20 + 8 * i, target);
    };
    link(root, 0, typeName | kDir, others | kDir);
    link(root, 1, 2, bitmaps | kDir);
    link(root, 2, 3, others | kDir);
    link(root, 3, 10, others | kDir);
    link(bitmaps, 0, bitmapName | kDir, languages[0]);
    link(bitmaps, 1, 1, languages[1]);
    link(bitmaps, 2, 2, languages[2]);
    link(others, 0, 1, languages[3]);
    BitmapStore store;
    ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(Describe(store), "1(21) 2(22) ");
    EXPECT_EQ(store[2], Payload(22, 2));
}

TEST(ResourceReader, ChoosesTheLanguageVersionTheLoaderChooses) {
    const pe::LanguageOrder english = pe::kEnglishUsLanguageOrder,
                            german = {{0x0000, 0x0407, 0x0007, 0x0409}},
                            fixed = pe::FixedLanguageOrder();
    const struct {
        std::vector<std::uint16_t> present;  // ascending, as compilers write them, but one row
        const pe::LanguageOrder& order;
        std::uint16_t expected;
    } cases[] = {
        {{0x0407, 0x0409}, english, 0x0409},
        {{0x0000, 0x0409}, english, 0x0000},
        {{0x0407, 0x040C}, english, 0x0407},
        {{0x0009, 0x0809}, english, 0x0009},
        {{0x0400, 0x0407}, english, 0x0400},
        {{0x0407, 0x0800}, english, 0x0407},
        {{0x0009, 0x0407, 0x0C09}, english, 0x0009},
        {{0x0407, 0x0409}, german, 0x0407},
        {{0x0007, 0x0409}, german, 0x0007},
        {{0x0009, 0x0407, 0x0C09}, german, 0x0407},
        // The same on every machine: neutral, U.S. English, the lowest ID.
        {{0x0407, 0x0409}, fixed, 0x0409},
        {{0x0000, 0x0409}, fixed, 0x0000},
        {{0x040C, 0x0407}, fixed, 0x0407},
        {{0x040C, 0x0407}, english, 0x040C},
        {{0x0C09, 0x0809}, fixed, 0x0809},
    };
    for (const auto& c : cases) {
        Tree t;
        const auto n = static_cast<std::uint32_t>(c.present.size());
        t.Directory(0, {{2, 24 | kDir}});
        t.Directory(0, {{5, 48 | kDir}});
        std::vector<std::pair<std::uint32_t, std::uint32_t>> languages;
        for (std::uint32_t i = 0; i < n; ++i)
            languages.push_back({c.present[i], 64 + 8 * n + 16 * i});
        t.Directory(0, languages);
        std::vector<std::uint32_t> entries;
        for (std::uint32_t i = 0; i < n; ++i)
            entries.push_back(t.Append(16));
        for (std::uint32_t i = 0; i < n; ++i) {
            Bytes data(2);
            le::Put16(data, 0, c.present[i]);
            le::Put32(t.bytes, entries[i], kRsrcRva + t.Data(data));
            le::Put32(t.bytes, entries[i] + 4, 2);
        }
        BitmapStore store;
        ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t), store, c.order));
        ASSERT_EQ(store.count(5), 1u);
        EXPECT_EQ(le::Get16(store[5], 0), c.expected)
            << "first present 0x" << std::hex << c.present[0];
    }
}

TEST(ResourceReader, DamagedTablesLoseOnlyWhatTheyDamage) {
    for (const ReaderDamage& d : ReaderDamages()) {
        BitmapStore store{{99, {1}}};
        ASSERT_TRUE(pe::ReadBitmapResources(DamagedImage(d), store)) << d.what;
        EXPECT_EQ(Describe(store), d.survivors) << d.what;
    }
}

TEST(ResourceReader, SharedDataCannotMultiplyMemoryWithoutBound) {
    // 600 names sharing one 1 MiB payload would need 600 MiB of copies from a
    // file of 1 MiB; the reader gives up instead, but not at 10 names.
    const std::uint32_t count = 600, language = 24 + 16 + 8 * count;
    Tree t;
    t.Directory(0, {{2, 24 | kDir}});
    std::vector<std::pair<std::uint32_t, std::uint32_t>> names;
    for (std::uint32_t i = 0; i < count; ++i)
        names.push_back({i + 1, language | kDir});
    t.Directory(0, names);
    t.Directory(0, {{0, language + 24}});
    const std::uint32_t entry = t.Append(16);
    le::Put32(t.bytes, entry, kRsrcRva + t.Data(Bytes(1 << 20, 0x33)));
    le::Put32(t.bytes, entry + 4, 1 << 20);
    BitmapStore store;
    EXPECT_FALSE(pe::ReadBitmapResources(ImageWith(t), store));
    le::Put16(t.bytes, 24 + 14, 10);
    EXPECT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(store.size(), 10u);
}
