#include "convert/auto_convert.h"

#include <gtest/gtest.h>

#include "convert/run_fakes.h"

namespace {

using kv::AutoConvert;
constexpr std::uint64_t kSettle = AutoConvert::kSettleMs;

TEST(AutoConvert, NothingStartsWithoutARequest) {
    AutoConvert a;
    a.Arrived(100);
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.WaitLeft(100'000).has_value());
    EXPECT_FALSE(a.TakeIfDue(100'000, true, true));
}

TEST(AutoConvert, ASelectionArrivingFileByFileMakesOneRunAfterThePause) {
    AutoConvert a;
    // Eight copies hand over one file each, 300 ms apart.
    for (std::uint64_t t = 1000; t < 1000 + 8 * 300; t += 300) {
        a.Request(t, 1);
        EXPECT_FALSE(a.TakeIfDue(t + 299, true, true)) << "still arriving at " << t;
    }
    const std::uint64_t last = 1000 + 7 * 300;
    EXPECT_EQ(a.WaitLeft(last + 500), kSettle - 500);
    EXPECT_FALSE(a.TakeIfDue(last + kSettle - 1, true, true));
    EXPECT_TRUE(a.TakeIfDue(last + kSettle, true, true));
    EXPECT_EQ(a.FirstJobId(), 1) << "the rows of the first file on";
    // Taken once: the next tick starts nothing more.
    EXPECT_FALSE(a.Pending());
    EXPECT_FALSE(a.TakeIfDue(last + 10 * kSettle, true, true));
}

TEST(AutoConvert, FilesWithoutTheSwitchPostponeAWaitingRunButNeverStartOne) {
    AutoConvert a;
    a.Request(0, 1);
    a.Arrived(1000);  // a drop while the selection waits
    EXPECT_FALSE(a.TakeIfDue(kSettle, true, true));
    EXPECT_TRUE(a.TakeIfDue(1000 + kSettle, true, true));
    a.Arrived(5000);
    EXPECT_FALSE(a.TakeIfDue(5000 + 10 * kSettle, true, true));
}

TEST(AutoConvert, ABusyWindowKeepsTheRequestUntilItIsIdle) {
    AutoConvert a;
    a.Request(0, 1);
    // A run, a dialog or files still being added: asked again at every tick.
    EXPECT_FALSE(a.TakeIfDue(kSettle, false, true));
    EXPECT_FALSE(a.TakeIfDue(60'000, false, true));
    EXPECT_TRUE(a.Pending());
    EXPECT_TRUE(a.TakeIfDue(60'250, true, true));
    // A later selection is a request of its own.
    a.Request(70'000, 9);
    EXPECT_TRUE(a.TakeIfDue(70'000 + kSettle, true, true));
}

TEST(AutoConvert, ARequestWhoseFilesGaveNoRowIsDroppedAndStartsNothing) {
    AutoConvert a;
    a.Request(0, 5);
    a.Request(200, 7);  // joins the waiting request: its rows count from 5
    EXPECT_EQ(a.FirstJobId(), 5);
    EXPECT_FALSE(a.TakeIfDue(200 + kSettle, false, false)) << "still adding";
    EXPECT_TRUE(a.Pending());
    EXPECT_FALSE(a.TakeIfDue(200 + kSettle, true, false));
    EXPECT_FALSE(a.Pending()) << "dropped, not asked again";
    EXPECT_FALSE(a.TakeIfDue(200 + 2 * kSettle, true, true));
    // The next request counts its own rows.
    a.Request(10'000, 12);
    EXPECT_EQ(a.FirstJobId(), 12);
}

TEST(AutoConvert, AClockThatGoesBackWaitsTheWholePauseAgain) {
    AutoConvert a;
    a.Request(10'000, 1);
    EXPECT_EQ(a.WaitLeft(5'000), kSettle);
    EXPECT_FALSE(a.TakeIfDue(5'000, true, true));
    EXPECT_TRUE(a.TakeIfDue(10'000 + kSettle, true, true));
}

}  // namespace

namespace {

// What the window asks the job list when a request is due.
TEST(AutoConvertRows, OnlyPendingRowsAddedSinceTheRequestCount) {
    kvtest::Jobs jobs;
    jobs.Add("C:\\mine\\waiting.mp4");  // the user's own, before the request
    const std::int64_t from = jobs.NextId();
    EXPECT_FALSE(jobs.PendingSince(from)) << "nothing added yet";
    jobs.Add("C:\\handed\\one.mp4");
    EXPECT_TRUE(jobs.PendingSince(from));
    // Removed again before the run, or already done: nothing left to start.
    ASSERT_TRUE(jobs.Remove(jobs.At(1).id));
    EXPECT_FALSE(jobs.PendingSince(from));
    jobs.Add("C:\\handed\\two.mp4");
    ASSERT_TRUE(jobs.Finish(jobs.At(1).id, kv::Failure::None));
    EXPECT_FALSE(jobs.PendingSince(from));
    EXPECT_TRUE(jobs.PendingSince(0)) << "the user's row still waits";
}

}  // namespace
