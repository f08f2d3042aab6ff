#include "ui/choice_menu.h"

namespace kv::ui {

namespace {

constexpr unsigned kStep = 16;

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
    MenuGroup folders{"&Adding a folder",
                      {{kSubfoldersCommand, "Its own files &only", !choices.addSubfolders},
                       {kSubfoldersCommand + kStep, "With the files of every &subfolder", choices.addSubfolders}}};
    MenuGroup chapters{
        "&Chapters",
        {{kChaptersCommand, "One MP3 with &chapter marks", !choices.splitChapters},
         {kChaptersCommand + kStep, "One MP3 &per chapter: name - 01 title.mp3", choices.splitChapters}}};
    MenuGroup cover{"Co&ver picture",
                    {{kCoverCommand, "The file's own &picture only", !choices.coverFromVideo},
                     {kCoverCommand + kStep, "A &frame of the video when the file has none", choices.coverFromVideo}}};
    return {quality, files, when, folders, chapters, cover};
}

std::optional<ConversionChoices> Chosen(unsigned id, const ConversionChoices& choices, int maxFiles) {
    if (id % kStep != 0) return std::nullopt;
    ConversionChoices c = choices;
    const auto qualities = AllQualities();
    const auto whens = AllWhenExists();
    if (id >= kQualityCommand && id < kQualityCommand + kStep * qualities.size()) {
        c.quality = qualities[(id - kQualityCommand) / kStep];
    } else if (id >= kFilesCommand && id < kFilesCommand + kStep * static_cast<unsigned>(std::max(1, maxFiles))) {
        c.filesAtOnce = static_cast<int>((id - kFilesCommand) / kStep) + 1;
    } else if (id >= kWhenCommand && id < kWhenCommand + kStep * whens.size()) {
        c.whenExists = whens[(id - kWhenCommand) / kStep];
    } else if (id == kSubfoldersCommand || id == kSubfoldersCommand + kStep) {
        c.addSubfolders = id != kSubfoldersCommand;
    } else if (id == kChaptersCommand || id == kChaptersCommand + kStep) {
        c.splitChapters = id != kChaptersCommand;
    } else if (id == kCoverCommand || id == kCoverCommand + kStep) {
        c.coverFromVideo = id != kCoverCommand;
    } else {
        return std::nullopt;
    }
    return c;
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
