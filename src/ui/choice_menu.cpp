#include "ui/choice_menu.h"

#include <algorithm>
#include <iterator>

#include "app/texts.h"

namespace kv::ui {

namespace {

constexpr unsigned kStep = 16;

// A choice of two: the first item makes `field` `first`, the second its opposite.
struct TwoWay {
    unsigned command;
    TextId caption;
    TextId firstItem;
    TextId secondItem;
    bool ConversionChoices::*field;
    bool first;
};

constexpr TwoWay kTwoWays[] = {
    {kSubfoldersCommand, TextId::SubfoldersGroup, TextId::OwnFilesItem, TextId::SubfoldersItem,
     &ConversionChoices::addSubfolders, false},
    {kChaptersCommand, TextId::ChaptersGroup, TextId::ChapterMarksItem, TextId::PerChapterItem,
     &ConversionChoices::splitChapters, false},
    {kCoverCommand, TextId::CoverGroup, TextId::OwnPictureItem, TextId::VideoFrameItem,
     &ConversionChoices::coverFromVideo, false},
    {kPlaceCommand, TextId::PlaceGroup, TextId::OutputFolderItem, TextId::BesideItem, &ConversionChoices::beside,
     false},
    {kDatesCommand, TextId::DatesGroup, TextId::ConvertTimeItem, TextId::SourceDatesItem, &ConversionChoices::keepDates,
     false},
    {kNotifyCommand, TextId::NotifyGroup, TextId::NotifyItem, TextId::NoNotifyItem, &ConversionChoices::notifyWhenDone,
     true},
    {kPriorityCommand, TextId::PriorityGroup, TextId::BelowNormalItem, TextId::NormalItem,
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
        return Tr(TextId::EvenItem, {std::to_string(target)});
    case Loudness::ReplayGain:
        return Tr(TextId::ReplayGainItem);
    case Loudness::Off:
        break;
    }
    return Tr(TextId::AsItIsItem);
}

std::string TargetCaption(int target) {
    // The access key is the last digit: the usual targets each have their own.
    std::string number = std::to_string(target);
    number.insert(number.size() - 1, "&");
    if (target == -14) return Tr(TextId::StreamingTarget, {number});
    if (target == kDefaultLoudnessTarget) return Tr(TextId::PodcastTarget, {number});
    if (target == -23) return Tr(TextId::BroadcastTarget, {number});
    return Tr(TextId::OtherTarget, {number});
}

void AddLoudnessGroups(std::vector<MenuGroup>& groups, const ConversionChoices& choices) {
    MenuGroup loudness{Tr(TextId::LoudnessGroup), {}}, target{Tr(TextId::TargetGroup), {}};
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

MenuGroup LanguageGroup(const ConversionChoices& choices) {
    MenuGroup group{Tr(TextId::LanguageGroup), {}};
    group.items.push_back({kLanguageCommand, Tr(TextId::AutoLanguageItem), choices.language == kAutoLanguage});
    unsigned i = 1;
    for (const Language& l : Languages())
        group.items.push_back({kLanguageCommand + kStep * i++, std::string(l.name), choices.language == l.tag});
    return group;
}

}  // namespace

std::vector<MenuGroup> ChoiceGroups(const ConversionChoices& choices, int maxFiles) {
    MenuGroup quality{Tr(TextId::QualityGroup), {}}, files{Tr(TextId::FilesGroup), {}}, when{Tr(TextId::WhenGroup), {}};
    unsigned i = 0;
    for (const Mp3Quality q : AllQualities())
        quality.items.push_back({kQualityCommand + kStep * i++, QualityCaption(q), q == choices.quality});
    for (int n = 1; n <= std::max(1, maxFiles); ++n)
        files.items.push_back(
            {kFilesCommand + kStep * static_cast<unsigned>(n - 1), "&" + std::to_string(n), n == choices.filesAtOnce});
    i = 0;
    for (const WhenMp3Exists w : AllWhenExists())
        when.items.push_back({kWhenCommand + kStep * i++, WhenExistsCaption(w), w == choices.whenExists});
    std::vector<MenuGroup> groups{quality, files, when};
    for (const TwoWay& t : kTwoWays) {
        const bool firstChosen = choices.*t.field == t.first;
        groups.push_back(
            {Tr(t.caption),
             {{t.command, Tr(t.firstItem), firstChosen}, {t.command + kStep, Tr(t.secondItem), !firstChosen}}});
    }
    AddLoudnessGroups(groups, choices);
    groups.push_back(LanguageGroup(choices));
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
    const auto languages = Languages();
    if (id >= kLanguageCommand && id <= kLanguageCommand + kStep * languages.size()) {
        const std::size_t place = (id - kLanguageCommand) / kStep;
        c.language = place == 0 ? std::string(kAutoLanguage) : std::string(languages[place - 1].tag);
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
    return "Korvello " + std::string(version) + "\nKorvello Labs\n\n" + Tr(TextId::AboutWhat) + "\n\n" +
           Tr(TextId::AboutParts) +
           "\n"
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
