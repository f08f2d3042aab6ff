// The conversion run with several transcoders at once, and the choices it
// takes as each job starts: the MP3's quality and what happens to an MP3 that
// is already there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/run_fakes.h"

namespace {

using kv::Failure;
using kv::Mp3Quality;
using kv::RunProgress;
using kv::WhenMp3Exists;
using kvtest::ArgsFor;
using kvtest::kComplete;
using Strings = std::vector<std::string>;

class SeveralAtOnce : public kvtest::RunTest {
protected:
    void SetUp() override { platform.choices.filesAtOnce = 2; }
    void AddRows(std::initializer_list<const char*> names) {
        for (const char* n : names) jobs.Add(std::string("D:\\in\\") + n + ".mp4");
    }
    bool Running(std::size_t start) const { return !platform.starts.at(start)->exited; }
};

TEST_F(SeveralAtOnce, RowsStartInListOrderAndEachEndStartsTheNext) {
    AddRows({"a", "b", "c", "d"});
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(platform.starts[0]->args, ArgsFor("D:\\in\\a.mp4", "C:\\Out\\a.mp3"));
    EXPECT_EQ(platform.starts[1]->args, ArgsFor("D:\\in\\b.mp4", "C:\\Out\\b.mp3"));
    EXPECT_EQ(run.RunningCount(), 2u);
    EXPECT_TRUE(run.Busy());
    EXPECT_EQ(platform.ports.size(), 2u) << "each row has its own timer";
    run.Convert();  // pressed again: nothing more starts
    EXPECT_EQ(platform.starts.size(), 2u);

    EndStart(1, 0, kComplete);  // the second ends first: the third takes its place
    ASSERT_EQ(platform.starts.size(), 3u);
    EXPECT_EQ(platform.starts[2]->args, ArgsFor("D:\\in\\c.mp4", "C:\\Out\\c.mp3"));
    EXPECT_EQ(Progress(), (Strings{"Pending", "Done", "Pending", "Pending"}));
    EndStart(0, 0, kComplete);
    ASSERT_EQ(platform.starts.size(), 4u);
    EndStart(3, 0, kComplete);
    EXPECT_TRUE(run.Busy()) << "the third still runs";
    EXPECT_EQ(platform.finished, 0);
    EndStart(2, 0, kComplete);

    EXPECT_EQ(Progress(), (Strings{"Done", "Done", "Done", "Done"}));
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(CurrentRow(), -1);
    EXPECT_EQ(platform.finished, 1) << "one end signal, when the last transcoder ends";
    EXPECT_TRUE(platform.ports.empty());
    EXPECT_EQ(platform.committed, (Strings{"C:\\Out\\b.mp3", "C:\\Out\\a.mp3", "C:\\Out\\d.mp3", "C:\\Out\\c.mp3"}));
}

TEST_F(SeveralAtOnce, EachRowShowsItsOwnProgressAndTheTaskbarTheWholeRun) {
    AddRows({"a", "b", "c"});
    run.Convert();
    platform.files[PartialOf(*platform.starts[0])] = {true, true, Expected() / 2};
    platform.files[PartialOf(*platform.starts[1])] = {true, true, Expected() / 4};
    for (auto* port : std::vector<kvtest::FakePort*>(platform.ports)) port->Fire();
    EXPECT_EQ(Progress(), (Strings{"50% Done", "25% Done", "Pending"}));
    // Three rows: 50 and 25 hundredths done of 300.
    EXPECT_EQ(platform.progress.back(), (RunProgress{RunProgress::State::Normal, 75, 300}));
}

TEST_F(SeveralAtOnce, AFailedOrStalledRowHoldsUpNoOther) {
    run.StallMs = 2000;
    AddRows({"hangs", "fails", "next", "last"});
    run.Convert();
    EndStart(1, 1, 0);  // fails before writing: one second start
    ASSERT_EQ(platform.starts.size(), 3u);
    EndStart(2, 1, 0);  // and again: its row fails, the next row starts
    EXPECT_EQ(jobs.Progress(1), "Failed");
    ASSERT_EQ(platform.starts.size(), 4u);
    EXPECT_EQ(platform.starts[3]->args, ArgsFor("D:\\in\\next.mp4", "C:\\Out\\next.mp3"));
    // The first writes a little and then nothing more.
    platform.files[PartialOf(*platform.starts[0])] = {true, true, 1000};
    platform.ports[0]->Fire();
    platform.now += 2000;
    platform.files[PartialOf(*platform.starts[3])] = {true, true, 2000};
    platform.ports[1]->Fire();  // the other grew: it goes on
    platform.ports[0]->Fire();  // the first did not: it is ended
    EXPECT_TRUE(platform.starts[0]->terminated);
    EXPECT_EQ(jobs.FailureAt(0), Failure::Stalled);
    EXPECT_TRUE(Running(3));
    ASSERT_EQ(platform.starts.size(), 5u) << "the last row took the stalled one's place";
}

TEST_F(SeveralAtOnce, RemovingARunningRowEndsItsTranscoderAlone) {
    AddRows({"a", "b", "c"});
    run.Convert();
    jobs.RemoveAt(0);
    platform.ports[0]->Fire();
    EXPECT_TRUE(platform.starts[0]->terminated);
    EXPECT_FALSE(platform.starts[1]->terminated);
    EXPECT_TRUE(Running(1));
    ASSERT_EQ(platform.starts.size(), 3u);
    EXPECT_EQ(platform.starts[2]->args, ArgsFor("D:\\in\\c.mp4", "C:\\Out\\c.mp3"));
    EXPECT_EQ(platform.discarded.size(), 1u) << "only the removed row's file goes";
}

TEST_F(SeveralAtOnce, OutputsOfOneNameStartedTogetherGetTheirOwnNames) {
    jobs.Add("D:\\one\\talk.mp4");
    jobs.Add("D:\\two\\TALK.mp4");
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_EQ(platform.starts[0]->args, ArgsFor("D:\\one\\talk.mp4", "C:\\Out\\talk.mp3"));
    EXPECT_EQ(platform.starts[1]->args, ArgsFor("D:\\two\\TALK.mp4", "C:\\Out\\TALK (2).mp3"));
}

TEST_F(SeveralAtOnce, AbandoningEndsEveryTranscoderAndDeletesWhatEachWrote) {
    AddRows({"a", "b"});
    run.Convert();
    run.Abandon();
    EXPECT_TRUE(platform.starts[0]->terminated && platform.starts[1]->terminated);
    EXPECT_EQ(platform.discarded.size(), 2u);
    EXPECT_TRUE(platform.ports.empty());
    EXPECT_EQ(platform.finished, 0);
}

class Choices : public kvtest::RunTest {};

TEST_F(Choices, AChangeDuringARunAppliesToTheRowsNotYetStarted) {
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\b.mp4");
    jobs.Add("D:\\in\\c.mp4");
    jobs.Add("D:\\in\\d.mp4");
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u);
    platform.choices = {Mp3Quality::V2, 2, WhenMp3Exists::Replace};
    EXPECT_EQ(platform.starts[0]->args, ArgsFor("D:\\in\\a.mp4", "C:\\Out\\a.mp3")) << "the running one keeps its line";
    End(0, kComplete);
    ASSERT_EQ(platform.starts.size(), 3u) << "two at once from now on";
    for (std::size_t i : {1u, 2u}) {
        EXPECT_NE(platform.starts[i]->args.find(" -ar 44100 -q:a 2 -ac 2 -f mp3 "), std::string::npos)
            << platform.starts[i]->args;
    }
}

