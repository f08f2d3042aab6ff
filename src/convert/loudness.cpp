#include "convert/loudness.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "convert/transcoder_log.h"

namespace kv {

namespace {

// "-23.4 LUFS", "  -inf dBFS": the number that begins the text.
std::optional<double> LeadingNumber(std::string_view text) {
    const std::size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos) return std::nullopt;
    text.remove_prefix(at);
    if (text.starts_with("-inf")) return -HUGE_VAL;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> ValueAfter(std::string_view line, std::string_view key) {
    return line.starts_with(key) ? LeadingNumber(line.substr(key.size())) : std::nullopt;
}

// The meter's summary begins at the start of a line, with the meter's own
// name, where a tag's text never stands (tags are printed indented).
bool IsSummaryStart(std::string_view line) {
    return line.starts_with("[Parsed_ebur128_") && line.ends_with("] Summary:");
}

}  // namespace

namespace {

// One summary as it is read, line by line.
struct SummaryReader {
    LoudnessMeasure m;
    std::optional<double> i, range, sample;
    std::string_view peakKind;

    void Line(std::string_view line) {
        if (line == "  Sample peak:" || line == "  True peak:") peakKind = line;
        if (const auto v = ValueAfter(line, "    I:"); v && !i) i = v;
        if (const auto v = ValueAfter(line, "    LRA:"); v && !range) range = v;
        if (const auto p = ValueAfter(line, "    Peak:")) {
            if (peakKind == "  Sample peak:") sample = p;
            if (peakKind == "  True peak:") m.truePeak = p;
        }
    }
    // Loudness, range and a peak, each a number a meter gives of real sound.
    [[nodiscard]] std::optional<LoudnessMeasure> Measure() const {
        if (!i || !range || !(sample || m.truePeak)) return std::nullopt;
        LoudnessMeasure out = m;
        out.integrated = *i;
        out.range = *range;
        out.samplePeak = sample.value_or(m.truePeak.value_or(0));
        if (out.integrated > kLoudestLufs || out.samplePeak > kHighestPeakDb ||
            out.truePeak.value_or(0) > kHighestPeakDb || out.range < 0)
            return std::nullopt;
        return out;
    }
};

}  // namespace

std::optional<LoudnessMeasure> ReadLoudness(std::string_view log) {
    std::optional<SummaryReader> last;
    bool in = false;
    ForEachLine(log, [&](std::string_view line) {
        if (IsSummaryStart(line)) {
            last.emplace();
            in = true;
        } else if (in && line.starts_with("  ")) {
            last->Line(line);
        } else {
            in = false;  // the summary ends with the next line of another kind
        }
    });
    return last ? last->Measure() : std::nullopt;
}

SoundPlan R128Plan(const LoudnessMeasure& measured, double target, double encoderLossDb) {
    SoundPlan plan;
    plan.aim = measured.integrated;
    if (measured.integrated <= kSilenceLufs) return plan;
    double gain = target - measured.integrated + encoderLossDb;
    const double limit = kTruePeakCeiling - kPeakMargin;
    const double peak = std::max(measured.samplePeak, measured.truePeak.value_or(measured.samplePeak));
    // A peak the limiter would have to take down too far lowers the gain instead.
    if (peak + gain - limit > kMostLimiting) gain = limit + kMostLimiting - peak;
    plan.gainDb = gain;
    plan.aim = measured.integrated + gain - encoderLossDb;
    if (peak + gain > limit) plan.limitDb = limit;
    return plan;
}

SoundPlan ReplayGainPlan(const LoudnessMeasure& measured) {
    SoundPlan plan;
    if (measured.integrated <= kSilenceLufs) return plan;
    char gain[32], peak[32];
    std::snprintf(gain, sizeof gain, "%+.2f dB", kReplayGainReference - measured.integrated);
    std::snprintf(peak, sizeof peak, "%.6f", std::pow(10.0, measured.samplePeak / 20.0));
    plan.tags = {{"REPLAYGAIN_TRACK_GAIN", gain}, {"REPLAYGAIN_TRACK_PEAK", peak}};
    return plan;
}

std::optional<SoundPlan> Corrected(const SoundPlan& plan, const LoudnessMeasure& written) {
    if (!plan.limitDb || !written.truePeak) return std::nullopt;
    const double miss = plan.aim - written.integrated;
    const double over = *written.truePeak - kTruePeakCeiling;
    // The meter gives tenths: a miss of exactly the tolerance is within it.
    if (std::abs(miss) <= kAimTolerance + 1e-9 && over <= 0) return std::nullopt;
    SoundPlan next = plan;
    next.gainDb += miss;
    // The limiter's level comes down by what the MP3 went over, and a little more.
    if (over > 0) next.limitDb = *plan.limitDb - over - kAimTolerance;
    return next;
}

namespace {

std::string Decibels(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2fdB", db);
    return text;
}

constexpr std::string_view kEncoderFormat = "aformat=sample_rates=44100:channel_layouts=stereo";

}  // namespace

std::string SoundFilter(const SoundPlan& plan) {
    if (plan.gainDb == 0 && !plan.limitDb) return {};
    std::string f = std::string(kEncoderFormat) + ",volume=" + Decibels(plan.gainDb);
    if (plan.limitDb) {
        char limit[32];
        // The limiter takes linear levels from 1/16 up; its delay is taken back out.
        std::snprintf(limit, sizeof limit, "%.6f", std::clamp(std::pow(10.0, *plan.limitDb / 20.0), 0.0625, 1.0));
        f += ",aresample=176400,alimiter=limit=" + std::string(limit) +
             ":attack=5:release=50:level=0:latency=1,aresample=44100";
    }
    return f;
}

std::string MeasureArgsFor(const CheckedPath& input) {
    return " -discard:V all -i " + QuoteAlways(input.Text()) + " -vn -sn -dn -af " +
           QuoteAlways(std::string(kEncoderFormat) + ",ebur128=peak=sample:framelog=verbose") + " -f null -";
}

std::optional<std::string> CheckArgsFor(std::string_view mp3) {
    if (!IsOutputPath(mp3)) return std::nullopt;
    return " -f mp3 -i " + QuoteAlways(mp3) + " -af ebur128=peak=true:framelog=verbose -f null -";
}

}  // namespace kv
