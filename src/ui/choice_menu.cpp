#include "ui/choice_menu.h"

#include <algorithm>
#include <iterator>

namespace kv::ui {

namespace {

constexpr unsigned kStep = 16;

// A choice of two: the first item makes `field` `first`, the second its opposite.
struct TwoWay {
    unsigned command;
    const char* caption;
    const char* firstItem;
    const char* secondItem;
    bool ConversionChoices::*field;
    bool first;
};

constexpr TwoWay kTwoWays[] = {
    {kSubfoldersCommand, "&Adding a folder", "Its own files &only", "With the files of every &subfolder",
     &ConversionChoices::addSubfolders, false},
    {kChaptersCommand, "&Chapters", "One MP3 with &chapter marks", "One MP3 &per chapter: name - 01 title.mp3",
     &ConversionChoices::splitChapters, false},
    {kCoverCommand, "Co&ver picture", "The file's own &picture only", "A &frame of the video when the file has none",
     &ConversionChoices::coverFromVideo, false},
    {kPlaceCommand, "Where the MP3s &go", "Into the &output folder", "&Beside each source file",
     &ConversionChoices::beside, false},
    {kDatesCommand, "File &dates", "The time of &converting", "The &source file's dates", &ConversionChoices::keepDates,
     false},
    {kNotifyCommand, "When a run &ends", "&Notify me when Korvello is behind other windows", "No &notification",
     &ConversionChoices::notifyWhenDone, true},
    {kPriorityCommand, "&Priority", "&Below normal: the PC stays responsive", "&Normal",
     &ConversionChoices::normalPriority, false},
};

constexpr Loudness kLoudnessOrder[] = {Loudness::Off, Loudness::R128, Loudness::ReplayGain};
// Streaming services, the default, ReplayGain's reference, and broadcast.
constexpr int kUsualTargets[] = {-14, -16, -18, -23};

unsigned TargetCommand(int target) {
    return kTargetCommand + kStep * static_cast<unsigned>(kHighestLoudnessTarget - target);
}

std::string LoudnessCaption(Loudness loudness, int target) {
    switch (loudness) {
    case Loudness::R128:
        return "&Even: every file brought to " + std::to_string(target) + " LUFS (EBU R128), peaks under -1 dBTP";
    case Loudness::ReplayGain:
        return "As it is, with &ReplayGain tags for players that read them";
    case Loudness::Off:
        break;
    }
    return "&As it is";
}

std::string TargetCaption(int target) {
    // The access key is the last digit: the usual targets each have their own.
    std::string caption = std::to_string(target);
    caption.insert(caption.size() - 1, "&");
    caption += " LUFS";
    if (target == -14) caption += ": as streaming services play";
    if (target == kDefaultLoudnessTarget) caption += ": podcasts and most players";
    if (target == -23) caption += ": as broadcasters play (EBU R128)";
    return caption;
}

void AddLoudnessGroups(std::vector<MenuGroup>& groups, const ConversionChoices& choices) {
    MenuGroup loudness{"&Loudness", {}}, target{"Loudness &target", {}};
    unsigned i = 0;
    for (const Loudness l : kLoudnessOrder)
        loudness.items.push_back(
            {kLoudnessCommand + kStep * i++, LoudnessCaption(l, choices.loudnessTarget), l == choices.loudness});
    std::vector<int> targets(std::begin(kUsualTargets), std::end(kUsualTargets));
    if (std::find(targets.begin(), targets.end(), choices.loudnessTarget) == targets.end())
        targets.push_back(choices.loudnessTarget);
    std::sort(targets.rbegin(), targets.rend());
    for (const int t : targets)
        target.items.push_back({TargetCommand(t), TargetCaption(t), t == choices.loudnessTarget});
    groups.push_back(std::move(loudness));
    groups.push_back(std::move(target));
}

}  // namespace

std::vector<MenuGroup> ChoiceGroups(const ConversionChoices& choices, int maxFiles) {
    MenuGroup quality{"MP3 &quality", {}}, files{"&Files converted at once", {}},
        when{"&When the MP3 already exists", {}};
    unsigned i = 0;
    for (const Mp3Quality q : AllQualities())
        quality.items.push_back({kQualityCommand + kStep * i++, std::string(QualityCaption(q)), q == choices.quality});
    for (int n = 1; n <= std::max(1, maxFiles); ++n)
        files.items.push_back(
            {kFilesCommand + kStep * static_cast<unsigned>(n - 1), "&" + std::to_string(n), n == choices.filesAtOnce});
    i = 0;
    for (const WhenMp3Exists w : AllWhenExists())
        when.items.push_back({kWhenCommand + kStep * i++, std::string(WhenExistsCaption(w)), w == choices.whenExists});
    std::vector<MenuGroup> groups{quality, files, when};
    for (const TwoWay& t : kTwoWays) {
        const bool firstChosen = choices.*t.field == t.first;
        groups.push_back(
            {t.caption, {{t.command, t.firstItem, firstChosen}, {t.command + kStep, t.secondItem, !firstChosen}}});
    }
    AddLoudnessGroups(groups, choices);
    return groups;
}

std::optional<ConversionChoices> Chosen(unsigned id, const ConversionChoices& choices, int maxFiles) {
    if (id % kStep != 0) return std::nullopt;
    ConversionChoices c = choices;
    const auto qualities = AllQualities();
    const auto whens = AllWhenExists();
    if (id >= kQualityCommand && id < kQualityCommand + kStep * qualities.size()) {
        c.quality = qualities[(id - kQualityCommand) / kStep];
        return c;
    }
    if (id >= kFilesCommand && id < kFilesCommand + kStep * static_cast<unsigned>(std::max(1, maxFiles))) {
        c.filesAtOnce = static_cast<int>((id - kFilesCommand) / kStep) + 1;
        return c;
    }
    if (id >= kWhenCommand && id < kWhenCommand + kStep * whens.size()) {
        c.whenExists = whens[(id - kWhenCommand) / kStep];
        return c;
    }
    if (id >= kLoudnessCommand && id < kLoudnessCommand + kStep * std::size(kLoudnessOrder)) {
        c.loudness = kLoudnessOrder[(id - kLoudnessCommand) / kStep];
        return c;
    }
    if (id >= TargetCommand(kHighestLoudnessTarget) && id <= TargetCommand(kLowestLoudnessTarget)) {
        c.loudnessTarget = kHighestLoudnessTarget - static_cast<int>((id - kTargetCommand) / kStep);
        return c;
    }
    for (const TwoWay& t : kTwoWays) {
        if (id != t.command && id != t.command + kStep) continue;
        c.*t.field = id == t.command ? t.first : !t.first;
        return c;
    }
    return std::nullopt;
}

std::string AboutText(std::string_view version) {
    return "Korvello " + std::string(version) +
           "\nKorvello Labs\n\n"
           "Converts the sound of video and audio files to MP3.\n\n"
           "Korvello contains these components, each under its own licence; THIRD-PARTY.md and the "
           "licenses folder beside the program hold their texts and sources:\n"
           "FFmpeg: LGPL 2.1 or later\n"
           "LAME: LGPL 2.0 or later\n"
           "MediaInfoLib and MediaInfo: BSD 2-Clause\n"
           "ZenLib: zlib-style licence\n"
           "zlib: zlib licence\n"
           "winpthreads (MinGW-w64): MIT\n"
           "MinGW-w64 runtime: ZPL 2.1\n"
           "GCC runtime libraries: GPL 3.0 or later with the GCC Runtime Library Exception";
}

}  // namespace kv::ui
