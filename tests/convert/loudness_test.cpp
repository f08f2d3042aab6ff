// Even loudness: the meter's summary read from the transcoder's report, the
// gain and limiter rule at its edges, ReplayGain's tags and the lines.
#include "convert/loudness.h"

#include <gtest/gtest.h>

#include "convert/choices.h"
#include "convert/media_plan.h"
#include "support/checked.h"

namespace {

using kv::LoudnessMeasure;
using kv::SoundPlan;

// The meter's summary as the transcoder ends a measuring run with it.
std::string Summary(const std::string& i, const std::string& sample, const std::string& truePeak = "") {
    std::string s =
        "[Parsed_ebur128_1 @ 000001d2c4e8a9c0] Summary:\r\n\r\n"
        "  Integrated loudness:\r\n"
        "    I:         " +
        i +
        " LUFS\r\n"
        "    Threshold: -45.1 LUFS\r\n\r\n"
        "  Loudness range:\r\n"
        "    LRA:         6.2 LU\r\n"
        "    Threshold: -55.0 LUFS\r\n"
        "    LRA low:   -39.6 LUFS\r\n"
        "    LRA high:  -33.4 LUFS\r\n\r\n"
        "  Sample peak:\r\n"
        "    Peak:      " +
        sample + " dBFS\r\n";
    if (!truePeak.empty()) s += "\r\n  True peak:\r\n    Peak:      " + truePeak + " dBFS\r\n";
    return s;
}

const std::string kHeader =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\in\\Talk.mp4':\r\n"
    "  Metadata:\r\n"
    "    comment         : [Parsed_ebur128_0 @ 0] Summary:\r\n"
    "                    :     I:           0.0 LUFS\r\n"
    "  Duration: 00:10:00.00, start: 0.000000, bitrate: 128 kb/s\r\n"
    "  Stream #0:0[0x1](und): Audio: aac (LC), 48000 Hz, stereo, fltp, 128 kb/s (default)\r\n"
    "size=N/A time=00:10:00.00 bitrate=N/A speed= 160x    \r";

TEST(LoudnessSummary, ReadsTheMetersOwnLinesOnly) {
    const auto m = kv::ReadLoudness(kHeader + Summary("-34.9", "-22.7", "-22.5"));
    ASSERT_TRUE(m);
    EXPECT_DOUBLE_EQ(m->integrated, -34.9);
    EXPECT_DOUBLE_EQ(m->range, 6.2);
    EXPECT_DOUBLE_EQ(m->samplePeak, -22.7);
    ASSERT_TRUE(m->truePeak);
    EXPECT_DOUBLE_EQ(*m->truePeak, -22.5);
    // A tag that copies the meter's words is printed indented: it forges nothing.
    EXPECT_FALSE(kv::ReadLoudness(kHeader)) << "no summary: the run ended early or had no sound";
    const auto sampleOnly = kv::ReadLoudness(Summary("-7.3", "0.0"));
    ASSERT_TRUE(sampleOnly);
    EXPECT_FALSE(sampleOnly->truePeak);
    // Digital silence: the peak is minus infinity and the loudness the gate's floor.
    const auto silent = kv::ReadLoudness(Summary("-70.0", " -inf"));
    ASSERT_TRUE(silent);
    EXPECT_LT(silent->samplePeak, -1000);
    // A summary cut off before its loudness range, or with a number that is none, is no measurement.
    const std::string whole = Summary("-16.0", "-1.0");
    EXPECT_FALSE(kv::ReadLoudness(whole.substr(0, whole.find("  Loudness range"))));
    EXPECT_FALSE(kv::ReadLoudness(Summary("nan", "-1.0")));
    EXPECT_FALSE(kv::ReadLoudness(Summary("", "-1.0")));
    // Numbers no meter gives of real sound.
    EXPECT_FALSE(kv::ReadLoudness(Summary("12.0", "-1.0")));
    EXPECT_FALSE(kv::ReadLoudness(Summary("-16.0", "41.0")));
    EXPECT_FALSE(kv::ReadLoudness(Summary("-16.0", "-1.0", "1e300")));
    EXPECT_FALSE(kv::ReadLoudness(Summary("-16.0", "inf")));
    EXPECT_TRUE(kv::ReadLoudness(Summary("3.0", "6.0", "6.5"))) << "a float file past full scale is still sound";
}

TEST(LoudnessRule, AGainToTheTargetLinearWhereThePeaksAllow) {
    // Loud, compressed music comes down: no limiter is needed.
    const SoundPlan down = kv::R128Plan({-7.3, 3.0, 0.0, {}}, -16);
    EXPECT_DOUBLE_EQ(down.gainDb, -8.7);
    EXPECT_FALSE(down.limitDb);
    EXPECT_DOUBLE_EQ(down.aim, -16);
    // Quiet speech goes up as far as its peaks stay clear of the ceiling and the margin.
    const SoundPlan up = kv::R128Plan({-35.0, 6.0, -21.0, {}}, -16);
    EXPECT_DOUBLE_EQ(up.gainDb, 19.0);
    EXPECT_FALSE(up.limitDb) << "-21 + 19 = -2 dBFS: exactly at the limit, still linear";
    // One hundredth of a decibel further and the limiter takes those peaks.
    const SoundPlan limited = kv::R128Plan({-35.0, 6.0, -20.99, {}}, -16);
    EXPECT_DOUBLE_EQ(limited.gainDb, 19.0) << "the gain still reaches the target";
    ASSERT_TRUE(limited.limitDb);
    EXPECT_DOUBLE_EQ(*limited.limitDb, kv::kTruePeakCeiling - kv::kPeakMargin);
    // A true peak, when measured, counts where it is above the sample peak.
    EXPECT_TRUE(kv::R128Plan({-35.0, 6.0, -22.0, -20.5}, -16).limitDb);
}

// The encoder leaves the sound a little quieter at a low rate: the gain makes
// it up, and the MP3 is still aimed at the target itself.
TEST(LoudnessRule, TheEncodersLossIsMadeUp) {
    const SoundPlan at128 = kv::R128Plan({-20.0, 3.0, -30.0, {}}, -16, kv::EncoderLevelLoss(kv::Mp3Quality::Kbps128));
    EXPECT_DOUBLE_EQ(at128.gainDb, 4.45);
    EXPECT_DOUBLE_EQ(at128.aim, -16);
    EXPECT_DOUBLE_EQ(kv::R128Plan({-20.0, 3.0, -30.0, {}}, -16, kv::EncoderLevelLoss(kv::Mp3Quality::Kbps320)).gainDb,
                     4.0);
    EXPECT_GT(kv::EncoderLevelLoss(kv::Mp3Quality::Kbps128), kv::EncoderLevelLoss(kv::Mp3Quality::Kbps192));
    // The made-up part counts toward the peaks too.
    EXPECT_TRUE(kv::R128Plan({-20.0, 3.0, -6.2, {}}, -16, 0.45).limitDb);
    EXPECT_FALSE(kv::R128Plan({-20.0, 3.0, -6.2, {}}, -16, 0).limitDb);
    EXPECT_TRUE(kv::R128Plan({-90.0, 0, -90, {}}, -16, 0.45).Untouched()) << "silence still";
}

TEST(LoudnessRule, SilenceAndPeaksTooFarAboveKeepTheirLimits) {
    for (const double quiet : {-70.0, -80.0, -1e9}) {
        const SoundPlan silent = kv::R128Plan({quiet, 0, -90, {}}, -16);
        EXPECT_TRUE(silent.Untouched()) << quiet;
        EXPECT_TRUE(kv::ReplayGainPlan({quiet, 0, -90, {}}).tags.empty()) << "silence gets no tags";
    }
    EXPECT_FALSE(kv::R128Plan({-69.9, 0, -60, {}}, -16).Untouched()) << "just above the floor is sound";
    // A clip whose one bang would need more than the limiter may take: the gain comes down.
    const SoundPlan bang = kv::R128Plan({-40.0, 20.0, -1.0, {}}, -16);
    EXPECT_DOUBLE_EQ(bang.gainDb, -2.0 + kv::kMostLimiting + 1.0);
    EXPECT_DOUBLE_EQ(bang.aim, -40.0 + bang.gainDb);
    EXPECT_TRUE(bang.limitDb);
    // The target is the one chosen.
    EXPECT_DOUBLE_EQ(kv::R128Plan({-20.0, 5, -30, {}}, -23).gainDb, -3.0);
    EXPECT_DOUBLE_EQ(kv::R128Plan({-20.0, 5, -30, {}}, -5).gainDb, 15.0);
}

TEST(LoudnessRule, ReplayGainTagsTheFileAgainstItsReferenceAndLeavesTheSound) {
    const SoundPlan rg = kv::ReplayGainPlan({-22.5, 4, 0.3, {}});
    EXPECT_EQ(rg.gainDb, 0);
    EXPECT_FALSE(rg.limitDb);
    ASSERT_EQ(rg.tags.size(), 2u);
    EXPECT_EQ(rg.tags[0], (std::pair<std::string, std::string>{"REPLAYGAIN_TRACK_GAIN", "+4.50 dB"}));
    EXPECT_EQ(rg.tags[1], (std::pair<std::string, std::string>{"REPLAYGAIN_TRACK_PEAK", "1.035142"}));
    EXPECT_EQ(kv::ReplayGainPlan({-7.3, 4, 0.0, {}}).tags[0].second, "-10.70 dB");
    EXPECT_EQ(kv::SoundFilter(rg), "") << "the sound passes untouched";
}

TEST(LoudnessRule, TheMp3AsWrittenCorrectsALimitedPlanOnce) {
    const SoundPlan limited = kv::R128Plan({-22.5, 6.0, 0.4, {}}, -16);
    ASSERT_TRUE(limited.limitDb);
    // The limiter took energy with the peaks: the MP3 came out quieter.
    const auto louder = kv::Corrected(limited, {-17.7, 6.0, -2.4, -2.2});
    ASSERT_TRUE(louder);
    EXPECT_NEAR(louder->gainDb, limited.gainDb + 1.7, 1e-9);
    EXPECT_EQ(louder->limitDb, limited.limitDb) << "under the ceiling: the limiter stays";
    // The encoder overshot the ceiling: the limiter comes down by as much and a margin.
    const auto lower = kv::Corrected(limited, {-16.1, 6.0, -0.6, -0.6});
    ASSERT_TRUE(lower);
    EXPECT_NEAR(*lower->limitDb, *limited.limitDb - 0.4 - kv::kAimTolerance, 1e-9);
    // Close to its aim and under the ceiling it stays; a linear plan is never checked.
    EXPECT_FALSE(kv::Corrected(limited, {-16.3, 6.0, -1.5, -1.0})) << "0.3 LU off, to the tenth the meter gives";
    EXPECT_FALSE(kv::Corrected(kv::R128Plan({-7.3, 3.0, 0.0, {}}, -16), {-18.0, 3, -9, -9}));
    EXPECT_FALSE(kv::Corrected(limited, {-18.0, 6.0, -2.0, {}})) << "no true peak: nothing to go by";
}

TEST(LoudnessLines, TheFiltersAndTheMeasuringLines) {
    EXPECT_EQ(kv::SoundFilter({}), "");
    EXPECT_EQ(kv::SoundFilter(kv::R128Plan({-7.3, 3.0, 0.0, {}}, -16)),
              "aformat=sample_rates=44100:channel_layouts=stereo,volume=-8.70dB");
    EXPECT_EQ(kv::SoundFilter(kv::R128Plan({-22.5, 6.0, 0.4, {}}, -16)),
              "aformat=sample_rates=44100:channel_layouts=stereo,volume=6.50dB,aresample=176400,"
              "alimiter=limit=0.794328:attack=5:release=50:level=0:latency=1,aresample=44100");
    SoundPlan floor;
    floor.gainDb = 1;
    floor.limitDb = -40;
    EXPECT_NE(kv::SoundFilter(floor).find("limit=0.062500:"), std::string::npos) << "the limiter's lowest level";
    EXPECT_EQ(kv::MeasureArgsFor(kvtest::Checked("C:\\in\\a & b.mp4")),
              " -discard:V all -i \"C:\\in\\a & b.mp4\" -vn -sn -dn -af "
              "\"aformat=sample_rates=44100:channel_layouts=stereo,ebur128=peak=sample:framelog=verbose\" -f null -");
    EXPECT_EQ(kv::CheckArgsFor("C:\\Out\\a.mp3.t.korvello-part").value(),
              " -f mp3 -i \"C:\\Out\\a.mp3.t.korvello-part\" -af ebur128=peak=true:framelog=verbose -f null -");
    EXPECT_FALSE(kv::CheckArgsFor("C:\\Out\\a\".mp3"));
}

// The plan's sound reaches the line: a gain on the one output, in the split
// graph before the chapters part, and tags on every output.
TEST(LoudnessLines, ThePlannedLineCarriesTheSound) {
    const auto input = kvtest::Checked("C:\\in\\Talk.mp4");
    kv::MediaReport report;
    report.audioStream = 1;
    report.seconds = 60;
    const SoundPlan gain = kv::R128Plan({-7.3, 3.0, 0.0, {}}, -16);
    const kv::OutputPlan one = kv::PlanFor(report, false, false, gain);
    EXPECT_FALSE(one.Plain());
    const std::string line = kv::PlannedArgsFor(input, {"C:\\Out\\Talk.mp3"}, kv::Mp3Quality::Kbps128, one).value();
    EXPECT_NE(line.find(" -map 0:1 -af \"aformat=sample_rates=44100:channel_layouts=stereo,volume=-8.70dB\""),
              std::string::npos)
        << line;
    report.chapters = {{0, "A"}, {30, "B"}};
    const kv::OutputPlan split = kv::PlanFor(report, true, false, kv::ReplayGainPlan({-22.5, 4, 0.3, {}}));
    const std::string two =
        kv::PlannedArgsFor(input, {"C:\\Out\\1.mp3", "C:\\Out\\2.mp3"}, kv::Mp3Quality::Kbps128, split).value();
    std::size_t tags = 0;
    for (std::size_t at = 0; (at = two.find("\"REPLAYGAIN_TRACK_GAIN=+4.50 dB\"", at)) != std::string::npos; ++at)
        ++tags;
    EXPECT_EQ(tags, 2u) << two;
    EXPECT_EQ(two.find("volume"), std::string::npos);
    const kv::OutputPlan splitGain = kv::PlanFor(report, true, false, gain);
    const std::string graph =
        kv::PlannedArgsFor(input, {"C:\\Out\\1.mp3", "C:\\Out\\2.mp3"}, kv::Mp3Quality::Kbps128, splitGain).value();
    EXPECT_NE(graph.find("[0:1]aresample=44100,aformat=sample_rates=44100:channel_layouts=stereo,volume=-8.70dB,"
                         "asplit=2"),
              std::string::npos)
        << graph;
    report.audioStream.reset();
    EXPECT_TRUE(kv::PlanFor(report, true, false, gain).Plain()) << "no sound: the plain line names what is missing";
}

}  // namespace
