// What the list, the caption and the Resource ID field show and accept, and
// renumbering a bitmap in the store with the question it may ask first.
#include <gtest/gtest.h>

#include "document/command_line.h"
#include "document/container_io.h"
#include "document/display_text.h"
#include "document/renumber.h"

TEST(DisplayText, CaptionNamesTheFileAndMarksUnsavedChanges) {
    const struct {
        bool loaded;
        bool dirty;
        const wchar_t* caption;
    } cases[] = {{false, false, L"Orvix"},
                 {false, true, L"Orvix"},
                 {true, false, L"Orvix - D:\\art\\tiles.obk"},
                 {true, true, L"Orvix - D:\\art\\tiles.obk *"}};
    for (const auto& c : cases) {
        ContainerDoc doc;
        doc.loaded = c.loaded;
        doc.dirty = c.dirty;
        doc.path = L"D:\\art\\tiles.obk";
        EXPECT_EQ(WindowCaption(doc), c.caption) << "loaded " << c.loaded << " dirty " << c.dirty;
    }
    EXPECT_EQ(ChangedOnDiskQuestion(L"D:\\art\\tiles.obk"),
              L"D:\\art\\tiles.obk has changed on disk since it was opened. Overwrite it?");
}

TEST(CommandLine, OpensTheFirstNameAfterTheProgramsOwn) {
    using Words = std::vector<std::wstring>;
    const struct {
        Words words;
        const wchar_t* file;
    } cases[] = {{{}, L""},
                 {{L"Orvix.exe"}, L""},
                 {{L"Orvix.exe", L"D:\\my art\\a.obk", L"b.obk"}, L"D:\\my art\\a.obk"}};
    for (const auto& c : cases)
        EXPECT_EQ(ContainerToOpenAtStart(c.words), c.file) << c.words.size() << " words";
}

// A stored ID (one a file already holds) may also be 0. The list shows an ID
// padded to five digits, and one past five digits whole.
TEST(DisplayText, ResourceIdFieldAcceptsOneTo65535OnlyAndTheListPadsToFiveDigits) {
    const struct {
        const wchar_t* text;
        bool accepted;
        ResourceId id;
        const wchar_t* label = nullptr;
        bool stored = false;
    } cases[] = {
        {L"101", true, 101, L"00101"},
        {L"1", true, 1, L"00001"},
        {L"65535", true, 65535, L"65535"},
        {L"00101", true, 101, L"00101"},
        {L" 42 ", true, 42, L"00042"},
        {L"0", false, 0, L"00000", true},
        {L"00000", false, 0, L"00000", true},
        {L"65536", false, 0},
        {L"4294967297", false, 0},
        {L"99999999999999999999", false, 0},
        {L"", false, 0},
        {L"   ", false, 0},
        {L"-5", false, 0},
        {L"+5", false, 0},
        {L"12a", false, 0},
        {L"1 2", false, 0},
        {L"0x10", false, 0},
        {L"\x0661\x0662", false, 0},  // Arabic-Indic digits are not ASCII digits
    };
    for (const auto& c : cases) {
        ResourceId id = -7;
        EXPECT_EQ(ParseResourceIdField(c.text, id), c.accepted)
            << ::testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(id, c.accepted ? c.id : -7) << "a refused text leaves the ID alone";
        EXPECT_EQ(ParseStoredResourceId(c.text, id), c.accepted || c.stored);
        if (c.label) {
            EXPECT_EQ(ResourceIdLabel(c.id), c.label);
        }
    }
    EXPECT_EQ(ResourceIdLabel(123456), L"123456");
}

const BitmapStore kStore = {{12, {1, 2}}, {15, {3}}, {20, {4}}};

TEST(MoveBitmapId, MovesOverwritesOrLeavesTheStoreAlone) {
    const struct {
        ResourceId from, to;
        bool overwrite, moves;
        BitmapStore after;
    } cases[] = {
        {12, 13, false, true, {{13, {1, 2}}, {15, {3}}, {20, {4}}}},
        {12, 15, false, false, kStore},
        {12, 15, true, true, {{15, {1, 2}}, {20, {4}}}},
        {12, 12, true, true, kStore},  // a clean document stays clean
        {99, 100, true, false, kStore},
    };
    for (const auto& c : cases) {
        ContainerDoc doc;
        doc.loaded = true;
        doc.bitmaps = kStore;
        const std::string what = std::to_string(c.from) + " to " + std::to_string(c.to) +
                                 (c.overwrite ? ", overwriting" : "");
        EXPECT_EQ(MoveBitmapId(doc, c.from, c.to, c.overwrite), c.moves) << what;
        EXPECT_EQ(doc.bitmaps, c.after) << what;
        EXPECT_EQ(doc.dirty, doc.bitmaps != kStore) << what;
    }
}

TEST(Renumbering, FollowsTheTypedIdAndTheAnswerToTheOverwriteQuestion) {
    ContainerDoc doc;
    doc.bitmaps = kStore;
    using A = OverwriteAnswer;
    const struct {
        ResourceId newId;
        OverwriteAnswer answer;
        bool asks;
        Renumbering result;
    } cases[] = {
        {0, A::Yes, false, Renumbering::None},  // prompt cancelled
        {12, A::Yes, false, Renumbering::None},     {13, A::No, false, Renumbering::Move},
        {15, A::Yes, true, Renumbering::Overwrite}, {15, A::YesToAll, true, Renumbering::Overwrite},
        {15, A::No, true, Renumbering::None},       {15, A::NoToAll, true, Renumbering::None},
        {15, A::Cancel, true, Renumbering::None},   {15, A::NotShown, true, Renumbering::None},
    };
    for (const auto& c : cases) {
        const std::string what =
            std::to_string(c.newId) + ", answer " + std::to_string(static_cast<int>(c.answer));
        EXPECT_EQ(RenumberingAsks(doc, 12, c.newId), c.asks) << what;
        EXPECT_EQ(DecideRenumbering(doc, 12, c.newId, c.answer), c.result) << what;
    }
    EXPECT_EQ(OverwriteQuestion(15), L"Resource ID 15 already exists. Overwrite?");
}
