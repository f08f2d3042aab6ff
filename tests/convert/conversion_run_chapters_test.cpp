// A job whose choices depend on what the file holds: the transcoder first
// reports the file, then writes one MP3 per chapter, or one with a frame of
// the video for a cover; each MP3 named, skipped or kept as the user chose.
#include <gtest/gtest.h>

#include "run_fakes.h"

namespace {

using kv::JobState;
using kv::WhenMp3Exists;
using kvtest::kComplete;
using kvtest::kSummary;
using Strings = std::vector<std::string>;

const std::string kReport =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\in\\Film.mp4':\r\n"
    "  Duration: 00:01:00.00, start: 0.000000, bitrate: 7537 kb/s\r\n"
    "  Chapters:\r\n"
    "    Chapter #0:0: start 0.000000, end 20.000000\r\n"
    "      Metadata:\r\n"
    "        title           : A\r\n"
    "    Chapter #0:1: start 20.000000, end 45.000000\r\n"
    "      Metadata:\r\n"
    "        title           : B\r\n"
    "    Chapter #0:2: start 45.000000, end 60.000000\r\n"
    "  Stream #0:0[0x1](und): Video: h264 (High), yuv420p(progressive), 1280x720, 30 fps (default)\r\n"
    "  Stream #0:1[0x2](und): Audio: aac (LC), 48000 Hz, stereo, fltp, 128 kb/s (default)\r\n"
    "At least one output file must be specified\r\n";

const Strings kPieces{"C:\\Out\\Film - 01 A.mp3", "C:\\Out\\Film - 02 B.mp3", "C:\\Out\\Film - 03.mp3"};

class Chapters : public kvtest::RunTest {
protected:
    // The file is added and its report read; the second start writes the MP3s.
    void Report(const std::string& report = kReport) {
        const std::size_t before = platform.starts.size();
        jobs.Add("C:\\in\\Film.mp4");
        run.Convert();
        ASSERT_EQ(platform.starts.size(), before + 1);
        EXPECT_EQ(Last()->args, " -i \"C:\\in\\Film.mp4\"") << "the report's line writes nothing";
        Last()->log = report;
        Last()->exited = true;
        Last()->code = 1;  // a line with no output ends so
        run.OnJobExited(Last()->jobId);
    }
    // Each MP3 of the second start is written, a third of the whole each.
    void WritePieces(std::uint32_t code = 0) {
        for (const std::string& piece : kPieces)
            platform.files[kv::PartialOutputPath(piece, "t")] = {true, true, kComplete / 3 + 1};
        Last()->exited = true;
        Last()->code = code;
        run.OnJobExited(Last()->jobId);
    }
};

TEST_F(Chapters, EachChapterBecomesItsOwnMp3) {
    platform.choices.splitChapters = true;
    Report();
    ASSERT_EQ(platform.starts.size(), 2u);
    for (const std::string& piece : kPieces)
        EXPECT_NE(Last()->args.find(kv::QuoteAlways(kv::PartialOutputPath(piece, "t"))), std::string::npos) << piece;
    EXPECT_EQ(Last()->args.find("Film.mp3"), std::string::npos) << "no MP3 of the whole file";
    EXPECT_EQ(run.CurrentTimer()->Buddy(), run.PartialPath()) << "the timer follows the first chapter's file";
    EXPECT_EQ(run.PartialPath(), kv::PartialOutputPath(kPieces[0], "t"));
    // Progress counts every piece's bytes.
    platform.files[kv::PartialOutputPath(kPieces[0], "t")] = {true, true, Expected() / 2};
    platform.files[kv::PartialOutputPath(kPieces[1], "t")] = {true, true, Expected() / 4};
    platform.ports.front()->Fire();
    EXPECT_EQ(Progress(), Strings{"75% Done"});
    WritePieces();
    EXPECT_EQ(platform.committed, kPieces);
    EXPECT_EQ(Progress(), Strings{"Done"});
    EXPECT_EQ(jobs.At(0).output, kPieces[0]) << "the row opens the first chapter's folder";
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Chapters, AFileWithoutChaptersConvertsWhole) {
    platform.choices.splitChapters = true;
    std::string one = kReport;
    one.erase(one.find("  Chapters:"), one.find("  Stream #0:0") - one.find("  Chapters:"));
    Report(one);
    EXPECT_EQ(Last()->args, kvtest::ArgsFor("C:\\in\\Film.mp4", "C:\\Out\\Film.mp3"));
    End(0, kComplete);
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Film.mp3"});
}

// Skip and keep-both hold for each chapter's MP3 on its own.
TEST_F(Chapters, TheExistingMp3ChoiceHoldsForEachChapter) {
    platform.choices.splitChapters = true;
    platform.choices.whenExists = WhenMp3Exists::Skip;
    platform.existing = {kPieces[1]};
    Report();
    WritePieces();
    EXPECT_EQ(platform.committed, (Strings{kPieces[0], kPieces[2]}));
    EXPECT_EQ(Progress(), Strings{"Done"});
    EXPECT_TRUE(platform.files.count(kv::PartialOutputPath(kPieces[1], "t")) == 0) << "its new copy is gone";
}

TEST_F(Chapters, EveryChapterThereAlreadyIsSkippedUnconverted) {
    platform.choices.splitChapters = true;
    platform.choices.whenExists = WhenMp3Exists::Skip;
    platform.existing = {kPieces.begin(), kPieces.end()};
    Report();
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_EQ(Progress(), Strings{"Skipped"});
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Chapters, KeepBothNumbersTheChapterThatIsThere) {
    platform.choices.splitChapters = true;
    platform.choices.whenExists = WhenMp3Exists::KeepBoth;
    platform.existing = {kPieces[1]};
    Report();
    const std::string second = "C:\\Out\\Film - 02 B (2).mp3";
    EXPECT_NE(Last()->args.find(kv::QuoteAlways(kv::PartialOutputPath(second, "t"))), std::string::npos);
    for (const std::string& piece : {kPieces[0], second, kPieces[2]})
        platform.files[kv::PartialOutputPath(piece, "t")] = {true, true, kComplete / 3 + 1};
    Last()->exited = true;
    run.OnJobExited(Last()->jobId);
    EXPECT_EQ(platform.committed, (Strings{kPieces[0], second, kPieces[2]}));
}

// A frame that cannot be made into a cover costs the cover, not the sound.
TEST_F(Chapters, ACoverThatFailsGivesWayToThePlainLine) {
    platform.choices.coverFromVideo = true;
    Report();
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_NE(Last()->args.find(" -ss 6.000 -t 1 -i "), std::string::npos);
    End(1, 5000);
    ASSERT_EQ(platform.starts.size(), 3u);
    EXPECT_EQ(Last()->args, kvtest::ArgsFor("C:\\in\\Film.mp4", "C:\\Out\\Film.mp3"));
    End(0, kComplete);
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Film.mp3"});
}

TEST_F(Chapters, AReportThatNeverEndsIsStalled) {
    platform.choices.coverFromVideo = true;
    jobs.Add("C:\\in\\Film.mp4");
    run.Convert();
    platform.now += kv::ConversionRun::kStallMs;
    platform.ports.front()->Fire();
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(jobs.At(0).state, JobState::Failed);
    EXPECT_EQ(jobs.At(0).failure, kv::Failure::Stalled);
}

// A damaged file's chapters are whole only when together they reach its end.
TEST_F(Chapters, DamageIsJudgedOnAllChaptersTogether) {
    platform.choices.splitChapters = true;
    Report();
    Last()->log = "[mov @ 0x1] stream 1, offset 0x1: partial file\r\n" + kSummary;
    for (const std::string& piece : kPieces)
        platform.files[kv::PartialOutputPath(piece, "t")] = {true, true, 60 * 16000 / 3};
    Last()->exited = true;
    run.OnJobExited(Last()->jobId);
    EXPECT_EQ(Progress(), Strings{"Done"});
    jobs.RemoveAt(0);
    Report();
    Last()->log = "[mov @ 0x1] stream 1, offset 0x1: partial file\r\n" + kSummary;
    for (const std::string& piece : kPieces)
        platform.files[kv::PartialOutputPath(piece, "t")] = {true, true, kComplete / 6};
    Last()->exited = true;
    run.OnJobExited(Last()->jobId);
    EXPECT_EQ(jobs.At(0).failure, kv::Failure::Damaged);
    EXPECT_EQ(platform.committed.size(), 3u) << "nothing of the damaged run is named";
}

}  // namespace
