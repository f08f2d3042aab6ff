// A job with even loudness or ReplayGain: the transcoder measures the file
// first (the row reads "Measuring"), then converts with the gain or tags; an
// MP3 taken through the limiter is measured as written and converted once
// more when it missed.
#include <gtest/gtest.h>

#include "convert/loudness.h"
#include "run_fakes.h"

namespace {

using kvtest::kComplete;
using kvtest::kSummary;
using Strings = std::vector<std::string>;

const std::string kHeader =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\in\\Talk.mp4':\r\n"
    "  Duration: 00:01:00.00, start: 0.000000, bitrate: 128 kb/s\r\n"
    "  Stream #0:0[0x1](und): Audio: aac (LC), 48000 Hz, stereo, fltp, 128 kb/s (default)\r\n";

std::string Meter(const std::string& i, const std::string& peak, const std::string& truePeak = "") {
    std::string s = "[Parsed_ebur128_1 @ 0000] Summary:\r\n\r\n  Integrated loudness:\r\n    I:         " + i +
                    " LUFS\r\n    Threshold: -45.0 LUFS\r\n\r\n  Loudness range:\r\n    LRA:         5.0 LU\r\n"
                    "    Threshold: -55.0 LUFS\r\n\r\n  Sample peak:\r\n    Peak:      " +
                    peak + " dBFS\r\n";
    if (!truePeak.empty()) s += "\r\n  True peak:\r\n    Peak:      " + truePeak + " dBFS\r\n";
    return s;
}

const std::string kPart = kv::PartialOutputPath("C:\\Out\\Talk.mp3", "t");

class Loudness : public kvtest::RunTest {
protected:
    void SetUp() override {
        platform.choices.loudness = kv::Loudness::R128;
        jobs.Add("C:\\in\\Talk.mp4");
        run.Convert();
        ASSERT_EQ(platform.starts.size(), 1u);
    }
    // The running transcoder ends with this report, having written nothing.
    void Ends(const std::string& log, std::uint32_t code = 0) {
        Last()->log = log;
        Last()->exited = true;
        Last()->code = code;
        run.OnJobExited(Last()->jobId);
    }
};

TEST_F(Loudness, TheFileIsMeasuredFirstThenConvertedWithItsGain) {
    EXPECT_EQ(Last()->args, kv::MeasureArgsFor(kvtest::Checked("C:\\in\\Talk.mp4")));
    EXPECT_EQ(Progress(), Strings{"Measuring"});
    EXPECT_EQ(run.PartialPath(), kPart) << "nothing is written yet, the name is the MP3's";
    Ends(kHeader + Meter("-7.3", "0.0"));
    ASSERT_EQ(platform.starts.size(), 2u);
    // -16 - -7.3, and the 0.45 dB the encoder's quantization takes at 128 kbit/s made up.
    EXPECT_NE(Last()->args.find("volume=-8.25dB"), std::string::npos) << Last()->args;
    EXPECT_EQ(Last()->args.find("alimiter"), std::string::npos) << "the peaks allow a linear gain";
    EXPECT_EQ(Progress(), Strings{"0% Done"});
    platform.files[kPart] = {true, true, Expected() / 2};
    platform.ports.front()->Fire();
    EXPECT_EQ(Progress(), Strings{"50% Done"});
    End(0, kComplete);
    EXPECT_EQ(platform.starts.size(), 2u) << "a linear gain is exact: no second measuring";
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Talk.mp3"});
    EXPECT_EQ(Progress(), Strings{"Done"});
}

TEST_F(Loudness, AFileWhoseLoudnessCannotBeMeasuredFailsWithTheReason) {
    Ends(kHeader + "Error while decoding stream #0:0: Invalid data found when processing input\r\n", 1);
    EXPECT_EQ(platform.starts.size(), 1u) << "nothing converted at another loudness";
    EXPECT_EQ(Progress(), Strings{"Failed"});
    EXPECT_EQ(jobs.At(0).failure, kv::Failure::NotMeasured);
    EXPECT_NE(kv::FailureReason(kv::Failure::NotMeasured).find("Loudness: As it is"), std::string::npos);
    EXPECT_TRUE(platform.committed.empty());
    EXPECT_EQ(platform.finished, 1);
}

TEST_F(Loudness, AFileWithNoSoundFailsAsItAlwaysHas) {
    Ends(
        "Input #0, mov,mp4 from 'C:\\in\\Talk.mp4':\r\n  Stream #0:0: Video: h264\r\n"
        "Output file #0 does not contain any stream\r\n",
        1);
    ASSERT_EQ(platform.starts.size(), 2u) << "the plain line, which names the missing sound";
    EXPECT_EQ(Last()->args, kvtest::ArgsFor("C:\\in\\Talk.mp4", "C:\\Out\\Talk.mp3"));
}

TEST_F(Loudness, MeasuringAslongFileIsNoStallWhileItMovesOn) {
    run.StallMs = 60000;
    for (int minute = 1; minute <= 5; ++minute) {
        Last()->reached = minute * 60.0;
        platform.now += 50000;
        platform.ports.front()->Fire();
    }
    EXPECT_EQ(Progress(), Strings{"Measuring"}) << "four minutes of measuring, always moving";
    platform.now += 60000;
    platform.ports.front()->Fire();
    EXPECT_TRUE(Last()->terminated) << "a minute without moving on: hung";
    EXPECT_EQ(jobs.At(0).failure, kv::Failure::Stalled);
}

TEST_F(Loudness, RemovingTheRowWhileItIsMeasuredEndsIt) {
    jobs.RemoveAt(0);
    platform.ports.front()->Fire();
    EXPECT_TRUE(Last()->terminated);
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_EQ(run.RunningCount(), 0u);
}

TEST_F(Loudness, ALimitedMp3IsMeasuredAsWrittenAndConvertedOnceMoreWhenItMissed) {
    Ends(kHeader + Meter("-22.5", "0.4"));
    ASSERT_EQ(platform.starts.size(), 2u);
    EXPECT_NE(Last()->args.find("volume=6.95dB,aresample=176400,alimiter=limit=0.794328"), std::string::npos);
    End(0, kComplete);
    ASSERT_EQ(platform.starts.size(), 3u) << "the MP3 as written is measured";
    EXPECT_EQ(Last()->args, kv::CheckArgsFor(kPart).value());
    EXPECT_EQ(Progress(), Strings{"Measuring"});
    EXPECT_TRUE(platform.committed.empty()) << "not named before it is known good";
    Ends(Meter("-17.7", "-2.2", "-2.0"));
    ASSERT_EQ(platform.starts.size(), 4u) << "1.7 LU short of the target: once more, louder";
    EXPECT_NE(Last()->args.find("volume=8.65dB"), std::string::npos) << Last()->args;
    EXPECT_EQ(platform.discarded, Strings{kPart}) << "the first MP3 goes";
    EXPECT_EQ(Progress(), Strings{"0% Done"});
    End(0, kComplete);
    EXPECT_EQ(platform.starts.size(), 4u) << "measured once as written, corrected once";
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Talk.mp3"});
    EXPECT_EQ(Progress(), Strings{"Done"});
}

TEST_F(Loudness, ALimitedMp3ThatMetItsAimIsNamedAtOnce) {
    Ends(kHeader + Meter("-22.5", "0.4"));
    End(0, kComplete);
    Ends(Meter("-16.2", "-2.2", "-1.9"));
    EXPECT_EQ(platform.starts.size(), 3u);
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Talk.mp3"});
    EXPECT_EQ(Progress(), Strings{"Done"});
}

TEST_F(Loudness, AnMp3WhoseCheckCannotStartIsNamedAsJudged) {
    Ends(kHeader + Meter("-22.5", "0.4"));
    platform.refuseStart = {false, false, true};
    End(0, kComplete);
    EXPECT_EQ(platform.committed, Strings{"C:\\Out\\Talk.mp3"}) << "the MP3 was whole and good: it stays";
    EXPECT_EQ(Progress(), Strings{"Done"});
}

TEST_F(Loudness, AFailedConversionIsJudgedAsAlwaysAndNeverMeasured) {
    Ends(kHeader + Meter("-22.5", "0.4"));
    End(1, 0, false);
    End(1, 0, false);  // its second start fails too
    EXPECT_EQ(Progress(), Strings{"Failed"});
    for (const auto& start : platform.starts) EXPECT_EQ(start->args.find("-f mp3 -i"), std::string::npos);
}

TEST(LoudnessChoice, ReplayGainTagsTheMp3AndLeavesItsSound) {
    kvtest::Jobs jobs;
    kvtest::FakePlatform platform;
    kv::TComponent owner{nullptr};
    kv::ConversionRun run{jobs, platform, platform, &owner};
    platform.choices.loudness = kv::Loudness::ReplayGain;
    jobs.Add("C:\\in\\Talk.mp4");
    run.Convert();
    ASSERT_EQ(platform.starts.size(), 1u);
    platform.starts[0]->log = kHeader + Meter("-22.5", "0.3");
    platform.starts[0]->exited = true;
    run.OnJobExited(platform.starts[0]->jobId);
    ASSERT_EQ(platform.starts.size(), 2u);
    const std::string& line = platform.starts[1]->args;
    EXPECT_NE(line.find(" -metadata \"REPLAYGAIN_TRACK_GAIN=+4.50 dB\" -metadata \"REPLAYGAIN_TRACK_PEAK=1.035142\""),
              std::string::npos)
        << line;
    EXPECT_EQ(line.find("-af"), std::string::npos) << "the sound untouched";
}

}  // namespace
