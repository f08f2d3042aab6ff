#pragma once
// Even loudness. A file is measured first (its integrated loudness after
// EBU R128, loudness range and peaks, the transcoder only decoding), then
// converted with one gain to the target; where the gain would lift peaks past
// the ceiling, a limiter on the four-times oversampled sound takes only those
// peaks down. A file converted through the limiter is measured again as
// written, and converted once more when the limiter's work moved it off the
// target. ReplayGain leaves the sound alone and writes the gain a player applies.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/checked_path.h"

namespace kv {

struct LoudnessMeasure {
    double integrated = 0;           // LUFS
    double range = 0;                // LU
    double samplePeak = 0;           // dBFS
    std::optional<double> truePeak;  // dBTP, when it was measured
};

inline constexpr double kSilenceLufs = -70;  // quieter than this, a file is silence: no gain
inline constexpr double kTruePeakCeiling = -1.0;
// Kept clear of the ceiling below it: peaks between samples and the encoder's own overshoot.
inline constexpr double kPeakMargin = 1.0;
// The most a limiter takes off a peak; a file that would need more gets less gain.
inline constexpr double kMostLimiting = 12.0;
// A written MP3 this close to its aim, and under the ceiling, stays.
inline constexpr double kAimTolerance = 0.3;
inline constexpr double kReplayGainReference = -18;
// The bounds of what a meter can report of real sound.
inline constexpr double kLoudestLufs = 10;
inline constexpr double kHighestPeakDb = 40;

// The meter's summary at the end of a transcoder's report; nothing when it
// gave none (no sound, or ended early). Only the meter's own lines count.
std::optional<LoudnessMeasure> ReadLoudness(std::string_view log);

struct SoundPlan {
    double gainDb = 0;
    std::optional<double> limitDb;  // a true-peak limiter at this level, dBTP
    double aim = 0;                 // the loudness the MP3 should have, LUFS
    std::vector<std::pair<std::string, std::string>> tags;
    [[nodiscard]] bool Untouched() const { return gainDb == 0 && !limitDb && tags.empty(); }
    bool operator==(const SoundPlan&) const = default;
};

// The gain to `target` LUFS as the MP3 will play it (made up by the
// encoder's `encoderLossDb`), a limiter where peaks would pass the ceiling;
// silence keeps its level.
SoundPlan R128Plan(const LoudnessMeasure& measured, double target, double encoderLossDb = 0);
// The sound untouched, with ReplayGain 2.0 track gain and peak for a player; silence gets no tags.
SoundPlan ReplayGainPlan(const LoudnessMeasure& measured);
// The plan for one more conversion when the MP3 as written missed its aim
// or the ceiling; nothing when it stays.
std::optional<SoundPlan> Corrected(const SoundPlan& plan, const LoudnessMeasure& written);

// The filters between the decoder and the encoder ("" when the sound is untouched),
// in a 44.1 kHz stereo signal as the encoder takes it.
std::string SoundFilter(const SoundPlan& plan);
// The line that has the transcoder report the file and measure its sound as it would be converted.
std::string MeasureArgsFor(const CheckedPath& input);
// The line that measures an MP3 as written, its true peak included.
std::optional<std::string> CheckArgsFor(std::string_view mp3);  // nothing for a name no line carries

}  // namespace kv
