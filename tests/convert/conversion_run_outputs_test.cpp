// What the run may replace: names as a case-blind volume compares them, files
// by their identity, an MP3 that appears while the run goes, the input itself;
// and when a transcoder's MP3 counts as whole.
#include <gtest/gtest.h>

#include "run_fakes.h"

namespace {

using kv::Failure;
using kv::WhenMp3Exists;
using kvtest::kComplete;
using kvtest::kSummary;
using Strings = std::vector<std::string>;

class Outputs : public kvtest::RunTest {
protected:
    // The running transcoder finishes its whole MP3.
    void Whole() { End(0, kComplete); }
    // Two rows converted in one run under `when`, from nothing there before:
    // the MP3s committed, and the rows then taken out again.
    Strings TwoRowsOfOneRun(WhenMp3Exists when, const std::string& first, const std::string& second) {
        platform.existing.clear();
        platform.committed.clear();
        platform.choices.whenExists = when;
        jobs.Add(first);
        jobs.Add(second);
        run.Convert();
        Whole();
        Whole();
        EXPECT_EQ(Progress(), (Strings{"Done", "Done"})) << static_cast<int>(when);
        jobs.RemoveAt(0);
        jobs.RemoveAt(0);
        return platform.committed;
    }
};

// "Été" and "été" are one name on NTFS: the second row must not replace the first's MP3.
TEST_F(Outputs, UnicodeCaseTwinsOfOneRunGetTwoFiles) {
    for (const WhenMp3Exists when : {WhenMp3Exists::Replace, WhenMp3Exists::KeepBoth, WhenMp3Exists::Skip})
        EXPECT_EQ(TwoRowsOfOneRun(when, "C:\\A\\\xC3\x89t\xC3\xA9.mp4", "C:\\B\\\xC3\xA9t\xC3\xA9.mp4"),
                  (Strings{"C:\\Out\\\xC3\x89t\xC3\xA9.mp3", "C:\\Out\\\xC3\xA9t\xC3\xA9 (2).mp3"}))
            << static_cast<int>(when);
}

// An MP3 of this run reached by its 8.3 alias is the same file: a later row
// never takes it for an older MP3 to replace or skip.
TEST_F(Outputs, AShortAliasOfAFileOfThisRunIsThatFile) {
    platform.aliases["C:\\Out\\LONGNA~1.mp3"] = "C:\\Out\\longname of a clip.mp3";
    for (const WhenMp3Exists when : {WhenMp3Exists::Replace, WhenMp3Exists::Skip})
        EXPECT_EQ(TwoRowsOfOneRun(when, "D:\\in\\longname of a clip.mp4", "E:\\old\\LONGNA~1.mp4"),
                  (Strings{"C:\\Out\\longname of a clip.mp3", "C:\\Out\\LONGNA~1 (2).mp3"}))
            << static_cast<int>(when);
}

// A file that takes the MP3's name while it converts (copied in, restored by
// a sync client) stays: only "replace" replaces.
TEST_F(Outputs, AnMp3ThatAppearsMidRunIsReplacedOnlyUnderReplace) {
    const std::string mp3 = "C:\\Out\\song.mp3";
    for (const WhenMp3Exists when : {WhenMp3Exists::Replace, WhenMp3Exists::KeepBoth, WhenMp3Exists::Skip}) {
        platform.existing.clear();
        platform.committed.clear();
        platform.commitReplace.clear();
        platform.choices.whenExists = when;
        jobs.Add("D:\\in\\song.mp4");
        run.Convert();
        platform.existing.insert("C:\\Out\\SONG.mp3");  // appears now
        Whole();
        const Strings committed = platform.committed;
        switch (when) {
        case WhenMp3Exists::Replace:
            EXPECT_EQ(committed, Strings{mp3});
            EXPECT_EQ(jobs.Progress(0), "Done");
            break;
        case WhenMp3Exists::KeepBoth:
            EXPECT_EQ(committed, Strings{"C:\\Out\\song (2).mp3"});
            EXPECT_EQ(jobs.Find(jobs.At(0).id)->output, "C:\\Out\\song (2).mp3") << "the row opens the file written";
            EXPECT_TRUE(platform.FileExists("C:\\Out\\SONG.mp3"));
            EXPECT_EQ(jobs.Progress(0), "Done");
            break;
        case WhenMp3Exists::Skip:
            EXPECT_TRUE(committed.empty());
            EXPECT_EQ(jobs.Progress(0), "Skipped");
            EXPECT_EQ(platform.discarded.size(), 1u) << "what it wrote goes";
            platform.discarded.clear();
            break;
        }
        EXPECT_EQ(platform.commitReplace.front(), when == WhenMp3Exists::Replace);
        jobs.RemoveAt(0);
    }
}

// The next free name counts on from the MP3's own name, not from a number it already has.
TEST_F(Outputs, ANameTakenMidRunGetsTheNextNumber) {
    platform.choices.whenExists = WhenMp3Exists::KeepBoth;
    platform.existing = {"C:\\Out\\song.mp3"};
    jobs.Add("D:\\in\\song.mp4");
    run.Convert();
    platform.existing.insert("C:\\Out\\song (2).mp3");  // appears while it converts
    Whole();
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\song (3).mp3"});
}

// A typed "song.mp3" as input while the output folder holds it: converting it
// would re-encode the user's file over itself.
TEST_F(Outputs, TheInputIsNeverItsOwnOutput) {
    platform.existing = {"C:\\Out\\song.mp3"};
    platform.aliases["C:\\Out\\SONG~1.MP3"] = "C:\\Out\\song.mp3";
    jobs.Add("C:\\Out\\song.mp3");
    jobs.Add("C:\\Out\\SONG~1.MP3");
    jobs.Add("D:\\in\\other.mp4");
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u) << "neither refused row starts a transcoder";
    Whole();
    EXPECT_EQ(Progress(), (Strings{"Failed", "Failed", "Done"}));
    EXPECT_EQ(jobs.FailureAt(0), Failure::InputIsOutput);
    EXPECT_EQ(jobs.FailureAt(1), Failure::InputIsOutput);
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\other.mp3"});
    EXPECT_EQ(platform.finished, 1);
}

