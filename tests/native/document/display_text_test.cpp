// What the list, the caption and the Resource ID field show and accept.
#include <gtest/gtest.h>

#include "document/display_text.h"

TEST(DisplayText, ListLabelsArePaddedToFiveDigits) {
    const struct {
        ResourceId id;
        const wchar_t* label;
    } cases[] = {{7, L"00007"},     {101, L"00101"},     {12345, L"12345"},
                 {65535, L"65535"}, {123456, L"123456"}, {0, L"00000"}};
    for (const auto& c : cases)
        EXPECT_EQ(ResourceIdLabel(c.id), c.label) << "id " << c.id;
}

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
}

TEST(DisplayText, ResourceIdFieldAcceptsOneTo65535Only) {
    const struct {
        const wchar_t* text;
        bool accepted;
        ResourceId id;
    } cases[] = {
        {L"101", true, 101},
        {L"1", true, 1},
        {L"65535", true, 65535},
        {L"00101", true, 101},
        {L" 42 ", true, 42},
        {L"0", false, 0},
        {L"00000", false, 0},
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
    }
}
