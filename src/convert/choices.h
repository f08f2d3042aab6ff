#pragma once
// The user's choices for a conversion: the MP3's quality, how many files
// convert at once, and what happens to an MP3 that is already there. Each
// defaults to the plain conversion: 128 kbit/s, one at a time, replace. Stored as registry values that anyone can edit,
// so reading them takes only what it knows and falls back to the default for anything else.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/stored_value.h"
#include "app/texts.h"

namespace kv {

enum class Mp3Quality : std::uint8_t { Kbps128, Kbps192, Kbps256, Kbps320, V2, V0 };
enum class WhenMp3Exists : std::uint8_t { Replace, KeepBoth, Skip };
// The sound as it is; brought to an even loudness; or as it is with ReplayGain tags.
enum class Loudness : std::uint8_t { Off, R128, ReplayGain };

inline constexpr int kDefaultLoudnessTarget = -16;  // LUFS
inline constexpr int kLowestLoudnessTarget = -31;
inline constexpr int kHighestLoudnessTarget = -5;

inline constexpr int kMaxFilesAtOnce = 8;

inline constexpr std::string_view kAutoLanguage = "auto";

struct ConversionChoices {
    Mp3Quality quality = Mp3Quality::Kbps128;
    int filesAtOnce = 1;
    WhenMp3Exists whenExists = WhenMp3Exists::Replace;
    bool addSubfolders = false;   // Add Folder and dropped folders take every subfolder's files too
    bool splitChapters = false;   // one MP3 per chapter
    bool coverFromVideo = false;  // a frame of the video for a file that has no cover picture
    bool beside = false;          // each MP3 in its source's folder, not the output folder
    bool keepDates = false;       // the MP3 takes its source's created and modified times
    bool notifyWhenDone = true;   // a notification when a run ends behind other windows
    bool normalPriority = false;  // the tools at normal priority, not below normal
    Loudness loudness = Loudness::Off;
    int loudnessTarget = kDefaultLoudnessTarget;  // LUFS, for Loudness::R128
    std::string language{kAutoLanguage};          // a table's tag, or as Windows' display languages say
    bool operator==(const ConversionChoices&) const = default;
};

inline constexpr std::string_view kQualityValue = "Mp3Quality";
inline constexpr std::string_view kFilesAtOnceValue = "FilesAtOnce";
inline constexpr std::string_view kWhenExistsValue = "WhenMp3Exists";
inline constexpr std::string_view kAddSubfoldersValue = "AddSubfolders";
inline constexpr std::string_view kSplitChaptersValue = "SplitChapters";
inline constexpr std::string_view kCoverFromVideoValue = "CoverFromVideo";
inline constexpr std::string_view kOutputPlaceValue = "OutputPlace";  // "folder" or "beside"
inline constexpr std::string_view kKeepDatesValue = "KeepDates";
inline constexpr std::string_view kNotifyWhenDoneValue = "NotifyWhenDone";
inline constexpr std::string_view kPriorityValue = "Priority";              // "below-normal" or "normal"
inline constexpr std::string_view kLoudnessValue = "Loudness";              // "off", "r128" or "replaygain"
inline constexpr std::string_view kLoudnessTargetValue = "LoudnessTarget";  // LUFS as text: "-16"
inline constexpr std::string_view kLanguageValue = "Language";              // "auto" or a language's tag
// What the output folder's box says while each MP3 goes beside its source.
inline constexpr std::string_view kBesideText = "Beside each source file";

// The most files at once this PC offers: its logical processors, 1 to 8.
int MaxFilesAtOnce(int logicalProcessors);

// The choices the three stored values make; each value that is missing, of
// another type, an unknown text or a number out of range gives its default.
ConversionChoices ChoicesFrom(const StoredValue& quality, const StoredValue& filesAtOnce, const StoredValue& whenExists,
                              int logicalProcessors);

// A switch stored as a DWORD: on for 1 alone, off for anything else.
bool SwitchFrom(const StoredValue& stored);
// A switch that is on unless the DWORD 0 says otherwise.
bool SwitchOnUnlessOff(const StoredValue& stored);
// Whether a stored text is `expected` (the choice other than the default).
bool TextIs(const StoredValue& stored, std::string_view expected);
// The choices of this program's later values, read into `choices`.
void ReadLaterChoices(ConversionChoices& choices, const StoredValue& subfolders, const StoredValue& chapters,
                      const StoredValue& cover, const StoredValue& place, const StoredValue& dates,
                      const StoredValue& notify, const StoredValue& priority);

// The loudness choice and its target from their stored texts: "off" for an
// unknown text, the default target for one that is no whole number in range.
void ReadLoudnessChoices(ConversionChoices& choices, const StoredValue& loudness, const StoredValue& target);
// The language from its stored text: a table's tag in any case ("DE" is "de"),
// else "auto".
void ReadLanguageChoice(ConversionChoices& c, const StoredValue& language);
std::string_view LoudnessText(Loudness loudness);

// The stored texts ("128" ... "V0"; "replace", "keep-both", "skip").
std::string_view QualityText(Mp3Quality quality);
std::string_view WhenExistsText(WhenMp3Exists when);
std::span<const Mp3Quality> AllQualities();
std::span<const WhenMp3Exists> AllWhenExists();

// The menu's captions, with their access keys.
std::string QualityCaption(Mp3Quality quality);
std::string WhenExistsCaption(WhenMp3Exists when);

// What the transcoder's line says for the quality, between "-ar 44100 " and
// " -ac 2": "-ab 128" (the default line; LAME takes it for its default, 128
// kbit/s CBR), "-ab 192k", ..., "-q:a 2" and "-q:a 0" (LAME's VBR presets).
std::string_view QualityArguments(Mp3Quality quality);

// Bytes a second the MP3 takes at the quality: exact for CBR, the preset's
// typical rate for VBR.
double NominalBytesPerSecond(Mp3Quality quality);
// The MP3's size the progress of a file of this many stored seconds counts
// toward: at 128 kbit/s 16.0 KB (of 1024 bytes) a second, else the nominal
// rate; truncated, never wrapping.
std::int64_t ExpectedSizeFor(std::int64_t durationSeconds, Mp3Quality quality);
// How many dB quieter the encoder leaves the sound at this quality (its
// quantization rounds toward nought, the more at a lower rate).
double EncoderLevelLoss(Mp3Quality quality);
// Whether the MP3's rate is fixed, so that its size tells its length.
bool IsConstantRate(Mp3Quality quality);

}  // namespace kv
