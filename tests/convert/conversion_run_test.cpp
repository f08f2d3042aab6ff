// The conversion run against fakes (run_fakes.h), one file at a time, the
// default choice.
#include "convert/conversion_run.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "convert/job_rules.h"
#include "convert/run_fakes.h"
#include "support/checked.h"
#include "win/error.h"

using kv::PercentText;

namespace kv {
// Found by the test's messages through the argument's namespace.
void PrintTo(const RunProgress& p, std::ostream* os);
void PrintTo(const RunProgress& p, std::ostream* os) {
    *os << "{" << static_cast<int>(p.state) << ", " << p.completed << ", " << p.total << "}";
}
}  // namespace kv

namespace {

using kv::ConversionRun;
using kv::OutputSize;
using kvtest::ArgsFor;
using kvtest::kComplete;
using kvtest::Process;
class Run : public kvtest::RunTest {};

// The real job list, added to as the add commands do.
TEST_F(Run, ConvertsPendingRowsInListOrderAndSignalsTheEndOnce) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    jobs.Add("D:\\in\\c.mp4");
    jobs.MarkDone(1);  // converted in an earlier run: not again
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(run.Busy());
    EXPECT_EQ(CurrentRow(), 0);
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\a.mp4", "C:\\Out\\a.mp3"));
    EXPECT_EQ(Expected(), 61 * 16 * 1024);
    ASSERT_EQ(platform.ports.size(), 1u);
    EXPECT_EQ(platform.ports[0]->interval, ConversionRun::kTickMs);

    End(0, kComplete);
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\c.mp4", "C:\\Out\\c.mp3"));
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_EQ(platform.finished, 0);
    EXPECT_EQ(platform.ports.size(), 1u) << "the first job's timer went with it";
    End(0, kComplete);

    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Done", "Done"}));
    EXPECT_EQ(jobs.Converted(0), "MP3");
    EXPECT_EQ(jobs.Converted(2), "MP3");
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(CurrentRow(), -1);
    EXPECT_EQ(platform.finished, 1);
    EXPECT_TRUE(platform.ports.empty());
    EXPECT_EQ(platform.starts.size(), 2u) << "each healthy file starts its transcoder exactly once";
    EXPECT_TRUE(platform.starts[0]->released && platform.starts[1]->released);

    run.Convert();  // nothing pending: no second end signal
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Run, TicksShowProgressAndCommandsWaitWhileBusy) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    run.Convert();  // busy: nothing more starts
    EXPECT_EQ(platform.starts.size(), 1u);
    platform.ports[0]->Fire();  // no output yet
    EXPECT_EQ(jobs.Progress(0), "Pending");
    platform.files[run.PartialPath()] = {true, true, Expected() / 2};
    platform.ports[0]->Fire();
    EXPECT_EQ(jobs.Progress(0), "50% Done");
    EXPECT_TRUE(run.Busy());
}

TEST_F(Run, AnMp3WithoutTheTranscodersSummaryIsNoSuccess) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    End(0, kComplete);
    Last()->log = "size=     938kB time=00:00:59.99 bitrate= 128.0kbits/s\r";
    End(0, kComplete);  // ended from outside with code 0 before it wrote its summary: no success
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed"}));
    EXPECT_EQ(jobs.Converted(1), "");
}

TEST_F(Run, AFailedTranscoderFailsItsRowAndTheRunGoesOn) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    End(1, kComplete);  // wrote everything, yet reported an error
    EXPECT_EQ(platform.starts.size(), 2u) << "a transcoder that wrote something is not started again";
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Done"}));
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Run, ATranscoderThatFailsBeforeWritingGetsOneSecondStart) {
    jobs.Add("D:\\in\\flaky.mp4");
    jobs.Add("D:\\in\\broken.mp4");
    run.Convert();
    End(1, 0, false);  // nothing written
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(platform.starts[1]->args, platform.starts[0]->args);
    EXPECT_EQ(platform.starts[1]->jobId, platform.starts[0]->jobId);
    EXPECT_TRUE(platform.starts[0]->released);
    EXPECT_TRUE(run.Busy());
    End(0, kComplete);
    EXPECT_EQ(jobs.Progress(0), "Done");

    End(1, 0);  // an empty file counts as nothing written
    ASSERT_EQ(platform.starts.size(), 4u);
    End(1, 0);  // fails twice: no third start
    EXPECT_EQ(platform.starts.size(), 4u);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed"}));
    EXPECT_FALSE(run.Busy());
}