TEST_F(Choices, EachQualityHasItsLineAndProgressNeverReads100BeforeDone) {
    const struct {
        Mp3Quality quality;
        const char* arguments;
    } cases[] = {{Mp3Quality::Kbps192, "-ab 192k"},
                 {Mp3Quality::Kbps256, "-ab 256k"},
                 {Mp3Quality::Kbps320, "-ab 320k"},
                 {Mp3Quality::V2, "-q:a 2"},
                 {Mp3Quality::V0, "-q:a 0"}};
    for (const auto& c : cases) {
        platform.choices.quality = c.quality;
        jobs.Add("D:\\in\\a.mp4");
        run.Convert();
        const std::string want = " -ar 44100 " + std::string(c.arguments) + " -ac 2 -f mp3 ";
        EXPECT_NE(Last()->args.find(want), std::string::npos) << Last()->args;
        // Larger than the nominal size: the transcoder's own reading counts first.
        platform.files[run.PartialPath()] = {true, true, Expected() * 2};
        Last()->reached = 30.0;  // of 60 s
        platform.ports.back()->Fire();
        EXPECT_EQ(jobs.Progress(0), "50% Done") << c.arguments;
        Last()->reached = 15.0;  // an older reading never takes it back
        platform.ports.back()->Fire();
        EXPECT_EQ(jobs.Progress(0), "50% Done") << c.arguments;
        Last()->reached.reset();  // no reading: the size, held below 100
        platform.ports.back()->Fire();
        EXPECT_EQ(jobs.Progress(0), "99% Done") << c.arguments;
        Last()->log = "size=    1880kB time=00:01:00.00\r\n" + kvtest::kSummary;
        End(0, Expected() * 2);
        EXPECT_EQ(jobs.Progress(0), "Done") << c.arguments;
        jobs.RemoveAt(0);
    }
}

