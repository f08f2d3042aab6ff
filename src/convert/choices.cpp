#include "convert/choices.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace kv {

namespace {

struct QualityRow {
    Mp3Quality quality;
    std::string_view text;
    TextId caption;
    std::string_view arguments;
    double bytesPerSecond;
    // What progress counts on: 16.0 KB (of 1024 bytes) a second at 128
    // kbit/s, a little over the real rate, so the bar ends near 98 %
    // and never passes 100 before the MP3 is whole.
    double progressBytesPerSecond;
    // How much quieter the encoder's quantization leaves the sound, in dB
    // (measured on tones, speech and noise): even loudness makes up for it.
    double levelLossDb;
};

// VBR: LAME's V2 averages about 190 kbit/s, V0 about 245 kbit/s on music.
constexpr std::array kQualities{
    QualityRow{Mp3Quality::Kbps128, "128", TextId::Quality128, "-ab 128", 16000.0, 16.0 * 1024, 0.45},
    QualityRow{Mp3Quality::Kbps192, "192", TextId::Quality192, "-ab 192k", 24000.0, 24000.0, 0.25},
    QualityRow{Mp3Quality::Kbps256, "256", TextId::Quality256, "-ab 256k", 32000.0, 32000.0, 0.0},
    QualityRow{Mp3Quality::Kbps320, "320", TextId::Quality320, "-ab 320k", 40000.0, 40000.0, 0.0},
    QualityRow{Mp3Quality::V2, "V2", TextId::QualityV2, "-q:a 2", 190000.0 / 8, 190000.0 / 8, 0.0},
    QualityRow{Mp3Quality::V0, "V0", TextId::QualityV0, "-q:a 0", 245000.0 / 8, 245000.0 / 8, 0.0},
};
constexpr std::array kQualityOrder{Mp3Quality::Kbps128, Mp3Quality::Kbps192, Mp3Quality::Kbps256,
                                   Mp3Quality::Kbps320, Mp3Quality::V2,      Mp3Quality::V0};

struct WhenRow {
    WhenMp3Exists when;
    std::string_view text;
    TextId caption;
};
constexpr std::array kWhens{
    WhenRow{WhenMp3Exists::Replace, "replace", TextId::ReplaceItem},
    WhenRow{WhenMp3Exists::KeepBoth, "keep-both", TextId::KeepBothItem},
    WhenRow{WhenMp3Exists::Skip, "skip", TextId::SkipItem},
};
constexpr std::array kWhenOrder{WhenMp3Exists::Replace, WhenMp3Exists::KeepBoth, WhenMp3Exists::Skip};

const QualityRow& RowOf(Mp3Quality q) {
    for (const auto& r : kQualities)
        if (r.quality == q) return r;
    return kQualities[0];
}

const WhenRow& RowOf(WhenMp3Exists w) {
    for (const auto& r : kWhens)
        if (r.when == w) return r;
    return kWhens[0];
}

}  // namespace

int MaxFilesAtOnce(int logicalProcessors) { return std::clamp(logicalProcessors, 1, kMaxFilesAtOnce); }

ConversionChoices ChoicesFrom(const StoredValue& quality, const StoredValue& filesAtOnce, const StoredValue& whenExists,
                              int logicalProcessors) {
    ConversionChoices c;
    if (quality.type == StoredValue::Type::String)
        for (const auto& r : kQualities)
            if (r.text == quality.text) c.quality = r.quality;
    if (filesAtOnce.type == StoredValue::Type::Dword && filesAtOnce.number >= 1 &&
        filesAtOnce.number <= static_cast<std::uint32_t>(MaxFilesAtOnce(logicalProcessors)))
        c.filesAtOnce = static_cast<int>(filesAtOnce.number);
    if (whenExists.type == StoredValue::Type::String)
        for (const auto& r : kWhens)
            if (r.text == whenExists.text) c.whenExists = r.when;
    return c;
}

bool SwitchFrom(const StoredValue& stored) { return stored.type == StoredValue::Type::Dword && stored.number == 1; }
bool SwitchOnUnlessOff(const StoredValue& stored) {
    return !(stored.type == StoredValue::Type::Dword && stored.number == 0);
}
bool TextIs(const StoredValue& stored, std::string_view expected) {
    return stored.type == StoredValue::Type::String && stored.text == expected;
}

void ReadLaterChoices(ConversionChoices& c, const StoredValue& subfolders, const StoredValue& chapters,
                      const StoredValue& cover, const StoredValue& place, const StoredValue& dates,
                      const StoredValue& notify, const StoredValue& priority) {
    c.addSubfolders = SwitchFrom(subfolders);
    c.splitChapters = SwitchFrom(chapters);
    c.coverFromVideo = SwitchFrom(cover);
    c.beside = TextIs(place, "beside");
    c.keepDates = SwitchFrom(dates);
    c.notifyWhenDone = SwitchOnUnlessOff(notify);
    c.normalPriority = TextIs(priority, "normal");
}

void ReadLoudnessChoices(ConversionChoices& c, const StoredValue& loudness, const StoredValue& target) {
    c.loudness = TextIs(loudness, "r128")         ? Loudness::R128
                 : TextIs(loudness, "replaygain") ? Loudness::ReplayGain
                                                  : Loudness::Off;
    c.loudnessTarget = kDefaultLoudnessTarget;
    if (target.type != StoredValue::Type::String) return;
    const std::string& t = target.text;
    int value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (error == std::errc() && end == t.data() + t.size() && value >= kLowestLoudnessTarget &&
        value <= kHighestLoudnessTarget)
        c.loudnessTarget = value;
}

void ReadLanguageChoice(ConversionChoices& c, const StoredValue& language) {
    const Language* chosen = language.type == StoredValue::Type::String ? FindLanguage(language.text) : nullptr;
    c.language = chosen ? std::string(chosen->tag) : std::string(kAutoLanguage);
}

std::string_view LoudnessText(Loudness loudness) {
    switch (loudness) {
    case Loudness::R128:
        return "r128";
    case Loudness::ReplayGain:
        return "replaygain";
    case Loudness::Off:
        break;
    }
    return "off";
}

std::string_view QualityText(Mp3Quality quality) { return RowOf(quality).text; }
std::string_view WhenExistsText(WhenMp3Exists when) { return RowOf(when).text; }
std::span<const Mp3Quality> AllQualities() { return kQualityOrder; }
std::span<const WhenMp3Exists> AllWhenExists() { return kWhenOrder; }
std::string QualityCaption(Mp3Quality quality) { return Tr(RowOf(quality).caption); }
std::string WhenExistsCaption(WhenMp3Exists when) { return Tr(RowOf(when).caption); }
std::string_view QualityArguments(Mp3Quality quality) { return RowOf(quality).arguments; }
double NominalBytesPerSecond(Mp3Quality quality) { return RowOf(quality).bytesPerSecond; }
double EncoderLevelLoss(Mp3Quality quality) { return RowOf(quality).levelLossDb; }

std::int64_t ExpectedSizeFor(std::int64_t durationSeconds, Mp3Quality quality) {
    const long double v =
        static_cast<long double>(durationSeconds) * static_cast<long double>(RowOf(quality).progressBytesPerSecond);
    return static_cast<std::int64_t>(v);
}
bool IsConstantRate(Mp3Quality quality) { return quality != Mp3Quality::V2 && quality != Mp3Quality::V0; }

}  // namespace kv