TEST_F(Run, ATranscoderThatCannotStartFailsItsRowMidQueue) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    jobs.Add("D:\\in\\c.mp4");
    platform.refuseStart = {false, true};
    run.Convert();
    End(0, kComplete);  // b cannot start; c follows at once
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed", "Pending"}));
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\c.mp4", "C:\\Out\\c.mp3"));
    End(0, kComplete);
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Run, EveryRowFailingToStartLeavesTheWindowIdle) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    platform.refuseStart = {true, true};
    run.Convert();
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Failed"}));
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(CurrentRow(), -1);
    EXPECT_EQ(platform.finished, 1);
    EXPECT_TRUE(platform.ports.empty());
}

TEST_F(Run, RemovingTheRunningRowEndsItsTranscoderAndTheRunGoesOn) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    const auto first = Last();
    jobs.RemoveAt(0);
    platform.ports[0]->Fire();
    EXPECT_TRUE(first->terminated);
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\b.mp4", "C:\\Out\\b.mp3"));
    EXPECT_EQ(CurrentRow(), 0);
    run.OnJobExited(first->jobId);  // the ended transcoder's late notice changes nothing
    EXPECT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(jobs.Progress(0), "Pending");
}

TEST_F(Run, TheRunFollowsItsOwnRowWhenRowsAboveItGo) {
    jobs.Add("D:\\in\\first.mp4");
    jobs.Add("D:\\in\\second.mp4");
    jobs.Add("D:\\in\\third.mp4");
    run.Convert();
    End(0, kComplete);  // second runs now
    jobs.RemoveAt(0);   // it moves up to index 0
    End(0, kComplete);
    EXPECT_EQ(CurrentRow(), 1);
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Done"}));
    EXPECT_EQ(jobs.Path(0), "D:\\in\\second.mp4");
    ASSERT_EQ(platform.starts.size(), 3u);
    EXPECT_EQ(platform.starts[1]->args, ArgsFor("D:\\in\\second.mp4", "C:\\Out\\second.mp3"));
    EXPECT_EQ(platform.starts[2]->args, ArgsFor("D:\\in\\third.mp4", "C:\\Out\\third.mp3"))
        << "a stale index would have converted second again";
}

TEST_F(Run, EveryRowRemovedDuringARunEndsItAndTheNextRunStartsAfresh) {
    jobs.Add("D:\\one\\x.mp4");
    jobs.Add("D:\\two\\y.mp4");
    run.Convert();
    const auto first = Last();
    jobs.RemoveAt(0);
    jobs.RemoveAt(0);
    platform.ports[0]->Fire();
    EXPECT_TRUE(first->terminated);
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(platform.finished, 1);
    // A new run: the names taken by the old one are free again.
    jobs.Add("D:\\one\\x.mp4");
    run.Convert();
    EXPECT_EQ(OutputPath(), "C:\\Out\\x.mp3");
}

TEST_F(Run, SameNamedInputsOfOneRunGetTheirOwnOutputs) {
    jobs.Add("D:\\one\\clip.mp4");
    jobs.Add("D:\\two\\Clip.MP4");
    jobs.Add("D:\\three\\clip.mp4");
    run.Convert();
    EXPECT_EQ(OutputPath(), "C:\\Out\\clip.mp3");
    End(0, kComplete);
    EXPECT_EQ(OutputPath(), "C:\\Out\\Clip (2).mp3");
    End(0, kComplete);
    EXPECT_EQ(OutputPath(), "C:\\Out\\clip (3).mp3");
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Done", "Done"}));
    // The next run may overwrite its own earlier files, as the user expects.
    jobs.Add("D:\\one\\clip.mp4");
    run.Convert();
    EXPECT_EQ(OutputPath(), "C:\\Out\\clip.mp3");
}

