// Which ID each numbered file gets, which files are left out, and how the
// answers to the overwrite question carry through one import.
#include <gtest/gtest.h>

#include <vector>

#include "batch/folder_numbering.h"

namespace {

using Ids = std::vector<std::int32_t>;  // -1: left out

Ids Number(FolderNumbering& numbering, const std::vector<std::int32_t>& numbers) {
    Ids ids;
    for (std::int32_t n : numbers) {
        auto id = numbering.Take(NumberedBitmapFile{n, L""});
        ids.push_back(id ? *id : -1);
    }
    return ids;
}

}  // namespace

TEST(FolderNumbering, GivesEachFileAnIdAContainerCanHoldOrLeavesItOut) {
    using Numbering = FolderNumbering;
    const struct {
        const char* what;
        FolderNumbering numbering;
        std::vector<std::int32_t> numbers;
        Ids ids;
        int leftOut;
    } cases[] = {
        {"numeric", Numbering::Numeric(), {3, 10, 65535}, {3, 10, 65535}, 0},
        {"00000 and past 65535", Numbering::Numeric(), {0, 7, 65536, 99999}, {-1, 7, -1, -1}, 3},
        {"sequential, scan order", Numbering::Sequential(101), {3, 7, 9}, {101, 102, 103}, 0},
        {"run past 65535", Numbering::Sequential(65534), {1, 2, 3, 4}, {65534, 65535, -1, -1}, 2},
    };
    for (const auto& c : cases) {
        FolderNumbering numbering = c.numbering;
        EXPECT_EQ(Number(numbering, c.numbers), c.ids) << c.what;
        EXPECT_EQ(numbering.leftOut(), c.leftOut) << c.what;
    }
}

TEST(FolderNumbering, SaysHowManyFilesWereLeftOut) {
    EXPECT_EQ(LeftOutMessage(0), L"");
    EXPECT_EQ(LeftOutMessage(1),
              L"1 file was left out: its resource ID would lie outside 1 to 65535.");
    EXPECT_EQ(LeftOutMessage(3),
              L"3 files were left out: their resource IDs would lie outside 1 to 65535.");
}

TEST(OverwritePolicy, AnswersForAllStopTheQuestionsOthersAskAgain) {
    using A = OverwriteAnswer;
    const struct {
        std::vector<A> answers;
        std::vector<bool> stored;
        bool asksAgain;
        bool overwritesWithoutAsking;
    } cases[] = {
        {{A::Yes, A::No}, {true, false}, true, false},
        {{A::Cancel, A::NotShown}, {true, true}, true, false},
        {{A::No, A::YesToAll}, {false, true}, false, true},
        {{A::NoToAll}, {false}, false, false},
    };
    for (const auto& c : cases) {
        OverwritePolicy policy;
        std::vector<bool> stored;
        for (A answer : c.answers) {
            ASSERT_TRUE(policy.NeedsQuestion());
            stored.push_back(policy.Answer(answer));
        }
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(policy.NeedsQuestion(), c.asksAgain);
        if (!c.asksAgain) {
            EXPECT_EQ(policy.OverwriteWithoutAsking(), c.overwritesWithoutAsking);
        }
    }
}
