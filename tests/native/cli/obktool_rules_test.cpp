// The decisions obktool shows a user, one table each.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/obktool.h"
#include "support/dib_files.h"

namespace {

using namespace obktool;
using orvix_test::MakeDib;

// What a typed ID list selects from a container holding 5, 7, 9, 12 and
// 65535, or the message that refuses it.
TEST(ObktoolRules, IdListsAsTypedSelectStoredIds) {
    const BitmapStore store = {{5, {1}}, {7, {1}}, {9, {1}}, {12, {1}}, {65535, {1}}};
    struct Case {
        const char* typed;
        std::vector<ResourceId> selected;
        const char* error;
    };
    const Case cases[] = {
        {"5", {5}, ""},
        {"5-100", {5, 7, 9, 12}, ""},
        {"5,7,9-12", {5, 7, 9, 12}, ""},
        {"12-9", {9, 12}, ""},  // either order, as the editor's range export
        {"9-5,7,12", {5, 7, 9, 12}, ""},
        {" 6 - 8 , 65535", {7, 65535}, ""},
        {"6", {}, "no bitmap with ID 00006"},
        {"13-100", {}, "no bitmap with an ID in the list"},
        {"0", {}, "'0' is not a resource ID from 1 to 65535"},
        {"70000", {}, "'70000' is not a resource ID from 1 to 65535"},
        {"1-65536", {}, "'65536' is not"},
        {"", {}, "'' is not"},
        {"5,", {}, "'' is not"},
        {"5--7", {}, "'-7' is not"},
        {"x", {}, "'x' is not"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto list = ParseIdList(c.typed, error);
        const auto selected = list ? SelectIds(store, *list, error) : std::nullopt;
        EXPECT_EQ(selected.value_or(std::vector<ResourceId>{}), c.selected) << c.typed;
        EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << c.typed;
    }
}

TEST(ObktoolRules, ProgressOnlyForAPersonAtATerminal) {
    // terminal, quiet, json -> shown
    const bool table[][4] = {{true, false, false, true},
                             {false, false, false, false},
                             {true, true, false, false},
                             {true, false, true, false}};
    for (const auto& row : table)
        EXPECT_EQ(ShowsProgress(row[0], row[1], row[2]), row[3]) << row[0] << row[1] << row[2];
    EXPECT_EQ(ProgressLine("extract", 256, 1000), "\rextract 256/1000");
    EXPECT_EQ(ProgressLine("extract", 1000, 1000), "\rextract 1000/1000\n");
}

TEST(ObktoolRules, ListingRowsAndJsonFields) {
    // The OS/2 core header: 16-bit width and height, no compression field.
    DibPayload core(76);
    orvix_test::le::Put32(core, 0, 12);
    orvix_test::le::Put16(core, 4, 4);
    orvix_test::le::Put16(core, 6, 4);
    orvix_test::le::Put16(core, 10, 4);
    const BitmapStore store = {
        {5, MakeDib({.width = 2, .height = 3}, 64)},
        // top-down RLE8: a magnitude is shown
        {7, MakeDib({.width = 16, .height = -8, .bitCount = 8, .compression = 1}, 300)},
        {300, core},
        {65535, MakeDib({.biSize = 124, .bitCount = 32, .compression = 3}, 136)},
        {9, DibPayload(20, 0)},  // too short for any header
    };
    EXPECT_EQ(ListText(ListingOf(store)),
              "00005         64         2x3 24 RGB\n"
              "00007        300        16x8  8 RLE8\n"
              "00009         20           ?  ? ?\n"
              "00300         76         4x4  4 RGB\n"
              "65535        136         1x1 32 BITFIELDS\n");
    EXPECT_EQ(ListJson(ListingOf({{7, store.at(7)}, {9, store.at(9)}})),
              R"([{"id":7,"size":300,"width":16,"height":8,"bitDepth":8,"compression":1},)"
              R"({"id":9,"size":20,"width":null,"height":null,"bitDepth":null,"compression":null}])"
              "\n");
    EXPECT_EQ(CompressionName(5), "PNG");
    EXPECT_EQ(CompressionName(11), "11");
}

TEST(ObktoolRules, InfoNamesWhatASaveDrops) {
    pe::ResourceSurvey survey;
    survey.is64 = true;
    EXPECT_EQ(DroppedResourcesWarning(survey), "");
    EXPECT_EQ(InfoText(survey, {}), "format:  PE32+\nbitmaps: 0\nbytes:   0\nIDs:     none\n");
    survey.namedBitmaps = 1;
    survey.otherTypes = {{-1, 2}, {3, 2}, {16, 1}, {99, 1}};
    const std::string warning =
        "it also holds 1 named bitmap, 2 resources of named types, 2 icons, "
        "1 version record and 1 resource of type 99, which a save does not keep";
    EXPECT_EQ(DroppedResourcesWarning(survey), warning);
    EXPECT_NE(InfoText(survey, {}).find("\nwarning: " + warning + "\n"), std::string::npos);
    EXPECT_EQ(InfoJson(survey, ListingOf({{3, DibPayload(10)}, {400, DibPayload(5)}})),
              R"({"format":"PE32+","bitmaps":2,"totalSize":15,"firstId":3,"lastId":400,)"
              R"("namedBitmaps":1,"otherResources":[{"type":-1,"count":2},{"type":3,"count":2},)"
              R"({"type":16,"count":1},{"type":99,"count":1}],"warning":")" +
                  warning + "\"}\n");
}

}  // namespace