// A sync client or a virus scanner opens the new file without read sharing
// for a few seconds: the ticks look again, and only the stall rule ends the job.
TEST_F(Run, AnOutputHeldByAnotherProgramIsLookedAtAgain) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    const auto first = Last();
    platform.files[run.PartialPath()] = {true, true, 1000};
    platform.ports[0]->Fire();
    for (int i = 0; i < 10; ++i) {  // five seconds held
        platform.files[run.PartialPath()] = {true, false, 0};
        platform.now += ConversionRun::kTickMs;
        platform.ports[0]->Fire();
    }
    EXPECT_FALSE(first->terminated);
    EXPECT_EQ(jobs.Progress(0), PercentText(kv::PercentOf(1000, Expected())));
    // Held while the transcoder ends: it is judged once the file can be read.
    first->exited = true;
    platform.ports[0]->Fire();
    EXPECT_TRUE(run.Busy());
    platform.files[run.PartialPath()] = {true, true, kComplete};
    platform.ports[0]->Fire();
    EXPECT_EQ(jobs.Progress(0), "Done");

    // Held for good: after a minute without growth the job is ended.
    platform.files[run.PartialPath()] = {true, false, 0};
    platform.now += ConversionRun::kStallMs - 1;
    platform.ports[0]->Fire();
    EXPECT_FALSE(Last()->terminated);
    platform.now += 1;
    platform.ports[0]->Fire();
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(jobs.Progress(1), "Failed");
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::Stalled);
}

// The platform's clock stops while the PC sleeps: the run must count with it
// alone. Ten minutes of sleep pass between two ticks, half a second awake.
TEST_F(Run, ASleepBetweenTwoTicksEndsNothing) {
    jobs.Add("D:\\in\\long.mp4", "900");
    run.Convert();
    platform.files[run.PartialPath()] = {true, true, 100000};
    platform.ports[0]->Fire();
    platform.now += ConversionRun::kTickMs;  // awake time only; 600 s went by on the wall
    platform.ports[0]->Fire();               // the file has not grown across the sleep
    platform.files[run.PartialPath()] = {true, true, 120000};
    platform.now += ConversionRun::kTickMs;
    platform.ports[0]->Fire();
    EXPECT_FALSE(Last()->terminated);
    EXPECT_TRUE(run.Busy());
    EXPECT_EQ(jobs.Progress(0), PercentText(kv::PercentOf(120000, Expected())));
}

// The transcoder writes under a temporary name; the MP3 gets its own name only
// when the row is Done, and a failed row's file goes, leaving an older MP3 of
// that name as it was.
TEST_F(Run, OnlyAWholeMp3GetsItsName) {
    jobs.Add("D:\\in\\good.mp4");
    jobs.Add("D:\\in\\cut.mp4");
    platform.files["C:\\Out\\cut.mp3"] = {true, true, 4242};  // the user's older MP3
    run.Convert();
    EXPECT_EQ(run.PartialPath(), "C:\\Out\\good.mp3.t.korvello-part");
    EXPECT_EQ(platform.ports[0]->interval, ConversionRun::kTickMs);
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\good.mp4", "C:\\Out\\good.mp3"));
    End(0, kComplete);
    EXPECT_EQ(platform.committed, (std::vector<std::string>{"C:\\Out\\good.mp3"}));
    EXPECT_EQ(platform.files.at("C:\\Out\\good.mp3").bytes, kComplete);
    Last()->log =
        "[mov @ 0] stream 1, offset 0x5f: partial file\r\nsize=     238kB time=00:00:15.00\r\n" + kvtest::kSummary;
    End(0, kComplete - 1);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed"}));
    EXPECT_EQ(platform.committed.size(), 1u);
    EXPECT_EQ(platform.discarded, (std::vector<std::string>{"C:\\Out\\cut.mp3.t.korvello-part"}));
    EXPECT_EQ(platform.files.at("C:\\Out\\cut.mp3").bytes, 4242);
    EXPECT_TRUE(run.PartialPath().empty());
}

