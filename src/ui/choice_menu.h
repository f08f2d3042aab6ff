#pragma once
// The window's menu of choices as data: its groups of radio items, the command
// id of each item, and what choosing one makes of the choices. The same items
// appear in the shortcut menu and in the window's system menu.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/choices.h"

namespace kv::ui {

// Multiples of 16 below 0xF000: the system menu carries them too, and keeps
// the low four bits of a command for itself.
inline constexpr unsigned kQualityCommand = 0x1000;  // + 16 x its place in AllQualities()
inline constexpr unsigned kFilesCommand = 0x1100;    // + 16 x (files - 1)
inline constexpr unsigned kWhenCommand = 0x1200;     // + 16 x its place in AllWhenExists()
inline constexpr unsigned kAboutCommand = 0x1300;
inline constexpr unsigned kSubfoldersCommand = 0x1400;  // + 16 for "with subfolders"
inline constexpr unsigned kChaptersCommand = 0x1500;    // + 16 for "one MP3 per chapter"
inline constexpr unsigned kCoverCommand = 0x1600;       // + 16 for "a frame of the video"
inline constexpr unsigned kPlaceCommand = 0x1700;       // + 16 for "beside each source file"
inline constexpr unsigned kDatesCommand = 0x1800;       // + 16 for "the source file's dates"
inline constexpr unsigned kNotifyCommand = 0x1900;      // + 16 for "no notification"
inline constexpr unsigned kPriorityCommand = 0x1A00;    // + 16 for "normal"
inline constexpr unsigned kLoudnessCommand = 0x1B00;    // + 16 x its place: as it is, even, ReplayGain tags
inline constexpr unsigned kTargetCommand = 0x1C00;      // + 16 x (-5 - the target in LUFS)
inline constexpr unsigned kLanguageCommand = 0x1E00;    // + 16 x its place: as Windows is set, then Languages()

struct MenuItem {
    unsigned id;
    std::string caption;
    bool checked;
};
struct MenuGroup {
    std::string caption;
    std::vector<MenuItem> items;  // radio items: exactly one is checked
};

// "MP3 quality", "Files converted at once" (1 to maxFiles), "When the MP3 already exists", then the choices
// of two: "Adding a folder", "Chapters", "Cover picture", "Where the MP3s go", "File dates", "When a run
// ends", "Priority"; then "Loudness" and its "Loudness target" (a few usual targets, and the stored one);
// then "Language": as Windows is set, or each language by its own name.
std::vector<MenuGroup> ChoiceGroups(const ConversionChoices& choices, int maxFiles);
// The choices once `id` is chosen; nothing for an id that is no choice.
std::optional<ConversionChoices> Chosen(unsigned id, const ConversionChoices& choices, int maxFiles);
// The About box's text: the version, the publisher, the components and their licences.
std::string AboutText(std::string_view version);

}  // namespace kv::ui
