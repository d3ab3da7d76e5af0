// Reading bitmaps out of hand-made resource tables, sound and damaged.
#include <gtest/gtest.h>

#include "document/blank_container.h"
#include "document/pe_image_writer.h"
#include "document/pe_resource_reader.h"
#include "support/pe_images.h"

using namespace orvix_test;

// Names sort before numbers in a directory; three of them at each level, so
// that a search for numbers that strays among the names loses bitmaps.
TEST(ResourceReader, ReadsOnlyNumericBitmapsBesideNamedTypesAndNames) {
    // Types: three string names, RT_BITMAP, RT_ICON and RCDATA; bitmaps:
    // "A", "B", "C", 1, 2.
    Tree t;
    const std::uint32_t root = t.Directory(3, {{0, 0}, {0, 0}, {0, 0}, {2, 0}, {3, 0}, {10, 0}});
    const std::uint32_t bitmaps = t.Directory(3, {{0, 0}, {0, 0}, {0, 0}, {1, 0}, {2, 0}});
    const std::uint32_t others = t.Directory(0, {{1, 0}});
    std::uint32_t languages[6];
    for (std::uint32_t i = 0; i < 6; ++i)
        languages[i] = t.Directory(0, {{0, t.Entry(Payload(20 + i, static_cast<int>(i)))}}) | kDir;
    const char16_t* names[] = {u"A", u"B", u"C"};
    for (std::uint32_t i = 0; i < 3; ++i) {
        t.Link(root, i, t.String(names[i]) | kDir, others | kDir);
        t.Link(bitmaps, i, t.String(names[i]) | kDir, languages[i]);
    }
    t.Link(root, 3, 2, bitmaps | kDir);
    t.Link(root, 4, 3, others | kDir);
    t.Link(root, 5, 10, others | kDir);
    t.Link(bitmaps, 3, 1, languages[3]);
    t.Link(bitmaps, 4, 2, languages[4]);
    t.Link(others, 0, 1, languages[5]);
    BitmapStore store;
    ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(Describe(store), "1(23) 2(24) ");
    EXPECT_EQ(store[2], Payload(24, 4));
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
    };
    for (const auto& c : cases) {
        Tree t;
        t.Directory(0, {{2, 24 | kDir}});
        t.Directory(0, {{5, 48 | kDir}});
        const std::uint32_t languages = t.Directory(0, {c.present.size(), {0, 0}});
        // Each version's size tells its language.
        for (std::uint32_t i = 0; i < c.present.size(); ++i)
            t.Link(languages, i, c.present[i], t.Entry(Bytes(c.present[i] + 1u)));
        BitmapStore store;
        ASSERT_TRUE(pe::ReadBitmapResources(ImageWith(t), store, c.order));
        EXPECT_EQ(Describe(store), "5(" + std::to_string(c.expected + 1) + ") ")
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
    t.Entry(Bytes(1 << 20, 0x33));
    BitmapStore store;
    EXPECT_FALSE(pe::ReadBitmapResources(ImageWith(t), store));
    le::Put16(t.bytes, 24 + 14, 10);
    EXPECT_TRUE(pe::ReadBitmapResources(ImageWith(t), store));
    EXPECT_EQ(store.size(), 10u);
}

// A container several read windows long, with bitmaps across every kind of
// window edge (of the 8 KiB head windows and the 1 MiB payload windows), and
// one larger than a window: loading, listing and streaming each give every
// bitmap whole; a read error fails a load or a save instead of losing data.
TEST(ResourceReader, BitmapsAcrossReadWindowsComeBackWholeOrNotAtAll) {
    BitmapStore store;
    for (ResourceId id = 1; id <= 3000; ++id)
        store[id] = Payload(1000 + static_cast<std::size_t>(id * 7919 % 2000), id);
    store[1500] = Payload((3u << 19) + 3, 1500);
    Bytes image;
    const auto blank = pe::MakeBlankImage(false);
    ASSERT_TRUE(pe::BuildImageWithBitmaps(blank, store, image));
    const pe::ImageSource source = pe::SpanSource(image);
    BitmapStore loaded, heads, streamed;
    std::map<ResourceId, std::uint32_t> sizes;
    std::vector<pe::BitmapLocation> where;
    ASSERT_TRUE(pe::ReadBitmapResources(source, loaded));
    EXPECT_TRUE(loaded == store) << Describe(loaded).substr(0, 200);
    ASSERT_TRUE(pe::ReadBitmapHeads(source, 124, heads, sizes));
    ASSERT_TRUE(pe::LocateBitmapResources(source, where));
    ASSERT_TRUE(pe::StreamBitmapResources(source, where,
                                          [&](ResourceId id, std::span<const std::uint8_t> bytes) {
                                              streamed[id] = DibPayload(bytes.begin(), bytes.end());
                                              return true;
                                          }));
    EXPECT_TRUE(streamed == store);
    for (const auto& [id, payload] : store) {
        ASSERT_EQ(sizes[id], payload.size()) << id;
        ASSERT_EQ(heads[id], Bytes(payload.begin(), payload.begin() + 124)) << id;
    }

    // A source that fails every read reaching past a limit: a disk error, or
    // a file cut short while it is read.
    const auto failingAfter = [&image](std::uint64_t limit) {
        pe::ImageSource failing = pe::SpanSource(image);
        failing.read = [whole = failing.read, limit](std::uint64_t at,
                                                     std::span<std::uint8_t> out) {
            return at + out.size() <= limit && whole(at, out);
        };
        return failing;
    };
    const std::uint64_t size = image.size();
    for (std::uint64_t limit :
         {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{0x1000}, size / 4, size / 2}) {
        BitmapStore read{{1, {1}}};
        EXPECT_FALSE(pe::ReadBitmapResources(failingAfter(limit), read))
            << "limit " << limit << ": a read error must not look like a smaller container";
        EXPECT_TRUE(read.empty());
    }
    // Saving needs the headers and, here, the data after the last section.
    image.resize(size + 100, 0x77);
    const auto save = [&](std::uint64_t limit) {
        return pe::WriteImageWithBitmaps(failingAfter(limit), store,
                                         [](std::span<const std::uint8_t>) { return true; });
    };
    for (std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{100}, size / 2, size + 99})
        EXPECT_FALSE(save(limit)) << "limit " << limit;
    EXPECT_TRUE(save(size + 100));
}