TEST_F(Choices, SkipLeavesAnExistingMp3AndKeepBothNamesTheNewOneAfresh) {
    platform.existing = {"C:\\Out\\a.mp3", "C:\\Out\\b.mp3", "C:\\Out\\b (2).mp3"};
    platform.choices.whenExists = WhenMp3Exists::Skip;
    jobs.Add("D:\\in\\a.mp4");
    jobs.Add("D:\\in\\new.mp4");
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u) << "the skipped row starts nothing";
    EXPECT_EQ(Progress(), (Strings{"Skipped", "Pending"}));
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\new.mp4", "C:\\Out\\new.mp3"));
    End(0, kComplete);
    EXPECT_EQ(Progress(), (Strings{"Skipped", "Done"}));
    EXPECT_EQ(platform.finished, 1);
    EXPECT_EQ(platform.progress.back(), RunProgress{}) << "the run ended";

    platform.choices.whenExists = WhenMp3Exists::KeepBoth;
    jobs.Add("D:\\in\\b.mp4");
    run.Convert();
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\b.mp4", "C:\\Out\\b (3).mp3"));
    End(0, kComplete);
    EXPECT_EQ(platform.committed.back(), "C:\\Out\\b (3).mp3");

    platform.choices.whenExists = WhenMp3Exists::Replace;
    jobs.Add("D:\\in\\a.mp4");
    run.Convert();
    EXPECT_EQ(Last()->args, ArgsFor("D:\\in\\a.mp4", "C:\\Out\\a.mp3")) << "replaced once whole, as before";
}

}  // namespace

namespace {

TEST_F(SeveralAtOnce, RaisingTheNumberMidRunStartsMoreAtOnceAndLoweringItStartsNoneUntilBelow) {
    platform.choices.filesAtOnce = 1;
    AddRows({"a", "b", "c", "d"});
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u);
    platform.choices.filesAtOnce = 3;
    run.ChoicesChanged();
    EXPECT_EQ(platform.starts.size(), 3u);
    platform.choices.filesAtOnce = 1;
    run.ChoicesChanged();
    EndStart(0, 0, kComplete);
    EXPECT_EQ(platform.starts.size(), 3u) << "two still run: no fourth";
    EndStart(1, 0, kComplete);
    EXPECT_EQ(platform.starts.size(), 3u);
    EndStart(2, 0, kComplete);
    EXPECT_EQ(platform.starts.size(), 4u);
    run.ChoicesChanged();  // with one running and none left, nothing happens
    EndStart(3, 0, kComplete);
    EXPECT_EQ(platform.finished, 1);
}

}  // namespace

namespace {

TEST_F(Choices, ASkippedRowHoldsItsNameAndAnUnknownLengthLeavesProgressToTheSize) {
    platform.choices.whenExists = WhenMp3Exists::Skip;
    platform.existing = {"C:\\Out\\x.mp3"};
    jobs.Add("D:\\one\\x.mp4");
    jobs.Add("D:\\two\\x.mp4");
    run.Convert();
    EXPECT_EQ(jobs.Progress(0), "Skipped");
    ASSERT_EQ(platform.starts.size(), 1u) << "the second is no MP3 that was there";
    EXPECT_EQ(Last()->args, ArgsFor("D:\\two\\x.mp4", "C:\\Out\\x (2).mp3"));
    End(0, kComplete);

    platform.choices = {Mp3Quality::Kbps192, 1, WhenMp3Exists::Replace};
    jobs.Add("D:\\in\\unknown.mp4", "1");  // the media reader gave no length
    run.Convert();
    Last()->reached = 2.0;
    platform.files[run.PartialPath()] = {true, true, 1000};
    platform.ports.back()->Fire();
    EXPECT_EQ(jobs.Progress(2), kv::PercentText(1000 * 100 / 24000)) << "from the size, not 2 s of 1";
}

}  // namespace