// An older MP3 open in a player cannot be replaced at once: the run tries on
// the next ticks, and gives up, deleting its own file, after the stall time.
TEST_F(Run, AFinalNameHeldByAnotherProgramIsTriedAgain) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    jobs.Add("D:\\in\\c.mp4");
    platform.commitAnswers = {kv::Commit::Held, kv::Commit::Held};
    run.Convert();
    End(0, kComplete);
    EXPECT_TRUE(run.Busy());
    EXPECT_NE(jobs.Progress(0), "Done");
    platform.ports[0]->Fire();
    EXPECT_TRUE(platform.committed.empty());
    platform.ports[0]->Fire();
    EXPECT_EQ(jobs.Progress(0), "Done");
    EXPECT_EQ(platform.starts.size(), 2u) << "the transcoder is judged once, not started again";

    platform.commitAnswers.assign(1000, kv::Commit::Held);
    End(0, kComplete);
    platform.now += ConversionRun::kStallMs;
    platform.ports.back()->Fire();
    EXPECT_EQ(jobs.Progress(1), "Failed");
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::OutputLocked);
    EXPECT_EQ(platform.discarded.back(), "C:\\Out\\b.mp3.t.korvello-part");

    platform.commitAnswers = {kv::Commit::Failed};
    End(0, kComplete);
    EXPECT_EQ(jobs.FailureAt(2), kv::Failure::OutputFolder);
    EXPECT_FALSE(run.Busy());
}

// The window closes mid-run: the transcoder ends and its half-written file goes.
TEST_F(Run, AbandoningARunDeletesTheRunningJobsFile) {
    jobs.Add("D:\\in\\a.mp4");
    run.Convert();
    const std::string partial = run.PartialPath();
    platform.files[partial] = {true, true, 1000};
    run.Abandon();
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(platform.discarded, (std::vector<std::string>{partial}));
    EXPECT_TRUE(platform.committed.empty());
    EXPECT_TRUE(platform.ports.empty()) << "no tick follows";
    run.Abandon();  // nothing runs: nothing more
    EXPECT_EQ(platform.discarded.size(), 1u);
}

TEST_F(Run, ATimerThatCannotBeHadFailsTheJobAndLeavesTheWindowIdle) {
    jobs.Add("D:\\in\\a.mp4");
    platform.refuseTimers = true;
    EXPECT_THROW(run.Convert(), kv::Error);
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(jobs.Progress(0), "Failed");
    EXPECT_FALSE(run.Busy());
    EXPECT_TRUE(platform.ports.empty());
}

// An error on the way to the next job leaves the tick for the user's report;
// the rows after it are still tried and the run ends, never stalled.
TEST_F(Run, ATimerRefusedForTheNextJobIsReportedAndTheRunStillEnds) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    jobs.Add("D:\\in\\c.mp4");
    run.Convert();
    platform.refuseTimers = true;
    EXPECT_THROW(End(0, kComplete), kv::Error);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed", "Failed"}));
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(platform.finished, 1);
    EXPECT_TRUE(platform.ports.empty());
}

// Raised half-way through a row's start: the row ends Failed rather than
// being found again by the next start, and the rows after it go on.
TEST_F(Run, ARowWhoseStartRaisesEndsFailedAndTheNextStarts) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    platform.partialFailures = 1;
    EXPECT_THROW(run.Convert(), kv::Error);
    EXPECT_EQ(jobs.At(0).state, kv::JobState::Failed);
    ASSERT_EQ(platform.starts.size(), 1u);
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\b.mp4", "C:\\Out\\b.mp3"));
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Done"}));
    EXPECT_EQ(platform.finished, 1);
    EXPECT_FALSE(run.Busy());
}

TEST_F(Run, AnErrorInATickEndsThatJobAndTheNextOneStarts) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    const auto first = Last();
    platform.measureFails = true;
    try {
        platform.ports[0]->Fire();
        ADD_FAILURE() << "the tick's error was swallowed";
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "The device is not ready.");
    }
    EXPECT_TRUE(first->terminated);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Pending"})) << "the second row waits for its first tick";
    ASSERT_EQ(platform.starts.size(), 2u);
    platform.measureFails = false;
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Done"}));
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Run, ALateNoticeFromAFinishedJobIsIgnored) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    const auto first = Last();
    End(0, kComplete);
    run.OnJobExited(first->jobId);
    EXPECT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(jobs.Progress(1), "Pending");
    EXPECT_TRUE(run.Busy());
}

