// Renumbering a bitmap in the store, and the question it may ask first.
#include <gtest/gtest.h>

#include "document/container_io.h"
#include "document/renumber.h"

namespace {

const BitmapStore kStore = {{12, {1, 2}}, {15, {3}}, {20, {4}}};

}  // namespace

TEST(MoveBitmapId, MovesOverwritesOrLeavesTheStoreAlone) {
    const struct {
        ResourceId from, to;
        bool overwrite, moves;
        BitmapStore after;
    } cases[] = {
        {12, 13, false, true, {{13, {1, 2}}, {15, {3}}, {20, {4}}}},
        {20, 65535, false, true, {{12, {1, 2}}, {15, {3}}, {65535, {4}}}},
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
