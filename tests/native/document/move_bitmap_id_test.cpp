// Renumbering a bitmap in the store.
#include <gtest/gtest.h>

#include <filesystem>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "document/renumber.h"

namespace {

ContainerDoc Doc() {
    ContainerDoc doc;
    doc.loaded = true;
    doc.bitmaps = {{12, {1, 2}}, {15, {3}}, {20, {4}}};
    return doc;
}

}  // namespace

TEST(MoveBitmapId, MovesToAFreeId) {
    ContainerDoc doc = Doc();
    ASSERT_TRUE(MoveBitmapId(doc, 12, 13, false));
    EXPECT_EQ(doc.bitmaps, (BitmapStore{{13, {1, 2}}, {15, {3}}, {20, {4}}}));
    EXPECT_TRUE(doc.dirty);
}

TEST(MoveBitmapId, OverwritesATakenIdOnlyWhenAsked) {
    ContainerDoc doc = Doc();
    EXPECT_FALSE(MoveBitmapId(doc, 12, 15, false));
    EXPECT_EQ(doc.bitmaps, Doc().bitmaps);
    EXPECT_FALSE(doc.dirty);

    ASSERT_TRUE(MoveBitmapId(doc, 12, 15, true));
    EXPECT_EQ(doc.bitmaps, (BitmapStore{{15, {1, 2}}, {20, {4}}}));
    EXPECT_TRUE(doc.dirty);
}

TEST(MoveBitmapId, SameIdOrMissingIdChangesNothing) {
    ContainerDoc doc = Doc();
    EXPECT_TRUE(MoveBitmapId(doc, 12, 12, false));
    EXPECT_FALSE(doc.dirty) << "a clean document stays clean";
    EXPECT_FALSE(MoveBitmapId(doc, 99, 100, true));
    EXPECT_EQ(doc.bitmaps, Doc().bitmaps);
    EXPECT_FALSE(doc.dirty);
}

TEST(MoveBitmapId, MovedBitmapIsSavedUnderItsNewIdOnly) {
    const auto path = std::filesystem::temp_directory_path() / "orvix-move-id.obk";
    ASSERT_TRUE(WriteBlankContainer(path.wstring(), true));
    ContainerDoc doc = Doc();
    doc.path = path.wstring();
    ASSERT_TRUE(MoveBitmapId(doc, 20, 65535, false));
    ASSERT_TRUE(SaveContainer(doc, doc.path));
    ContainerDoc again;
    ASSERT_TRUE(LoadContainer(again, path.wstring()));
    EXPECT_EQ(again.bitmaps, (BitmapStore{{12, {1, 2}}, {15, {3}}, {65535, {4}}}));
    std::filesystem::remove(path);
}

TEST(Renumbering, FollowsTheTypedIdAndTheAnswerToTheOverwriteQuestion) {
    const ContainerDoc doc = Doc();
    struct Case {
        ResourceId newId;
        OverwriteAnswer answer;
        bool asks;
        Renumbering result;
    } cases[] = {
        {0, OverwriteAnswer::Yes, false, Renumbering::None},  // prompt cancelled
        {12, OverwriteAnswer::Yes, false, Renumbering::None},
        {13, OverwriteAnswer::No, false, Renumbering::Move},
        {15, OverwriteAnswer::Yes, true, Renumbering::Overwrite},
        {15, OverwriteAnswer::YesToAll, true, Renumbering::Overwrite},
        {15, OverwriteAnswer::No, true, Renumbering::None},
        {15, OverwriteAnswer::NoToAll, true, Renumbering::None},
        {15, OverwriteAnswer::Cancel, true, Renumbering::None},
        {15, OverwriteAnswer::NotShown, true, Renumbering::None},
    };
    for (const Case& c : cases) {
        const std::string what =
            std::to_string(c.newId) + ", answer " + std::to_string(static_cast<int>(c.answer));
        EXPECT_EQ(RenumberingAsks(doc, 12, c.newId), c.asks) << what;
        EXPECT_EQ(DecideRenumbering(doc, 12, c.newId, c.answer), c.result) << what;
    }
    EXPECT_EQ(OverwriteQuestion(15), L"Resource ID 15 already exists. Overwrite?");
}