// A transcoder that stops writing and never ends: after a minute without
// growth it is ended, its row fails and the run goes on.
TEST_F(Run, AHungTranscoderIsEndedAfterAMinuteWithoutGrowth) {
    jobs.Add("D:\\in\\hangs.mp4");
    jobs.Add("D:\\in\\next.mp4");
    run.Convert();
    const auto hung = Last();
    platform.files[run.PartialPath()] = {true, true, 1000};
    platform.ports.back()->Fire();  // grew to 1000 bytes
    platform.now += 59999;
    platform.ports.back()->Fire();
    EXPECT_FALSE(hung->terminated) << "59.999 s without growth is not yet a hang";
    EXPECT_TRUE(run.Busy());
    platform.now += 1;
    platform.ports.back()->Fire();
    EXPECT_TRUE(hung->terminated);
    EXPECT_EQ(jobs.Progress(0), "Failed");
    ASSERT_EQ(platform.starts.size(), 2u) << "the run goes on with the next row";
    EXPECT_EQ(CurrentRow(), 1);
}

TEST_F(Run, GrowthOrASlowStartIsNoHang) {
    jobs.Add("D:\\in\\slow.mp4");
    run.Convert();
    // No output yet for 50 s (reading a long video before the sound), then slow growth.
    platform.now += 50000;
    platform.ports.back()->Fire();
    for (int i = 1; i <= 10; ++i) {
        platform.files[run.PartialPath()] = {true, true, i * 100};
        platform.now += 30000;
        platform.ports.back()->Fire();
    }
    EXPECT_FALSE(Last()->terminated);
    EXPECT_TRUE(run.Busy());
    // No file for a whole minute from the start is a hang too.
    jobs.Add("D:\\in\\silent.mp4");
    End(0, kComplete);
    ASSERT_EQ(platform.starts.size(), 2u);
    platform.now += 60000;
    platform.ports.back()->Fire();
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(jobs.Progress(1), "Failed");
    EXPECT_FALSE(run.Busy());
}

// With the transcoder's own report, a container longer than its sound is no
// fault, and a file cut short is one whatever its size.
TEST_F(Run, TheTranscodersReportDecidesCompleteness) {
    jobs.Add("D:\\in\\video longer than sound.mp4", "21");
    jobs.Add("D:\\in\\cut.mp4", "21");
    run.Convert();
    Last()->log = "size=     126kB time=00:00:08.02 bitrate= 128.8kbits/s\r\n" + kvtest::kSummary;
    End(0, 8 * 16000);  // 8 s of sound in a 20 s container
    Last()->log =
        "stream 0, offset 0x182ef: partial file\r\nsize=     184kB time=00:00:11.75 bitrate= 128.5kbits/s\r\n" +
        kvtest::kSummary;
    End(0, kComplete);  // long enough by size, yet reported cut at 11.75 of 20 s
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed"}));
    EXPECT_EQ(jobs.FailureAt(0), kv::Failure::None);
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::Damaged);
}

// A few damaged packets: the transcoder complains yet reaches the end, and the
// MP3 holds all the sound. The same file cut short reaches only the cut.
TEST_F(Run, DecodeErrorsFailARowOnlyWhenTheSoundEndsEarly) {
    const std::string errors = "Error while decoding stream #0:0: Invalid data found when processing input\r\n";
    const std::string head =
        "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'x.mp4':\r\n  Duration: 00:01:00.00, start: 0\r\n";
    for (const char* n : {"damaged", "cut", "no report of its length", "near the end"})
        jobs.Add(std::string("D:\\in\\") + n + ".mp4", "61");
    run.Convert();
    const std::string& end = kvtest::kSummary;
    Last()->log = head + errors + errors + "size=     940kB time=00:00:59.90 bitrate= 128.3kbits/s\r\n" + end;
    End(0, 59 * 16000);
    Last()->log = head + errors + "size=     559kB time=00:00:35.75 bitrate= 128.1kbits/s\r\n" + end;
    End(0, kComplete);  // large enough by size: the reported time decides
    // Without the transcoder's times, the stored duration and the MP3's size.
    Last()->log = errors + end;
    End(0, 59 * 16000 + 1);
    Last()->log = head + errors + "size=     932kB time=00:00:58.99 bitrate= 128.3kbits/s\r\n" + end;
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Done", "Failed", "Done", "Failed"}));
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::Damaged);
    EXPECT_EQ(jobs.FailureAt(3), kv::Failure::Damaged);
}

