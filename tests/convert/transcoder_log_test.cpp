// Reading the transcoder's error output, with lines as the embedded FFmpeg
// writes them for real files.
#include "convert/transcoder_log.h"

#include <gtest/gtest.h>

namespace {

using kv::Failure;

const char* const kClean =
    "-deinterlace is deprecated, use -filter:v yadif instead\r\n"
    "The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s\r\n"
    "size=       0kB time=00:00:00.00 bitrate=N/A speed=   0x    \r"
    "size=     126kB time=00:00:08.02 bitrate= 128.8kbits/s speed=43.7x    \r\n"
    "video:0kB audio:126kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.276546%\r\n";

// An MP4 with its index in front, cut at 60 %: FFmpeg ends normally with 11 of 20 seconds.
const char* const kCut =
    "size=       0kB time=00:00:00.00 bitrate=N/A speed=   0x    "
    "[mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000c81cc0] Packet corrupt (stream = 0, dts = 518144).\r\n"
    "cut_fs.mp4: corrupt input packet in stream 0\r\n"
    "[aac @ 0000000000c84980] Input buffer exhausted before END element found\r\n"
    "Error while decoding stream #0:0: Invalid data found when processing input\r\n"
    "[mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000c81cc0] stream 0, offset 0x182ef: partial file\r\n"
    "size=     184kB time=00:00:11.75 bitrate= 128.5kbits/s speed=48.8x    \r\n";

TEST(TranscoderLog, DamageIsTheReaderComplainingNotTheUsualNotices) {
    EXPECT_FALSE(kv::DamageReported(kClean));
    EXPECT_FALSE(kv::DamageReported(""));
    EXPECT_TRUE(kv::DamageReported(kCut));
    EXPECT_TRUE(kv::DamageReported("[mov @ 0] stream 0, offset 0x1: partial file\n"));
    EXPECT_TRUE(kv::DamageReported("Error while decoding stream #0:0: Invalid data found when processing input\n"));
}

TEST(TranscoderLog, EachFailureIsToldByWhatTheTranscoderSaid) {
    const std::string in = "C:\\in\\clip.mp4", out = "D:\\music\\clip.mp3";
    EXPECT_EQ(
        kv::ClassifyFailure(1, "Output #0, mp3, to 'x':\r\nOutput file #0 does not contain any stream\r\n", in, out),
        Failure::NoAudio);
    EXPECT_EQ(kv::ClassifyFailure(1,
                                  "[mov,mp4,m4a,3gp,3g2,mj2 @ 0] moov atom not found\r\n"
                                  "C:\\in\\clip.mp4: Invalid data found when processing input\r\n",
                                  in, out),
              Failure::Damaged);
    EXPECT_EQ(kv::ClassifyFailure(0, kCut, in, out), Failure::Damaged);
    EXPECT_EQ(kv::ClassifyFailure(1, "D:\\music\\clip.mp3: No such file or directory\r\n", in, out),
              Failure::OutputFolder);
    EXPECT_EQ(kv::ClassifyFailure(1, "D:\\music\\clip.mp3: Permission denied\r\n", in, out), Failure::OutputFolder);
    EXPECT_EQ(kv::ClassifyFailure(1, "C:\\in\\clip.mp4: No such file or directory\r\n", in, out),
              Failure::InputMissing);
    EXPECT_EQ(kv::ClassifyFailure(1, "av_interleaved_write_frame(): No space left on device\r\n", in, out),
              Failure::DiskFull);
    EXPECT_EQ(kv::ClassifyFailure(1, "", in, out), Failure::Unknown);
    EXPECT_EQ(kv::ClassifyFailure(0, kClean, in, out), Failure::Damaged) << "short yet silent: the sound ends early";
}

TEST(TranscoderLog, APathIsJudgedOnlyByItsOwnLine) {
    // The input's name on one line, the complaint on another: no missing input.
    const std::string log = "Input #0, mov, from 'C:\\in\\clip.mp4':\r\nX: No such file or directory\r\n";
    EXPECT_EQ(kv::ClassifyFailure(1, log, "C:\\in\\clip.mp4", "D:\\o.mp3"), Failure::Unknown);
}

TEST(TranscoderLog, TheTimesAreTheLastProgressReadingAndTheInputsDuration) {
    EXPECT_DOUBLE_EQ(kv::ReachedSeconds(kClean).value(), 8.02);
    EXPECT_DOUBLE_EQ(kv::ReachedSeconds(kCut).value(), 11.75);
    EXPECT_FALSE(kv::ReachedSeconds("size=N/A time=N/A bitrate=N/A\r\n"));
    EXPECT_FALSE(kv::ReachedSeconds("size=0kB time=-577014:32:22.77\rsize=0kB time=1:2:3\rsize=0kB time=00:61:00.00"));
    EXPECT_DOUBLE_EQ(kv::ReachedSeconds("size=1kB time=12:00:01.5\rsize=N/A time=N/A").value(), 43201.5);
    // A tag's text is printed indented: its time= is no progress.
    EXPECT_DOUBLE_EQ(kv::ReachedSeconds("frame=1 size=1kB time=00:00:02.00\n    comment : time=99:00:00.00\n").value(),
                     2.0);
    EXPECT_FALSE(kv::ReachedSeconds("    comment : size=1kB time=00:00:02.00\n"));
    EXPECT_FALSE(kv::ReachedSeconds(""));
    EXPECT_DOUBLE_EQ(kv::InputSeconds("Input #0, mov:\r\n  Duration: 00:01:00.02, start: 0.000000\r\n").value(), 60.02);
    EXPECT_FALSE(kv::InputSeconds("  Duration: N/A, bitrate: N/A\r\n"));
    EXPECT_FALSE(kv::InputSeconds(kClean));
    // A tag's text never makes the input shorter; a forged key's line makes it only longer.
    const std::string tagged =
        "Input #0, mov:\n  Metadata:\n    comment         : Duration: 00:00:01.00\n"
        "                    :   Duration: 00:00:01.00\n  Duration: 00:01:00.00, start: 0\n";
    EXPECT_DOUBLE_EQ(kv::InputSeconds(tagged).value(), 60.0);
    EXPECT_DOUBLE_EQ(kv::InputSeconds("Input #0, mov:\n  Duration: 00:00:01.00\n  Duration: 00:01:00.00\n").value(),
                     60.0);
    // Only the first input's: an output's or a second input's Duration is not the input's.
    EXPECT_FALSE(kv::InputSeconds("Output #0, mp3:\n  Duration: 00:00:01.00\n"));
    EXPECT_DOUBLE_EQ(
        kv::InputSeconds("Input #0, a:\n  Duration: 00:00:05.00\nInput #1, b:\n  Duration: 00:09:00.00\n").value(),
        5.0);
}

TEST(TranscoderLog, TheSummaryIsTheTranscodersOwnLastLine) {
    EXPECT_TRUE(
        kv::SummaryWritten("size=79kB time=00:00:05.01\nvideo:0kB audio:79kB subtitle:0kB other streams:0kB "
                           "global headers:0kB muxing overhead: 0.538021%\n"));
    EXPECT_TRUE(
        kv::SummaryWritten("[out#0/mp3 @ 0x1] video:0KiB audio:79KiB subtitle:0KiB other streams:0KiB global "
                           "headers:0KiB muxing overhead: 0.5%\r\n"));
    EXPECT_FALSE(kv::SummaryWritten("size=79kB time=00:00:05.01\r"));
    EXPECT_FALSE(kv::SummaryWritten("    comment         : video:0kB audio:79kB muxing overhead: 0.5%\n"));
    EXPECT_FALSE(kv::SummaryWritten(""));
    // A tag whose key forges the line: never the report's last line, and never ending as the summary ends.
    const std::string forged = "  Metadata:\n    x\nvideo:0kB audio:1kB muxing overhead: 1: %\n";
    EXPECT_FALSE(kv::SummaryWritten(forged));
    EXPECT_FALSE(kv::SummaryWritten("video:0kB audio:1kB muxing overhead: 1%\nsize=1kB time=00:00:01.00\r"))
        << "progress after it: it was no summary";
    EXPECT_TRUE(kv::SummaryWritten("video:0kB audio:1kB subtitle:0kB muxing overhead: unknown\r\n\r\n"));
}

TEST(TranscoderLog, OutputCoversItsInputWithinASecondOrOnePercent) {
    EXPECT_TRUE(kv::CoversInput(59.90, 60.0));
    EXPECT_TRUE(kv::CoversInput(59.0, 60.0));
    EXPECT_FALSE(kv::CoversInput(58.99, 60.0));
    EXPECT_FALSE(kv::CoversInput(35.75, 60.0));
    EXPECT_TRUE(kv::CoversInput(3564.0, 3600.0)) << "an hour may miss 36 s";
    EXPECT_FALSE(kv::CoversInput(3563.9, 3600.0));
    EXPECT_TRUE(kv::CoversInput(0.5, 1.0));
}

// The report of a file with a very long name can hold it thousands of times on
// one line; each occurrence is judged, and the search stays linear (bench/).
TEST(TranscoderLog, ARepeatedPathIsJudgedOnItsOwnLineWhereverItStands) {
    const std::string out = "D:\\o\\" + std::string(200, 'a') + ".mp3";
    std::string line;
    for (int i = 0; i < 2000; ++i) line += std::string(199, 'a') + " ";
    EXPECT_EQ(kv::ClassifyFailure(1, line + out + ": Permission denied\r\n", "C:\\in.mp4", out), Failure::OutputFolder);
    EXPECT_EQ(kv::ClassifyFailure(1, line + out + "\r\nPermission denied\r\n", "C:\\in.mp4", out), Failure::Unknown);
    EXPECT_EQ(kv::ClassifyFailure(1, "x" + out.substr(1) + ": Permission denied", "C:\\in.mp4", out), Failure::Unknown);
    // The complaint after the path's first mention on the line counts, also past a second mention.
    EXPECT_EQ(kv::ClassifyFailure(1, out + " " + out + " No such file or directory", "C:\\in.mp4", out),
              Failure::OutputFolder);
}

TEST(TranscoderLog, TheMessageNamesTheFileAndTheReason) {
    EXPECT_EQ(kv::FailureMessage("C:\\in\\Talk one.mp4", Failure::NoAudio),
              "\"Talk one.mp4\" could not be converted.\n\nThe file has no audio track: there is no sound to convert.");
    for (Failure f : {Failure::NotStarted, Failure::Stalled, Failure::NoAudio, Failure::Damaged, Failure::InputMissing,
                      Failure::OutputFolder, Failure::DiskFull, Failure::OutputLocked, Failure::Unknown})
        EXPECT_NE(kv::FailureReason(f), kv::FailureReason(Failure::None));
    EXPECT_NE(kv::FailureReason(Failure::Stalled), kv::FailureReason(Failure::Unknown));
}

}  // namespace
