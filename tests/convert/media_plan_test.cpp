// What a file's report tells (its sound, pictures and chapters), the names of
// chapter MP3s, and the line that splits a file or takes a cover from it.
#include "convert/media_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "convert/job_rules.h"
#include "support/argv_rules.h"
#include "support/checked.h"

namespace {

using kv::MediaReport;
using kv::Piece;

// As the transcoder reports a video with three chapters.
const std::string kFilm =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\in\\Film.mp4':\r\n"
    "  Metadata:\r\n"
    "    title           : Whole\r\n"
    "  Duration: 00:01:00.00, start: 0.000000, bitrate: 7537 kb/s\r\n"
    "  Chapters:\r\n"
    "    Chapter #0:0: start 0.000000, end 20.000000\r\n"
    "      Metadata:\r\n"
    "        title           : Intro: the \"start\"\r\n"
    "    Chapter #0:1: start 20.000000, end 45.000000\r\n"
    "      Metadata:\r\n"
    "        title           : Middle/part\r\n"
    "    Chapter #0:2: start 45.000000, end 60.000000\r\n"
    "      Metadata:\r\n"
    "        title           : End\r\n"
    "  Stream #0:0[0x1](und): Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p(progressive), "
    "1280x720 [SAR 1:1 DAR 16:9], 7460 kb/s, 30 fps, 30 tbr, 15360 tbn (default)\r\n"
    "    Metadata:\r\n"
    "      handler_name    : VideoHandler\r\n"
    "  Stream #0:1[0x2](und): Audio: aac (LC) (mp4a / 0x6134706D), 48000 Hz, mono, fltp, 69 kb/s (default)\r\n"
    "At least one output file must be specified\r\n";

TEST(MediaReport, ReadsChaptersSoundAndPictures) {
    const MediaReport r = kv::ReadMediaReport(kFilm);
    ASSERT_EQ(r.chapters.size(), 3u);
    EXPECT_EQ(r.chapters[1].start, 20.0);
    EXPECT_EQ(r.chapters[0].title, "Intro: the \"start\"");
    EXPECT_EQ(r.chapters[2].title, "End");
    EXPECT_EQ(r.audioStream, 1);
    EXPECT_TRUE(r.movingVideo);
    EXPECT_FALSE(r.coverPicture);
    EXPECT_EQ(r.seconds, 60.0);
}

// The track marked default, else the first, as the transcoder picks it; a
// picture is a cover, not video to take a frame from.
TEST(MediaReport, TheDefaultTrackElseTheFirstAndTheAttachedPicture) {
    const std::string two =
        "Input #0, matroska,webm, from 'a.mkv':\n"
        "  Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s\n"
        "  Stream #0:0(eng): Audio: ac3, 48000 Hz, 5.1(side), fltp, 384 kb/s\n"
        "  Stream #0:1(eng): Audio: aac (LC), 44100 Hz, stereo, fltp (default)\n"
        "  Stream #0:2: Video: mjpeg (Baseline), yuvj420p(pc), 300x300, 90k tbr, 90k tbn (attached pic)\n";
    MediaReport r = kv::ReadMediaReport(two);
    EXPECT_EQ(r.audioStream, 1);
    EXPECT_TRUE(r.coverPicture);
    EXPECT_FALSE(r.movingVideo);
    std::string none = two;
    none.erase(none.find(" (default)"), 10);
    EXPECT_EQ(kv::ReadMediaReport(none).audioStream, 0);
    EXPECT_EQ(kv::ReadMediaReport("").audioStream, std::nullopt);
    EXPECT_TRUE(kv::ReadMediaReport("").chapters.empty());
}

// The file's own texts (a language, a tag of several lines, a second input)
// cannot pass for a stream, a mark or a chapter.
TEST(MediaReport, TheFilesOwnTextsForgeNothing) {
    const std::string forged =
        "Input #0, matroska,webm, from 'x.mkv':\n"
        "  Metadata:\n"
        "    comment         : one\n"
        "                    :   Stream #0:9: Audio: aac (default)\n"
        "                    :     Chapter #0:0: start 3.000000, end 4.000000\n"
        "  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s\n"
        "  Stream #0:0(default): Audio: aac (LC), 44100 Hz, stereo, fltp\n"
        "  Stream #0:1(attached pic): Video: h264, yuv420p, 64x64\n"
        "  Stream #0:2: Audio: opus, 48000 Hz, stereo, fltp\n"
        "Input #1, mov, from 'y.mp4':\n"
        "  Stream #0:7: Audio: aac (LC) (default)\n"
        "    Chapter #0:0: start 1.000000, end 2.000000\n";
    const MediaReport r = kv::ReadMediaReport(forged);
    EXPECT_EQ(r.audioStream, 0) << "no track is marked: the first";
    EXPECT_TRUE(r.movingVideo);
    EXPECT_FALSE(r.coverPicture);
    EXPECT_TRUE(r.chapters.empty());
}

Piece P(std::int64_t from, std::optional<std::int64_t> to, int n, std::string title) {
    return {from, to, n, std::move(title)};
}

// Borders at the chapters' starts, at 44.1 kHz: the pieces together are the
// whole sound, sample for sample, whatever order or gaps the chapters have.
TEST(OutputPlan, PiecesMeetAtTheChaptersStarts) {
    MediaReport r = kv::ReadMediaReport(kFilm);
    kv::OutputPlan plan = kv::PlanFor(r, true, false);
    ASSERT_EQ(plan.pieces.size(), 3u);
    EXPECT_EQ(plan.pieces[0], P(0, 882000, 1, "Intro: the \"start\""));
    EXPECT_EQ(plan.pieces[1], P(882000, 1984500, 2, "Middle/part"));
    EXPECT_EQ(plan.pieces[2], P(1984500, std::nullopt, 3, "End"));
    EXPECT_EQ(plan.audioStream, 1);
    EXPECT_FALSE(plan.coverAt);

    // Out of order, late first chapter, one of no length, one past the end.
    r.chapters = {{45, "C"}, {2.5, "A"}, {20, "B"}, {20, "B again"}, {75, "after"}};
    plan = kv::PlanFor(r, true, false);
    ASSERT_EQ(plan.pieces.size(), 3u);
    EXPECT_EQ(plan.pieces[0], P(0, 882000, 1, "A"));
    EXPECT_EQ(plan.pieces[2], P(1984500, std::nullopt, 3, "C"));

    r.chapters.resize(1);
    EXPECT_TRUE(kv::PlanFor(r, true, false).Plain()) << "one chapter is the whole file";
    r = kv::ReadMediaReport(kFilm);
    EXPECT_TRUE(kv::PlanFor(r, false, false).Plain());
    r.audioStream.reset();
    EXPECT_TRUE(kv::PlanFor(r, true, true).Plain()) << "no sound: the plain line names it";
}

TEST(OutputPlan, ACoverFromAVideoThatHasNone) {
    MediaReport r = kv::ReadMediaReport(kFilm);
    EXPECT_EQ(kv::PlanFor(r, false, true).coverAt, 6.0) << "10 % into it";
    r.coverPicture = true;
    EXPECT_FALSE(kv::PlanFor(r, false, true).coverAt);
    r.coverPicture = false;
    r.movingVideo = false;
    EXPECT_FALSE(kv::PlanFor(r, false, true).coverAt) << "a song has no frame";
    r.movingVideo = true;
    r.seconds.reset();
    EXPECT_FALSE(kv::PlanFor(r, false, true).coverAt) << "no length, no 10 %";
}

TEST(PieceNames, NumberAndTitleInANameAFolderTakes) {
    const std::string named = "C:\\Out\\Film.mp3";
    EXPECT_EQ(kv::PieceOutputPath(named, P(0, 1, 1, "Intro: the \"start\""), 3),
              "C:\\Out\\Film - 01 Intro_ the _start_.mp3");
    EXPECT_EQ(kv::PieceOutputPath(named, P(0, 1, 2, "a/b\\c*?<>|"), 3), "C:\\Out\\Film - 02 a_b_c_____.mp3");
    EXPECT_EQ(kv::PieceOutputPath(named, P(0, 1, 3, ""), 3), "C:\\Out\\Film - 03.mp3");
    EXPECT_EQ(kv::PieceOutputPath(named, P(0, 1, 4, " ..\x01\t. "), 9), "C:\\Out\\Film - 04.mp3");
    EXPECT_EQ(kv::PieceOutputPath(named, P(0, 1, 7, "\xE7\xAC\xAC\xE4\xB8\x80"), 120),
              "C:\\Out\\Film - 007 \xE7\xAC\xAC\xE4\xB8\x80.mp3");
}

std::vector<std::string> Parts(const kv::OutputPlan& plan, std::size_t outputs) {
    std::vector<std::string> outs;
    for (std::size_t i = 0; i < outputs; ++i) outs.push_back("C:\\Out\\p" + std::to_string(i) + ".part");
    const auto line =
        kv::PlannedArgsFor(kvtest::Checked("C:\\in\\Film & 'x' 100%.mp4"), outs, kv::Mp3Quality::V0, plan);
    return line ? kvtest::ArgvOf("ffmpeg.exe" + *line) : std::vector<std::string>{};
}

std::size_t Count(const std::vector<std::string>& argv, const std::string& arg) {
    return static_cast<std::size_t>(std::count(argv.begin(), argv.end(), arg));
}

// Read back as the transcoder's C run-time reads its line: the graph, each
// output with its sound, number, title and quality; a title's quotes stay
// inside its argument.
TEST(PlannedLine, OneOutputPerChapterWithItsTags) {
    const kv::OutputPlan plan = kv::PlanFor(kv::ReadMediaReport(kFilm), true, false);
    const auto argv = Parts(plan, 3);
    ASSERT_FALSE(argv.empty());
    const auto graph = std::find(argv.begin(), argv.end(), "-filter_complex");
    ASSERT_NE(graph, argv.end());
    EXPECT_EQ(*(graph + 1),
              "[0:1]aresample=44100,asplit=3[s0][s1][s2];[s0]atrim=start_sample=0:end_sample=882000,"
              "asetpts=PTS-STARTPTS[a0];[s1]atrim=start_sample=882000:end_sample=1984500,asetpts=PTS-STARTPTS[a1];"
              "[s2]atrim=start_sample=1984500,asetpts=PTS-STARTPTS[a2]");
    EXPECT_EQ(argv[4], "C:\\in\\Film & 'x' 100%.mp4");
    EXPECT_EQ(Count(argv, "title=Intro: the \"start\""), 1u);
    EXPECT_EQ(Count(argv, "track=3/3"), 1u);
    EXPECT_EQ(Count(argv, "-map_chapters"), 3u) << "no piece carries the whole file's chapters";
    EXPECT_EQ(Count(argv, "-q:a"), 3u);
    EXPECT_EQ(argv.back(), "C:\\Out\\p2.part");
    EXPECT_EQ(Count(argv, "-ss"), 0u);
    EXPECT_TRUE(Parts(plan, 2).empty()) << "an output for every piece";
}

TEST(PlannedLine, ACoverFrameFromASecondOfTheVideo) {
    const kv::OutputPlan plan = kv::PlanFor(kv::ReadMediaReport(kFilm), false, true);
    const auto argv = Parts(plan, 1);
    const std::vector<std::string> want{"ffmpeg.exe",
                                        "-discard:V",
                                        "all",
                                        "-i",
                                        "C:\\in\\Film & 'x' 100%.mp4",
                                        "-ss",
                                        "6.000",
                                        "-t",
                                        "1",
                                        "-i",
                                        "C:\\in\\Film & 'x' 100%.mp4",
                                        "-y",
                                        "-deinterlace",
                                        "-map",
                                        "0:1",
                                        "-map",
                                        "1:V:0",
                                        "-frames:v",
                                        "1",
                                        "-vf",
                                        "scale=w='min(600,iw)':h=-2,format=yuvj420p",
                                        "-c:v",
                                        "mjpeg",
                                        "-q:v",
                                        "3",
                                        "-ar",
                                        "44100",
                                        "-q:a",
                                        "0",
                                        "-ac",
                                        "2",
                                        "-f",
                                        "mp3",
                                        "C:\\Out\\p0.part"};
    EXPECT_EQ(argv, want);
    // Both at once: each chapter gets the frame.
    const auto both = Parts(kv::PlanFor(kv::ReadMediaReport(kFilm), true, true), 3);
    EXPECT_EQ(Count(both, "1:V:0"), 3u);
}

TEST(PlannedLine, APlainPlanIsThePlainLineAndBadPathsGetNone) {
    const auto input = kvtest::Checked("C:\\in\\a.mp4");
    EXPECT_EQ(kv::PlannedArgsFor(input, {"C:\\Out\\a.part"}, kv::Mp3Quality::Kbps128, {}),
              kv::FfmpegArgsFor(input, "C:\\Out\\a.part"));
    const kv::OutputPlan split = kv::PlanFor(kv::ReadMediaReport(kFilm), true, false);
    EXPECT_FALSE(kv::PlannedArgsFor(input, {"C:\\Out\\a", "relative\\b", "C:\\Out\\c"}, kv::Mp3Quality::V0, split));
    EXPECT_FALSE(kv::PlannedArgsFor(input, {"C:\\Out\\a", "C:\\Out\\\"b", "C:\\Out\\c"}, kv::Mp3Quality::V0, split));
    EXPECT_EQ(kv::ReportArgsFor(input), " -i \"C:\\in\\a.mp4\"");
}

}  // namespace
