#include "convert/auto_convert.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kv::AutoConvert;
constexpr std::uint64_t kSettle = AutoConvert::kSettleMs;

using Rows = std::vector<std::int64_t>;

TEST(AutoConvert, NothingStartsWithoutARequest) {
    AutoConvert a;
    a.Arrived(100);
    a.RowAdded(0, 1);
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.WaitLeft(100'000).has_value());
    EXPECT_FALSE(a.TakeIfDue(100'000, true));
}

TEST(AutoConvert, ASelectionArrivingFileByFileMakesOneRunOfItsOwnRowsAfterThePause) {
    AutoConvert a;
    // Eight copies hand over one file each, 300 ms apart; the user adds a row meanwhile.
    std::int64_t id = 1;
    for (std::uint64_t t = 1000; t < 1000 + 8 * 300; t += 300) {
        const std::uint64_t request = a.Request(t);
        a.RowAdded(request, id++);
        if (t == 1600) a.RowAdded(0, 100);
        EXPECT_FALSE(a.TakeIfDue(t + 299, true)) << "still arriving at " << t;
    }
    const std::uint64_t last = 1000 + 7 * 300;
    EXPECT_EQ(a.WaitLeft(last + 500), kSettle - 500);
    EXPECT_FALSE(a.TakeIfDue(last + kSettle - 1, true));
    EXPECT_EQ(a.TakeIfDue(last + kSettle, true), (Rows{1, 2, 3, 4, 5, 6, 7, 8}));
    // Taken once: the next tick starts nothing more.
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.TakeIfDue(last + 10 * kSettle, true));
}

TEST(AutoConvert, FilesWithoutTheSwitchPostponeAWaitingRunButNeverStartOne) {
    AutoConvert a;
    a.RowAdded(a.Request(0), 1);
    a.Arrived(1000);  // a drop while the selection waits
    EXPECT_FALSE(a.TakeIfDue(kSettle, true));
    EXPECT_EQ(a.TakeIfDue(1000 + kSettle, true), Rows{1});
    a.Arrived(5000);
    EXPECT_FALSE(a.TakeIfDue(5000 + 10 * kSettle, true));
}

TEST(AutoConvert, ABusyWindowKeepsTheRequestUntilItIsIdle) {
    AutoConvert a;
    const std::uint64_t first = a.Request(0);
    // A run, a dialog or files still being added: asked again at every tick.
    EXPECT_FALSE(a.TakeIfDue(kSettle, false));
    a.RowAdded(first, 3);
    EXPECT_FALSE(a.TakeIfDue(60'000, false));
    EXPECT_TRUE(a.Pending());
    EXPECT_EQ(a.TakeIfDue(60'250, true), Rows{3});
    // A later selection is a request of its own; a row of the earlier one no longer joins.
    const std::uint64_t second = a.Request(70'000);
    EXPECT_NE(second, first);
    a.RowAdded(first, 4);
    a.RowAdded(second, 9);
    EXPECT_EQ(a.TakeIfDue(70'000 + kSettle, true), Rows{9});
}

TEST(AutoConvert, ARequestWhoseFilesGaveNoRowIsDoneWithNoRows) {
    AutoConvert a;
    const std::uint64_t r = a.Request(0);
    EXPECT_EQ(a.Request(200), r) << "joins the waiting request";
    a.RowAdded(0, 1);  // the user's own row meanwhile
    EXPECT_EQ(a.TakeIfDue(200 + kSettle, true), Rows{});
    EXPECT_FALSE(a.Pending()) << "done, not asked again";
}

TEST(AutoConvert, AClockThatGoesBackWaitsTheWholePauseAgain) {
    AutoConvert a;
    a.Request(10'000);
    EXPECT_EQ(a.WaitLeft(5'000), kSettle);
    EXPECT_FALSE(a.TakeIfDue(5'000, true));
    EXPECT_TRUE(a.TakeIfDue(10'000 + kSettle, true));
}

}  // namespace