// Whoever ends the transcoder, with whatever code: an MP3 without the
// transcoder's summary may be cut, and the older MP3 stays.
TEST_F(Outputs, OnlyAReportedWholeRunIsDone) {
    const std::string head =
        "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'x.mp4':\r\n"
        "  Metadata:\r\n    comment         : Duration: 00:00:01.00 time=00:01:00.00\r\n"
        "  Duration: 00:01:00.00, start: 0.000000, bitrate: 130 kb/s\r\n";
    const std::string cut = "[mov @ 0] stream 1, offset 0x5f: partial file\r\n";
    struct Case {
        const char* what;
        std::string log;
        const char* progress;
    } cases[] = {
        {"ended from outside at once", head + "size=     100kB time=00:00:06.40 bitrate= 128.0kbits/s\r", "Failed"},
        {"ended from outside near the end", head + "size=     936kB time=00:00:59.90 bitrate= 128.0kbits/s\r",
         "Failed"},
        {"whole", head + "size=     938kB time=00:01:00.00 bitrate= 128.0kbits/s\r\n" + kSummary, "Done"},
        {"sound shorter than the picture",
         head + "size=     600kB time=00:00:38.40 bitrate= 128.0kbits/s\r\n" + kSummary, "Done"},
        {"cut, a tag's Duration must not shorten the input",
         head + cut + "size=     100kB time=00:00:06.40 bitrate= 128.0kbits/s\r\n" + kSummary, "Failed"},
        {"cut, a tag's time= is no progress", head + cut + kSummary, "Failed"},
    };
    for (const Case& c : cases) jobs.Add(std::string("D:\\in\\") + c.what + ".mp4");
    platform.existing = {"C:\\Out\\whole.mp3"};
    run.Convert();
    for (const Case& c : cases) {
        Last()->log = c.log;
        End(0, kComplete);
    }
    for (int i = 0; i < jobs.Count(); ++i) EXPECT_EQ(jobs.Progress(i), cases[i].progress) << cases[i].what;
    EXPECT_EQ(jobs.FailureAt(0), Failure::Ended);
    EXPECT_EQ(jobs.FailureAt(4), Failure::Damaged);
    EXPECT_EQ(platform.committed, (Strings{"C:\\Out\\whole.mp3", "C:\\Out\\sound shorter than the picture.mp3"}));
    EXPECT_EQ(platform.discarded.size(), 4u) << "every cut MP3 goes";
}

// Without the transcoder's report nothing tells a whole MP3 from a cut one.
TEST_F(Outputs, NoReportNoDone) {
    jobs.Add("D:\\in\\a.mp4");
    run.Convert();
    Last()->log.reset();
    Whole();
    EXPECT_EQ(jobs.Progress(0), "Failed");
    EXPECT_TRUE(platform.committed.empty());
}

}  // namespace

namespace {

using Requests = kvtest::RunTest;

// A "/convert" request converts the rows its files made: the user's own
// pending rows wait for the button, which still takes every pending row.
TEST_F(Requests, ARequestConvertsOnlyItsOwnRows) {
    jobs.Add("C:\\mine\\left pending.mp4");
    jobs.Add("C:\\handed\\one.mp4");
    jobs.Add("C:\\handed\\two.mp4");
    run.ConvertRows({jobs.At(1).id, jobs.At(2).id});
    ASSERT_EQ(platform.starts.size(), 1u);
    EXPECT_NE(Last()->args.find("one.mp4"), std::string::npos);
    End(0, kComplete);
    End(0, kComplete);
    EXPECT_EQ(Progress(), (Strings{"Pending", "Done", "Done"}));
    EXPECT_EQ(platform.finished, 1);
    EXPECT_EQ(platform.progress.back(), kv::RunProgress{}) << "the run is over";
    // A request whose rows are gone or done starts nothing.
    run.ConvertRows({jobs.At(1).id, 12345});
    EXPECT_EQ(platform.starts.size(), 2u);
    EXPECT_FALSE(run.Busy());
    EXPECT_EQ(platform.finished, 1);
    run.Convert();
    EXPECT_EQ(platform.starts.size(), 3u) << "the button takes the user's row";
}

TEST_F(Requests, TheButtonDuringARequestsRunTakesEveryPendingRow) {
    jobs.Add("C:\\handed\\one.mp4");
    jobs.Add("C:\\mine\\waiting.mp4");
    run.ConvertRows({jobs.At(0).id});
    run.Convert();  // busy: the run goes on, now for every pending row
    End(0, kComplete);
    ASSERT_EQ(platform.starts.size(), 2u);
    End(0, kComplete);
    EXPECT_EQ(Progress(), (Strings{"Done", "Done"}));
    EXPECT_EQ(platform.finished, 1);
}

}  // namespace
