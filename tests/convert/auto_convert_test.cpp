#include "convert/auto_convert.h"

#include <gtest/gtest.h>

namespace {

using kv::AutoConvert;
constexpr std::uint64_t kSettle = AutoConvert::kSettleMs;

TEST(AutoConvert, NothingStartsWithoutARequest) {
    AutoConvert a;
    a.Arrived(100);
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.WaitLeft(100'000).has_value());
    EXPECT_FALSE(a.TakeIfDue(100'000, true));
}

TEST(AutoConvert, ASelectionArrivingFileByFileMakesOneRunAfterThePause) {
    AutoConvert a;
    // Eight copies hand over one file each, 300 ms apart.
    for (std::uint64_t t = 1000; t < 1000 + 8 * 300; t += 300) {
        a.Request(t);
        EXPECT_FALSE(a.TakeIfDue(t + 299, true)) << "still arriving at " << t;
    }
    const std::uint64_t last = 1000 + 7 * 300;
    EXPECT_EQ(a.WaitLeft(last + 500), kSettle - 500);
    EXPECT_FALSE(a.TakeIfDue(last + kSettle - 1, true));
    EXPECT_TRUE(a.TakeIfDue(last + kSettle, true));
    // Taken once: the next tick starts nothing more.
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.TakeIfDue(last + 10 * kSettle, true));
}

TEST(AutoConvert, FilesWithoutTheSwitchPostponeAWaitingRunButNeverStartOne) {
    AutoConvert a;
    a.Request(0);
    a.Arrived(1000);  // a drop while the selection waits
    EXPECT_FALSE(a.TakeIfDue(kSettle, true));
    EXPECT_TRUE(a.TakeIfDue(1000 + kSettle, true));
    a.Arrived(5000);
    EXPECT_FALSE(a.TakeIfDue(5000 + 10 * kSettle, true));
}

TEST(AutoConvert, ABusyWindowKeepsTheRequestUntilItIsIdle) {
    AutoConvert a;
    a.Request(0);
    // A run, a dialog or files still being added: asked again at every tick.
    EXPECT_FALSE(a.TakeIfDue(kSettle, false));
    EXPECT_FALSE(a.TakeIfDue(60'000, false));
    EXPECT_TRUE(a.Pending());
    EXPECT_TRUE(a.TakeIfDue(60'250, true));
    // A later selection is a request of its own.
    a.Request(70'000);
    EXPECT_TRUE(a.TakeIfDue(70'000 + kSettle, true));
}

TEST(AutoConvert, AClockThatGoesBackWaitsTheWholePauseAgain) {
    AutoConvert a;
    a.Request(10'000);
    EXPECT_EQ(a.WaitLeft(5'000), kSettle);
    EXPECT_FALSE(a.TakeIfDue(5'000, true));
    EXPECT_TRUE(a.TakeIfDue(10'000 + kSettle, true));
}

}  // namespace