// Cut files of other kinds: Matroska says so only in passing, and an ASF or
// AVI demuxer guesses the length of a cut file from its size, shorter than
// the length the reader found in its header.
TEST_F(Run, AFileCutShortOfAnyKindFails) {
    jobs.Add("D:\\in\\film.mkv", "5");
    jobs.Add("D:\\in\\voice.wma", "5");
    jobs.Add("D:\\in\\whole.wma", "5");
    run.Convert();
    const std::string& end = kvtest::kSummary;
    Last()->log =
        "Input #0, matroska,webm, from 'x.mkv':\r\n  Duration: 00:00:04.00, start: 0\r\n"
        "[matroska,webm @ 0] File ended prematurely\r\nsize=      24kB time=00:00:01.46\r\n" +
        end;
    End(0, kComplete);
    const std::string asf =
        "Input #0, asf, from 'x.wma':\r\n  Duration: 00:00:01.90, start: 0\r\n"
        "Error while decoding stream #0:0: Invalid data found when processing input\r\n";
    Last()->log = asf + "size=      27kB time=00:00:01.68\r\n" + end;
    End(0, kComplete);
    // A few bad packets of a whole file: it still reaches the header's length.
    Last()->log = asf + "size=      64kB time=00:00:04.00\r\n" + end;
    End(0, kComplete);
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Failed", "Done"}));
    EXPECT_EQ(jobs.FailureAt(0), kv::Failure::Damaged);
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::Damaged);
}

TEST_F(Run, AFailedRowKnowsWhy) {
    for (const char* n : {"a", "b", "c", "d"}) jobs.Add(std::string("D:\\in\\") + n + ".mp4");
    platform.refuseStart = {false, false, false, true, true};
    run.Convert();
    Last()->log = "Output file #0 does not contain any stream\r\n";
    End(1, 0, false);
    // Failing before writing gets a second start, which fails the same way.
    Last()->log = "Output file #0 does not contain any stream\r\n";
    End(1, 0, false);
    platform.now += ConversionRun::kStallMs;  // b hangs without writing
    platform.ports.back()->Fire();
    Last()->log = "C:\\Out\\c.mp3: Permission denied\r\n";
    End(1, 0, false);  // c: its second start cannot be made, d: cannot start at all
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Failed", "Failed", "Failed", "Failed"}));
    EXPECT_EQ(jobs.FailureAt(0), kv::Failure::NoAudio);
    EXPECT_EQ(jobs.FailureAt(1), kv::Failure::Stalled);
    EXPECT_EQ(jobs.FailureAt(3), kv::Failure::NotStarted);
    EXPECT_FALSE(run.Busy());
}

// The taskbar button through a run of three files, the second failing: finished
// rows and the running row's percent over the rows of the run, the error state
// from the failure on, and nothing once the run has ended.
TEST_F(Run, TheTaskbarFollowsTheRunAndItsFailure) {
    using S = kv::RunProgress::State;
    for (const char* n : {"a", "b", "c"}) jobs.Add(std::string("D:\\in\\") + n + ".mp4");
    run.Convert();
    platform.files[run.PartialPath()] = {true, true, Expected() / 2};
    platform.ports.back()->Fire();
    End(0, kComplete);
    End(1, kComplete);  // b fails after writing: no second start
    platform.files[run.PartialPath()] = {true, true, Expected() / 4};
    platform.ports.back()->Fire();
    End(0, kComplete);
    // A finished job's last tick shows its MP3's share (86 %) before the next row starts.
    EXPECT_EQ(platform.progress, (std::vector<kv::RunProgress>{{S::Normal, 0, 300},
                                                               {S::Normal, 50, 300},
                                                               {S::Normal, 86, 300},
                                                               {S::Normal, 100, 300},
                                                               {S::Normal, 186, 300},
                                                               {S::Error, 200, 300},
                                                               {S::Error, 225, 300},
                                                               {S::Error, 286, 300},
                                                               {S::None, 0, 0}}));
}

TEST_F(Run, RowsRemovedLeaveTheRunsCount) {
    using S = kv::RunProgress::State;
    for (const char* n : {"a", "b", "c"}) jobs.Add(std::string("D:\\in\\") + n + ".mp4");
    run.Convert();
    jobs.RemoveAt(2);  // a row still to do goes
    platform.files[run.PartialPath()] = {true, true, Expected()};
    platform.ports.back()->Fire();
    EXPECT_EQ(platform.progress.back(), (kv::RunProgress{S::Normal, 100, 200}));
}

}  // namespace
